// The downloads' state: the slot ring, the queue, Retry, the limits and the
// download list kept between runs. Rows beyond the number of simultaneous
// downloads wait as "Queued"; every change of state is saved at once, byte
// counts at most once a second; the next start restores the list.
#include "window/download/DownloadController.h"

#include "download/HttpDownload.h"
#include "download/ProbeQueue.h"
#include "download/ResumeState.h"
#include "platform/CRuntime.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/Url.h"
#include "platform/WorkerThreads.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"
#include "settings/LanguagePack.h"
#include "settings/SettingsStore.h"
#include "window/download/DownloadsModel.h"

#include <algorithm>
#include <limits>

namespace {

// How often byte counts reach the saved list.
constexpr int kSaveIntervalMs = 1000;
// The least time between two saves after changes of state: a burst of
// changes from hundreds of rows is a few writes a second, not hundreds.
constexpr int kSaveSpacingMs = 250;
// How often a wait before a retry is counted down.
constexpr int kCountdownIntervalMs = 1000;

void Message(unsigned id)
{
    platform::AfxMessageBox(LoadLanguageString(id));
}

// What the download list's Source column shows of an address: its server.
std::string SourceHost(const std::string& url)
{
    std::string address = url;
    std::uint32_t service = 0;
    std::string server;
    std::string object;
    std::uint16_t port = 0;
    if (!platform::ParseUrlAssumingHttp(address, service, server, object, port))
        return url;
    const bool defaultPort = port == (service == platform::AFX_INET_SERVICE_HTTPS ? 443 : 80);
    return defaultPort ? server : server + ':' + std::to_string(port);
}

DownloadRecord::State StateOf(const DownloadSlot& entry)
{
    if (entry.failed)
        return DownloadRecord::State::Failed;
    if (entry.queued)
        return DownloadRecord::State::Queued;
    if (entry.paused)
        return DownloadRecord::State::Paused;
    return DownloadRecord::State::Running;
}

}  // namespace

CDownloadController::CDownloadController(CDownloadsModel& model, Owner owner)
    : m_model(model),
      m_owner(std::move(owner)),
      m_pProbes(std::make_unique<ProbeQueue>())
{
    // The save runs once the current event is handled: a burst of changes
    // (50 rows started in one go) costs one write and one flush to the disk.
    m_saveSoon.setSingleShot(true);
    m_saveSoon.setInterval(0);
    QObject::connect(&m_saveSoon, &QTimer::timeout, [this] {
        if (m_bDownloadListDirty)
            SaveDownloadList();
    });
    m_countdownTimer.setInterval(kCountdownIntervalMs);
    QObject::connect(&m_countdownTimer, &QTimer::timeout, [this] { ShowRetryCountdowns(); });
    m_saveTimer.setInterval(kSaveIntervalMs);
    QObject::connect(&m_saveTimer, &QTimer::timeout, [this] {
        if (m_bDownloadListDirty)
            SaveDownloadList();
    });
}

CDownloadController::~CDownloadController()
{
    for (DownloadSlot& entry : m_downloadSlots) {
        if (entry.worker)
            entry.worker->Stop();
    }
}

