#include "window/search/SearchController.h"

#include "download/DownloadItem.h"
#include "download/DownloadMessages.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"
#include "search/EngineConfig.h"
#include "search/LinkExtractor.h"
#include "search/SearchEngines.h"
#include "settings/LanguagePack.h"
#include "window/search/EnginesModel.h"
#include "window/search/FoundFilesModel.h"

#include <QFileSystemWatcher>
#include <QTimer>

#include <variant>

CSearchController::CSearchController(QObject* modelParent, Owner owner)
    : m_owner(std::move(owner))
    , m_pFiles(new CFoundFilesModel(modelParent))
    , m_pEngineRows(new CEnginesModel(modelParent))
{
    // The three built-in sites; the user's engines follow once read.
    const EngineConfig config = Engines();
    for (const EngineSite& site : config.sites)
        m_pEngineRows->AddEngine({site.name, site.homePage, 0}, IMG_ENGINE_RESTING);
    SetEngines(MakeSearchEngines(m_userEngines));
}

void CSearchController::SetEngines(std::vector<std::unique_ptr<CSearchEngine>> engines)
{
    m_engines = std::move(engines);
    m_engineStarted.assign(m_engines.size(), false);
    m_engineCounts.assign(m_engines.size(), 0);
}

// Releasing the engines stops their workers; the probes of the found files
// are stopped by their token. Nothing reports into the models afterwards.
CSearchController::~CSearchController()
{
    m_filesStop.request_stop();
    ReleaseEngines();
}

void CSearchController::Start(const SearchKeys& keys)
{
    m_keys = keys;
    m_nFoundFiles = 0;
    m_nAvailableFiles = 0;
    m_owner.counts(0, 0);
    m_owner.progressPos(0);
    // A search still running from before is replaced: its engines stop.
    ReleaseEngines();
    SetSearching(true);
    m_filesStop.request_stop();
    m_filesStop = std::stop_source();
    ++m_nSearchId;
    m_pFiles->Clear();
    // The music folder as it is now, for the new rows' states.
    UpdateFoundFileStates(true);
    ResetEngineRows();

    m_engineStarted.assign(m_engines.size(), false);
    m_engineCounts.assign(m_engines.size(), 0);
    StartEngine(0);
    // Where no engine could start at all, the search is over at once.
    EndIfDone();
}

void CSearchController::Stop()
{
    // The rows found so far stay.
    SetSearching(false);
    ReleaseEngines();
}

void CSearchController::ReleaseEngines()
{
    // A stopped engine asks for nothing more; its last messages are dropped.
    for (const auto& engine : m_engines)
        engine->Stop();
    // The user's engines read meanwhile take their places now.
    if (m_pendingUserEngines && !m_bSearching)
        OnUserEnginesRead(std::move(*m_pendingUserEngines));
}

void CSearchController::SetSearching(bool searching)
{
    m_bSearching = searching;
    m_owner.searchingChanged(searching);
}

void CSearchController::ResetEngineRows()
{
    for (int row = 0; row < m_pEngineRows->Count(); ++row) {
        if (row != kFirstUserEngineRow - 1)
            m_pEngineRows->SetFiles(row, 0);
        if (row >= kFirstUserEngineRow)
            m_pEngineRows->SetImage(row, IMG_ENGINE_RESTING);
    }
}

void CSearchController::StartEngine(std::size_t index)
{
    if (index >= m_engines.size() || m_engineStarted[index])
        return;
    m_engineStarted[index] = true;
    const int row = RowOf(static_cast<int>(index));
    m_pEngineRows->SetImage(row, IMG_ENGINE_AT_WORK);
    // An engine that cannot start passes its turn on at once.
    if (!m_engines[index]->Start(m_keys)) {
        m_pEngineRows->SetImage(row, IMG_ENGINE_NO_RESULTS);
        StartEngine(index + 1);
    }
}

void CSearchController::StartNextEngine(int after)
{
    if (Known(after))
        StartEngine(static_cast<std::size_t>(after) + 1);
}

void CSearchController::OnReport(const EngineReport& report)
{
    std::visit([this](const auto& typed) {
        using T = std::decay_t<decltype(typed)>;
        if (!Known(typed.engine))
            return;
        if constexpr (std::is_same_v<T, EngineFileFound>) {
            AddFoundFile(typed);
        } else if constexpr (std::is_same_v<T, EnginePageRead>) {
            OnPageRead(typed);
        } else if constexpr (std::is_same_v<T, EnginePageDone>) {
            // Each engine starts once the one before it has its first page.
            StartNextEngine(typed.engine);
            EndIfDone();
        } else {
            OnEngineEnded(typed);
        }
    }, report);
}