std::string CDownloadController::MusicFolder() const
{
    // A folder without its trailing separator would put the file beside it.
    std::string folder = m_owner.musicDir ? m_owner.musicDir() : std::string();
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

DownloadSlot* CDownloadController::InUse(int slot)
{
    if (slot < 0 || slot >= kDownloadSlots)
        return nullptr;
    DownloadSlot& entry = m_downloadSlots[static_cast<std::size_t>(slot)];
    return entry.inUse ? &entry : nullptr;
}

bool CDownloadController::StartDownload(DownloadItem& item, const Source& source)
{
    // The ring moves on from where the last start left it; only when every
    // slot is in use is the start refused.
    int slot = -1;
    for (int tries = 0; tries < kDownloadSlots && slot < 0; ++tries) {
        m_nNextSlot = m_nNextSlot + 1 >= kDownloadSlots ? 0 : m_nNextSlot + 1;
        if (!m_downloadSlots[static_cast<std::size_t>(m_nNextSlot)].inUse)
            slot = m_nNextSlot;
    }
    if (slot < 0) {
        Message(IDS_NO_SEARCH_KEYS);
        return false;
    }

    CDownloadsModel::Download download;
    download.slot = slot;
    download.fileName = source.name;
    download.size = source.size;
    download.source = SourceHost(item.strUrl);
    const int row = m_model.AddDownload(download);
    item.nSlot = slot;
    item.nProgressColumn = CDownloadsModel::Progress;
    item.strFileName = source.nameIsFileName ? source.name : DownloadFileName(item.strUrl);

    DownloadSlot& entry = m_downloadSlots[static_cast<std::size_t>(slot)];
    entry = DownloadSlot{};
    entry.inUse = true;
    entry.item = item;
    // Thousands of links to one file make no better download than sixteen.
    BoundOtherSources(entry.item.strOtherSources);
    entry.record.strUrl = item.strUrl;
    entry.record.strFileName = item.strFileName;
    entry.record.strSize = download.size;
    entry.record.nSlot = slot;
    // Beyond the number of simultaneous downloads a new one waits its turn.
    if (RunningDownloads() >= m_nSimultaneousDownloads)
        return Queue(slot);
    if (!LaunchDownload(slot, false)) {
        m_model.RemoveRows(row, 1);
        entry = DownloadSlot{};
        return false;
    }
    DownloadsChanged();
    return true;
}

bool CDownloadController::Queue(int slot)
{
    DownloadSlot& entry = m_downloadSlots[static_cast<std::size_t>(slot)];
    m_model.SetState(FindRowBySlot(slot), CDownloadsModel::Figures::State::Queued);
    // The row is not queued while the question is open: a place that frees
    // meanwhile must not start a worker that asks again.
    const std::string path = MusicFolder() + entry.item.strFileName;
    if (platform::FileExists(path)) {
        const std::string question = AfxFormatString1(LoadLanguageString(IDS_REPLACE_FILE), IsolatedFor(LoadLanguageString(IDS_REPLACE_FILE), path));
        if (platform::AfxMessageBox(question, platform::MB_YESNO) != platform::IDYES) {
            if (const int row = FindRowBySlot(slot); row >= 0)
                m_model.RemoveRows(row, 1);
            entry = DownloadSlot{};
            DownloadsChanged();
            return false;
        }
        entry.replaceConfirmed = true;
    }
    entry.queued = true;
    DownloadsChanged();
    return true;
}

int CDownloadController::FindRowBySlot(int slot) const
{
    return m_model.RowOfSlot(slot);
}

int CDownloadController::GetRowSlot(int row) const
{
    if (row == -1)
        return -1;
    const int slot = m_model.SlotOf(row);
    // A number outside the table names no slot.
    return slot >= 0 && slot < kDownloadSlots ? slot : -1;
}

void CDownloadController::FreeSlot(int slot)
{
    if (slot < 0 || slot >= kDownloadSlots)
        return;
    DownloadSlot& entry = m_downloadSlots[static_cast<std::size_t>(slot)];
    if (entry.worker)
        entry.worker->Abort();
    // A failed or queued row has no worker to delete its part file (a restored
    // one may have one): it goes here, unless another row saves to that name.
    const auto sameName = [&](const DownloadSlot& other) {
        return &other != &entry && other.inUse && other.item.strFileName == entry.item.strFileName;
    };
    if ((entry.failed || entry.queued) && IsSafeDownloadName(entry.item.strFileName) &&
        std::none_of(m_downloadSlots.begin(), m_downloadSlots.end(), sameName)) {
        const std::string part = PartFilePath(MusicFolder() + entry.item.strFileName);
        platform::DeleteFile(part);
        platform::DeleteFile(ResumeStatePath(part));
    }
    StopCountdown(slot);
    entry = DownloadSlot{};
}

void CDownloadController::RemoveRow(int row, int slot)
{
    m_model.RemoveRows(row, 1);
    FreeSlot(slot);
}

int CDownloadController::RunningDownloads() const
{
    return static_cast<int>(std::count_if(m_downloadSlots.begin(), m_downloadSlots.end(), [](const DownloadSlot& e) {
        return e.inUse && e.worker && e.running && !e.failed;
    }));
}

bool CDownloadController::LaunchDownload(int slot, bool paused)
{
    DownloadSlot& entry = m_downloadSlots[static_cast<std::size_t>(slot)];
    auto control = std::make_shared<DownloadControl>();
    if (paused)
        control->RequestPause();
    DownloadOptions options;
    options.limiter = m_pRateLimiter;
    options.replaceConfirmed = entry.replaceConfirmed;
    const bool started = platform::AfxBeginThread(
        [item = entry.item, musicDir = MusicFolder(), control, options] {
            return DownloadThreadProc(item, musicDir, control, options);
        });
    if (!started)
        return false;
    entry.worker = std::move(control);
    entry.running = !paused;
    entry.paused = paused;
    entry.queued = false;
    entry.failed = false;
    return true;
}

// --- commands

namespace {

void PauseEntry(DownloadSlot& entry)
{
    if (entry.worker && entry.running) {
        entry.worker->RequestPause();
        entry.running = false;
        entry.paused = true;
    }
}

}  // namespace

void CDownloadController::PauseSlot(int slot)
{
    DownloadSlot& entry = m_downloadSlots[static_cast<std::size_t>(slot)];
    // A resumed transfer still waiting for its place is paused again.
    if (entry.worker && entry.paused && entry.queued) {
        entry.queued = false;
        m_model.SetState(FindRowBySlot(slot), CDownloadsModel::Figures::State::Paused);
    }
    // A paused row says so and shows no rate until it goes on.
    if (entry.worker && entry.running)
        m_model.SetState(FindRowBySlot(slot), CDownloadsModel::Figures::State::Paused);
    PauseEntry(entry);
    StopCountdown(slot);
}

void CDownloadController::Pause(int slot)
{
    if (slot < 0 || slot >= kDownloadSlots)
        return;
    PauseSlot(slot);
    DownloadsChanged();
}

void CDownloadController::PauseAll()
{
    for (int row = 0; row < m_model.Count() && row < kDownloadSlots; ++row) {
        const int slot = GetRowSlot(row);
        if (slot == -1) {
            Message(IDS_CANCEL_ALL_NOT_HANDLED);
            return;
        }
        PauseSlot(slot);
    }
    DownloadsChanged();
}

void CDownloadController::Resume(int slot)
{
    if (slot < 0 || slot >= kDownloadSlots)
        return;
    DownloadSlot& entry = m_downloadSlots[static_cast<std::size_t>(slot)];
    if (!entry.worker || !entry.paused || entry.queued)
        return;
    // A resumed transfer takes a place like any other: when all are taken it
    // waits, paused, in list order with the queued rows.
    if (RunningDownloads() >= m_nSimultaneousDownloads) {
        entry.queued = true;
        m_model.SetState(FindRowBySlot(slot), CDownloadsModel::Figures::State::Queued);
    } else {
        entry.worker->Release();
        entry.paused = false;
        entry.running = true;
        m_model.SetState(FindRowBySlot(slot), CDownloadsModel::Figures::State::Transferring);
    }
    DownloadsChanged();
}

// A paused transfer ends too, so that no connection and no partial file are
// left behind until the program ends.
void CDownloadController::Clear(int slot)
{
    if (InUse(slot) == nullptr)
        return;
    const int row = FindRowBySlot(slot);
    FreeSlot(slot);
    m_model.RemoveRows(row, 1);
    DownloadsChanged();
}

void CDownloadController::ClearAll()
{
    for (int removed = 0; m_model.Count() > 0 && removed < kDownloadSlots; ++removed) {
        const int slot = GetRowSlot(0);
        if (slot == -1) {
            Message(IDS_CLEAR_ALL_NOT_HANDLED);
            return;
        }
        FreeSlot(slot);
        m_model.RemoveRows(0, 1);
    }
    DownloadsChanged();
}

void CDownloadController::Retry(int slot)
{
    DownloadSlot* entry = InUse(slot);
    if (entry == nullptr || !entry->failed)
        return;
    const int row = FindRowBySlot(slot);
    entry->failed = false;
    entry->worker.reset();
    entry->record.strStatus.clear();
    if (RunningDownloads() >= m_nSimultaneousDownloads) {
        Queue(slot);
        return;
    }
    if (LaunchDownload(slot, false)) {
        m_model.SetState(row, CDownloadsModel::Figures::State::Transferring);
    } else {
        entry->failed = true;
    }
    DownloadsChanged();
}

// --- queue and saved list

void CDownloadController::StartQueuedDownloads()
{
    for (int row = 0; row < m_model.Count() && RunningDownloads() < m_nSimultaneousDownloads; ++row) {
        const int slot = GetRowSlot(row);
        DownloadSlot* entry = slot < 0 ? nullptr : &m_downloadSlots[static_cast<std::size_t>(slot)];
        if (entry == nullptr || !entry->queued)
            continue;
        if (entry->worker && entry->paused) {
            // A resumed transfer that waited for its place.
            entry->worker->Release();
            entry->paused = false;
            entry->queued = false;
            entry->running = true;
            m_model.SetState(row, CDownloadsModel::Figures::State::Transferring);
        } else if (LaunchDownload(slot, false)) {
            m_model.SetState(row, CDownloadsModel::Figures::State::Transferring);
        }
    }
}

void CDownloadController::DownloadsChanged()
{
    StartQueuedDownloads();
    // A download that ended may have put its file into the folder.
    if (m_owner.listChanged)
        m_owner.listChanged();
    m_bDownloadListDirty = true;
    if (!m_saveSoon.isActive()) {
        const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                                 m_lastSave);
        m_saveSoon.start(static_cast<int>(std::clamp<std::int64_t>(kSaveSpacingMs - since.count(), 0, kSaveSpacingMs)));
    }
}

void CDownloadController::SaveDownloadList()
{
    if (!m_pDownloadStore || m_bDownloadListFrozen)
        return;
    std::vector<DownloadRecord> records;
    for (int row = 0; row < m_model.Count(); ++row) {
        const int slot = GetRowSlot(row);
        if (slot < 0 || !m_downloadSlots[static_cast<std::size_t>(slot)].inUse)
            continue;
        const DownloadSlot& entry = m_downloadSlots[static_cast<std::size_t>(slot)];
        DownloadRecord record = entry.record;
        record.state = StateOf(entry);
        record.nSlot = slot;
        record.otherSources = entry.item.strOtherSources;
        records.push_back(std::move(record));
    }
    m_pDownloadStore->SaveInBackground(std::move(records));
    m_bDownloadListDirty = false;
    m_lastSave = std::chrono::steady_clock::now();
}

void CDownloadController::RestoreDownloads(const std::string& listPath)
{
    m_pDownloadStore = std::make_unique<DownloadListStore>(listPath);
    if (!m_saveTimer.isActive())
        m_saveTimer.start();
    std::vector<DownloadRecord> records;
    std::string setAside;
    if (m_pDownloadStore->Load(records, &setAside) == DownloadListStore::LoadResult::Damaged) {
        platform::AfxMessageBox(AfxFormatString1(LoadLanguageString(IDS_DOWNLOAD_LIST_DAMAGED), setAside));
        return;
    }
    for (DownloadRecord& record : records) {
        if (!IsSafeDownloadName(record.strFileName))
            continue;
        // A slot taken meanwhile (or out of the table) gives way to the first free one.
        int slot = record.nSlot;
        if (slot < 0 || slot >= kDownloadSlots || m_downloadSlots[static_cast<std::size_t>(slot)].inUse) {
            slot = -1;
            for (int i = 0; i < kDownloadSlots && slot < 0; ++i)
                slot = m_downloadSlots[static_cast<std::size_t>(i)].inUse ? -1 : i;
            if (slot < 0)
                break;
        }
        CDownloadsModel::Download download;
        if (record.state == DownloadRecord::State::Failed) {
            download.figures.state = CDownloadsModel::Figures::State::Failed;
            download.figures.text = record.strStatus;
        } else if (record.state == DownloadRecord::State::Paused) {
            download.figures.state = CDownloadsModel::Figures::State::Paused;
        } else {
            download.figures.state = CDownloadsModel::Figures::State::Queued;
        }
        download.slot = slot;
        download.fileName = record.strFileName;
        download.size = record.strSize;
        download.received = static_cast<std::int64_t>(record.nReceived);
        if (record.validators.nLength > 0)
            download.range = static_cast<std::int64_t>(record.validators.nLength);
        download.source = SourceHost(record.strUrl);
        m_model.AddDownload(download);

        DownloadSlot& entry = m_downloadSlots[static_cast<std::size_t>(slot)];
        entry = DownloadSlot{};
        entry.inUse = true;
        entry.item.nItem = -1;
        entry.item.nSlot = slot;
        entry.item.strUrl = record.strUrl;
        entry.item.strFileName = record.strFileName;
        entry.item.strOtherSources = record.otherSources;
        // A restored row belongs to no found-files list: its status texts go nowhere.
        entry.item.nSearchId = std::numeric_limits<std::uint64_t>::max();
        record.nSlot = slot;
        entry.record = record;
        switch (record.state) {
        case DownloadRecord::State::Failed: entry.failed = true; break;
        case DownloadRecord::State::Paused: LaunchDownload(slot, true); break;
        default: entry.queued = true; break;  // running ones start in list order below
        }
        m_nNextSlot = std::max(m_nNextSlot, slot);
    }
    DownloadsChanged();
}