void CSearchController::AddFoundFile(const EngineFileFound& found)
{
    // A name that does not hold ".mp3" gives no row.
    if (found.url.empty() || !IsMp3Link(found.fileName))
        return;
    const std::size_t engine = static_cast<std::size_t>(found.engine);
    const bool builtin = m_engines[engine]->EngineKind() == CSearchEngine::Kind::Builtin;
    if (!builtin) {
        // The user's engines count their own files as they come.
        ++m_engineCounts[engine];
        m_pEngineRows->SetFiles(RowOf(found.engine), m_engineCounts[engine]);
    }
    // A search stops adding rows at its bound; the pages go on being walked.
    if (m_nFoundFiles >= m_nMaxFoundFiles) {
        if (m_nFoundFiles == m_nMaxFoundFiles) {
            ++m_nFoundFiles;  // said once per search
            m_owner.statusText(
                AfxFormatString1(LoadLanguageString(IDS_SEARCH_ROWS_CAPPED), std::to_string(m_nMaxFoundFiles)));
        }
        return;
    }
    FoundFile file;
    file.url = found.url;
    file.fileName = found.fileName;
    file.engine = found.engine;
    file.image = builtin ? IMG_HTTP_FILE : IMG_USER_ENGINE_FILE;
    file.probeTextId = IDS_NOT_CONNECTED;
    // Rows are only ever added at the end: a row's index is its number in the search.
    const int row = m_pFiles->AddFile(std::move(file));
    UpdateFoundFileState(row);

    ++m_nFoundFiles;
    m_owner.counts(m_nFoundFiles, m_nAvailableFiles);
    m_owner.progressStep();
    DownloadItem item;
    item.nItem = row;
    item.strUrl = found.url;
    item.strFileName = found.fileName;
    item.nSearchId = m_nSearchId;
    m_owner.probe(item, m_filesStop.get_token());
    m_owner.fileFound();
}

void CSearchController::OnPageRead(const EnginePageRead& page)
{
    const std::size_t engine = static_cast<std::size_t>(page.engine);
    if (m_engines[engine]->EngineKind() != CSearchEngine::Kind::Builtin) {
        const bool anyFound = page.found || m_engineCounts[engine] > 0;
        m_pEngineRows->SetImage(RowOf(page.engine), anyFound ? IMG_ENGINE_RESULTS : IMG_ENGINE_NO_RESULTS);
        m_owner.progressPos(1000);
        return;
    }
    // The built-in rows show how many files the search has found so far, as
    // of the engine's latest page with MP3 links; the third site's row, which
    // is never searched, says it has nothing.
    const int count = std::min(m_nFoundFiles, m_nMaxFoundFiles);
    if (page.found) {
        m_pEngineRows->SetImage(0, IMG_ENGINE_RESULTS);
        if (page.engine == 0)
            m_pEngineRows->SetFiles(0, count);
    } else {
        m_pEngineRows->SetImage(0, IMG_ENGINE_NO_RESULTS);
    }
    if (page.engine == 1 && page.found) {
        m_pEngineRows->SetImage(1, IMG_ENGINE_RESULTS);
        m_pEngineRows->SetFiles(1, count);
    } else {
        m_pEngineRows->SetImage(1, IMG_ENGINE_NO_RESULTS);
        m_pEngineRows->SetImage(2, IMG_ENGINE_NO_RESULTS);
    }
    // The toggle is not pressed from here: the caption follows the engines
    // themselves (EndIfDone), so a running search never shows "Find It!".
    m_owner.progressPos(1000);
}

void CSearchController::OnEngineEnded(const EngineEnded& ended)
{
    const std::size_t engine = static_cast<std::size_t>(ended.engine);
    if (m_engineCounts[engine] == 0)
        m_pEngineRows->SetImage(RowOf(ended.engine), IMG_ENGINE_NO_RESULTS);
    if (!ended.problem.empty())
        m_owner.statusText(ended.problem);
    StartNextEngine(ended.engine);
    EndIfDone();
}

void CSearchController::EndIfDone()
{
    if (!m_bSearching)
        return;
    for (std::size_t i = 0; i < m_engines.size(); ++i) {
        if (!m_engineStarted[i] || m_engines[i]->IsRunning())
            return;
    }
    SetSearching(false);
    ReleaseEngines();
}

void CSearchController::OnFetchStep()
{
    m_owner.progressStep();
}

void CSearchController::OnFileStatus(const FileStatus& status)
{
    if (IsStale(status.searchId))
        return;
    // The probe's text is the row's own from now on; a library state still
    // shows over it. It is kept as its string id where it has one, so that
    // the row says it in the language in force.
    if (status.textId != 0)
        m_pFiles->SetProbeStatus(status.row, status.textId, status.info, status.final);
    else
        m_pFiles->SetProbeStatus(status.row, status.available ? IDS_AVALIABLE : 0, status.text, status.final);
    if (status.available) {
        ++m_nAvailableFiles;
        m_owner.counts(std::min(m_nFoundFiles, m_nMaxFoundFiles), m_nAvailableFiles);
    }
}

void CSearchController::OnFileSizeProbed(const FileSizeProbed& probed)
{
    if (IsStale(probed.searchId))
        return;
    // A plain answer without a length has no size to show.
    if (probed.sizeKnown)
        m_pFiles->SetSize(probed.row, probed.size);
    m_pFiles->SetHead(probed.row, probed.sizeKnown ? std::optional(probed.size) : std::nullopt, probed.head);
}