void CDownloadController::StopDownloadsForExit()
{
    SaveDownloadList();
    // The window's last list is on the disk before the window goes.
    if (m_pDownloadStore)
        m_pDownloadStore->Flush();
    m_bDownloadListFrozen = true;
    m_saveTimer.stop();
    m_countdownTimer.stop();
    m_retryCountdowns.clear();
    for (DownloadSlot& entry : m_downloadSlots) {
        if (entry.worker)
            entry.worker->Stop();
        entry = DownloadSlot{};
    }
    m_model.Clear();
}

void CDownloadController::ShowStatesInLanguage()
{
    // The rows keep states and numbers; drawing them again says them anew.
    m_model.LanguageChanged();
}

void CDownloadController::SetLimits(int simultaneous, int speedLimitKBps)
{
    m_nSimultaneousDownloads = std::clamp(simultaneous, 1, Settings::kMaxSimultaneousDownloads);
    m_nSpeedLimitKBps = std::clamp(speedLimitKBps, 0, Settings::kMaxSpeedLimitKBps);
    if (!m_pRateLimiter)
        m_pRateLimiter = std::make_shared<RateLimiter>();
    m_pRateLimiter->SetLimit(static_cast<std::uint64_t>(m_nSpeedLimitKBps) * 1024);
    StartQueuedDownloads();
}

// --- the workers' reports

int CDownloadController::RowOrSay(int slot, const std::string& what) const
{
    const int row = FindRowBySlot(slot);
    if (row < 0 && !what.empty())
        platform::AfxMessageBox(what);
    return row;
}

void CDownloadController::OnSize(int slot, std::uint64_t length)
{
    const int row = RowOrSay(slot, LoadLanguageString(IDS_SIZE_NOT_HANDLED) + std::to_string(slot));
    if (row < 0)
        return;
    m_model.SetSize(row, length);
    if (DownloadSlot* entry = InUse(slot))
        entry->record.strSize = std::to_string(length);
}

void CDownloadController::OnProgress(int slot, std::int64_t received)
{
    const int row = RowOrSay(slot, LoadLanguageString(IDS_PROGRESS_NOT_HANDLED));
    if (row < 0)
        return;
    m_model.SetReceived(row, received);
    // Byte counts reach the saved list at most once a second.
    if (DownloadSlot* entry = InUse(slot)) {
        entry->record.nReceived = static_cast<std::uint64_t>(received);
        m_bDownloadListDirty = true;
    }
}

// A report the worker sent just before the user paused it (or before it
// failed) arrives after the row says so; it must not bring figures back.
bool CDownloadController::StandsStill(int slot)
{
    const DownloadSlot* entry = InUse(slot);
    return entry != nullptr && (entry->paused || entry->failed);
}

void CDownloadController::OnTimeLeft(int slot, std::uint64_t seconds, std::uint64_t received, std::uint64_t length)
{
    const int row = RowOrSay(slot, LoadLanguageString(IDS_TIME_LEFT_NOT_HANDLED));
    if (row >= 0 && !StandsStill(slot)) {
        StopCountdown(slot);
        m_model.SetTimeLeft(row, seconds, received, length);
    }
}

void CDownloadController::OnRate(int slot, double bytesPerSecond)
{
    const int row = FindRowBySlot(slot);
    if (row >= 0 && !StandsStill(slot))
        m_model.SetRate(row, bytesPerSecond);
}

void CDownloadController::OnDone(int slot)
{
    const int row = FindRowBySlot(slot);
    if (row < 0)
        return;
    RemoveRow(row, slot);
    DownloadsChanged();
}

// The declined download's own row: with two downloads started close
// together the last row may belong to the other one.
void CDownloadController::OnDeclined(std::optional<int> slot)
{
    const int row = slot ? FindRowBySlot(*slot) : m_model.Count() - 1;
    if (row < 0)
        return;
    RemoveRow(row, GetRowSlot(row));
    DownloadsChanged();
}

// A failed download keeps its row and slot until the user clears it or
// tries again; the row says what went wrong.
bool CDownloadController::OnFailed(int slot, const char* text)
{
    const int row = FindRowBySlot(slot);
    if (row < 0 || text == nullptr)
        return false;
    StopCountdown(slot);
    m_model.SetFailed(row, text);
    if (DownloadSlot* entry = InUse(slot)) {
        entry->failed = true;
        entry->running = false;
        entry->paused = false;
        entry->record.strStatus = text;
    }
    return true;
}

// A try failed and the next comes after a wait: the row says why, and
// counts the wait down until the next try reports.
void CDownloadController::OnRetrying(int slot, const RetryNotice& notice)
{
    const int row = FindRowBySlot(slot);
    if (row < 0)
        return;
    m_model.SetRetrying(row, notice.strText, notice.nTry, notice.nOf, notice.strCause);
    m_retryCountdowns[slot] = RetryCountdown{
        std::chrono::steady_clock::now() + std::chrono::milliseconds(notice.nWaitMs), notice};
    if (!m_countdownTimer.isActive())
        m_countdownTimer.start();
}

void CDownloadController::ShowRetryCountdowns()
{
    const auto now = std::chrono::steady_clock::now();
    for (auto it = m_retryCountdowns.begin(); it != m_retryCountdowns.end();) {
        const int row = FindRowBySlot(it->first);
        if (row < 0) {
            it = m_retryCountdowns.erase(it);
            continue;
        }
        const RetryCountdown& countdown = it->second;
        const auto msLeft = std::max<std::int64_t>(
            0, std::chrono::duration_cast<std::chrono::milliseconds>(countdown.nextTry - now).count());
        m_model.SetRetrySeconds(row, static_cast<std::uint64_t>((msLeft + 999) / 1000));
        // At nought the row keeps its text until the next try reports.
        it = msLeft == 0 ? m_retryCountdowns.erase(it) : std::next(it);
    }
    if (m_retryCountdowns.empty())
        m_countdownTimer.stop();
}

// The server's validators go into the saved list at once, so that a
// restart resumes with them.
void CDownloadController::OnSource(int slot, const std::string& url, bool leftMayWork)
{
    DownloadSlot* entry = InUse(slot);
    if (entry == nullptr)
        return;
    const std::string left = entry->item.strUrl;
    entry->item.strUrl = url;
    entry->record.strUrl = url;
    // A Retry starts where the download got to and never tries again an
    // address that failed for good; one whose tries were only spent comes
    // after the rest (the part file's record decides whether its bytes stay).
    auto& others = entry->item.strOtherSources;
    if (const auto at = std::find(others.begin(), others.end(), url); at != others.end())
        others.erase(others.begin(), at + 1);
    if (leftMayWork && left != url && others.size() < kMaxOtherSources &&
        std::find(others.begin(), others.end(), left) == others.end())
        others.push_back(left);
    if (const int row = FindRowBySlot(slot); row >= 0)
        m_model.SetText(row, CDownloadsModel::Source, QString::fromStdString(SourceHost(url)));
    DownloadsChanged();
}

void CDownloadController::OnValidators(int slot, const ResumeState& validators)
{
    DownloadSlot* entry = InUse(slot);
    if (entry == nullptr)
        return;
    entry->record.validators = validators;
    DownloadsChanged();
}
