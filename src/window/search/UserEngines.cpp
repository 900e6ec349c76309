// The engines the user added: their rows on the engines page, their walks
// (each starts after the previous engine's first page, the first after the
// second built-in engine's) and the engine list's popup.
#include "window/MainFrame.h"
#include "window/PagesView.h"

#include "download/ProbeQueue.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/WorkerThreads.h"
#include "resources/Messages.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"
#include "search/EngineAdder.h"
#include "search/LinkExtractor.h"
#include "search/UserEngineFolder.h"
#include "search/UserEngineWalk.h"
#include "settings/LanguagePack.h"
#include "window/ProgressCtrl.h"
#include "window/desktop/DesktopServices.h"
#include "window/desktop/Sound.h"
#include "window/download/ListCtrlEx.h"
#include "window/settings/Translate.h"

#include <QInputDialog>
#include <QLabel>

#include <filesystem>

namespace {

int RowOf(std::size_t index)
{
    return CPagesView::kFirstUserEngineRow + static_cast<int>(index);
}

}  // namespace

void CPagesView::LoadUserEngineRows()
{
    // A folder of large descriptions takes a while to read: the window
    // shows at once and the rows follow.
    const int reading = ++m_nUserEngineReading;
    const std::string dir = UserEnginesDir();
    const bool started = platform::AfxBeginThread([reading, dir] {
        platform::Post(UserEnginesRead{reading, LoadUserEngines(dir)});
        return 0u;
    });
    if (!started)
        ShowUserEngineRows(LoadUserEngines(dir));
}

void CPagesView::OnUserEnginesRead(UserEnginesRead read)
{
    if (read.reading != m_nUserEngineReading)
        return;
    // The walks of a search in progress go by their engines' numbers: the
    // rows change once they are released.
    if (!m_userWalks.empty()) {
        m_pendingUserEngines = std::move(read);
        return;
    }
    ShowUserEngineRows(std::move(read.list));
}

void CPagesView::ShowUserEngineRows(UserEngineList list)
{
    m_nUserEngineRowsShown = m_nUserEngineReading;
    m_pendingUserEngines.reset();
    while (m_lstEngines->GetItemCount() > kFirstUserEngineRow)
        m_lstEngines->DeleteItem(m_lstEngines->GetItemCount() - 1);
    m_userEngines = std::move(list.engines);
    m_userEngineCounts.assign(m_userEngines.size(), 0);
    for (std::size_t i = 0; i < m_userEngines.size(); ++i) {
        const UserEngine& engine = m_userEngines[i];
        m_lstEngines->AddItem(RowOf(i), 4, IMG_ENGINE_RESTING,
                              {"Not Connected", engine.shortName, "0", engine.homePage});
    }
    m_strUserEngineProblems.clear();
    for (const std::string& problem : list.problems)
        m_strUserEngineProblems += (m_strUserEngineProblems.empty() ? "" : "; ") + problem;
    // A description that cannot be used is named, not fatal.
    if (CMainFrame* frame = Frame(); frame != nullptr && frame->m_wndStatusBar != nullptr &&
                                     !m_strUserEngineProblems.empty())
        frame->SetStatusText(m_strUserEngineProblems);
}

void CPagesView::ResetUserEngineRows()
{
    m_userEngineCounts.assign(m_userEngines.size(), 0);
    for (std::size_t i = 0; i < m_userEngines.size(); ++i) {
        m_lstEngines->SetItemText(RowOf(i), EngineFiles, "0");
        m_lstEngines->SetItemImage(RowOf(i), IMG_ENGINE_RESTING);
    }
}

void CPagesView::StartUserEngine(std::size_t index)
{
    if (index >= m_userEngines.size() || index != m_userWalks.size())
        return;
    auto walk = std::make_unique<CUserEngineWalk>(static_cast<int>(index), m_userEngines[index]);
    m_lstEngines->SetItemImage(RowOf(index), IMG_ENGINE_AT_WORK);
    const bool started = walk->Start(m_strArtist, m_strSong);
    m_userWalks.push_back(std::move(walk));
    // A walk that cannot start passes its turn on at once.
    if (!started) {
        m_lstEngines->SetItemImage(RowOf(index), IMG_ENGINE_NO_RESULTS);
        StartUserEngine(index + 1);
    }
}

void CPagesView::StopUserEngines()
{
    // Releasing a walk stops it; its last messages are dropped.
    m_userWalks.clear();
    if (m_pendingUserEngines)
        OnUserEnginesRead(std::move(*m_pendingUserEngines));
}

bool CPagesView::UserEnginesRunning() const
{
    for (const auto& walk : m_userWalks) {
        if (walk->IsRunning())
            return true;
    }
    return false;
}

void CPagesView::OnEngineListRightClick(int row, const QPoint& point)
{
    if (row >= 0 && !m_lstEngines->IsItemSelected(row))
        m_lstEngines->SelectItem(row);
    m_lstEngines->ShowPopupMenu(point);
}

void CPagesView::OnAddEngine()
{
    QInputDialog dialog(this);
    dialog.setWindowTitle(LanguageText(IDS_ADD_ENGINE_TITLE));
    dialog.setLabelText(LanguageText(IDS_ADD_ENGINE_PROMPT));
    dialog.setOkButtonText(LanguageText(IDS_OK));
    dialog.setCancelButtonText(LanguageText(IDS_CANCEL));
    if (dialog.exec() != QDialog::Accepted)
        return;
    const std::string source = dialog.textValue().trimmed().toStdString();
    if (source.empty())
        return;
    AddEngineFrom(source, false);
}

void CPagesView::AddEngineFrom(const std::string& source, bool replace)
{
    // Fetching a site and its description may take a while: a worker does
    // it and hands the result back to the window.
    const std::string dir = UserEnginesDir();
    platform::AfxBeginThread([this, dir, source, replace] {
        const AddEngineResult result = AddEngine(source, dir, replace);
        platform::CallOnMainThread([this, source, result] { OnEngineAdded(source, result); });
        return 0u;
    });
}

void CPagesView::OnEngineAdded(const std::string& source, const AddEngineResult& result)
{
    if (result.status == AddEngineResult::Status::Exists) {
        if (platform::AfxMessageBox(AfxFormatString1(LoadLanguageString(IDS_ENGINE_EXISTS), result.name),
                                    platform::MB_YESNO) == platform::IDYES)
            AddEngineFrom(source, true);
        return;
    }
    if (result.status == AddEngineResult::Status::Failed) {
        platform::AfxMessageBox(result.error);
        return;
    }
    // A search in progress keeps its engines; the rows follow once it ends.
    LoadUserEngineRows();
}

void CPagesView::OnRemoveEngine()
{
    const int row = m_lstEngines->GetFirstSelectedItem();
    if (row < kFirstUserEngineRow || static_cast<std::size_t>(row - kFirstUserEngineRow) >= m_userEngines.size()) {
        platform::AfxMessageBox(LoadLanguageString(IDS_NO_ITEM_SELECTED));
        return;
    }
    const UserEngine& engine = m_userEngines[static_cast<std::size_t>(row - kFirstUserEngineRow)];
    if (platform::AfxMessageBox(AfxFormatString1(LoadLanguageString(IDS_ENGINE_REMOVE_CONFIRM), engine.shortName),
                                platform::MB_YESNO) != platform::IDYES)
        return;
    platform::DeleteFile(UserEnginesDir() + engine.fileName);
    // A search in progress keeps its engines; the rows follow once it ends.
    LoadUserEngineRows();
}

void CPagesView::OnEditEnginesFolder()
{
    const std::string dir = UserEnginesDir();
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    // Without a file manager the user is told where the folder is.
    if (platform::ShellExecuteOpen(dir) != platform::SE_OPENED)
        platform::AfxMessageBox(AfxFormatString1(LoadLanguageString(IDS_ENGINES_FOLDER_NOT_OPENED), dir));
}

platform::LRESULT CMainFrame::OnUserEngineFound(const UserEngineFind& find)
{
    CPagesView& view = *m_wndView;
    if (static_cast<std::size_t>(find.engine) >= view.m_userEngineCounts.size())
        return 0;
    const std::string url = find.url;
    const std::string fileName = find.fileName;
    if (!IsMp3Link(fileName))
        return 0;
    const std::size_t engine = static_cast<std::size_t>(find.engine);
    ++view.m_userEngineCounts[engine];
    view.m_lstEngines->SetItemText(RowOf(engine), CPagesView::EngineFiles, std::to_string(view.m_userEngineCounts[engine]));

    // The same bound, rows, probes and sound as the built-in engines' files.
    return AddFoundFile(url, fileName, IMG_USER_ENGINE_FILE);
}

platform::LRESULT CMainFrame::OnUserEnginePage(const UserEnginePage& page)
{
    CPagesView& view = *m_wndView;
    if (static_cast<std::size_t>(page.engine) >= view.m_userEngines.size())
        return 0;
    const std::size_t engine = static_cast<std::size_t>(page.engine);
    const bool anyFound = page.found || view.m_userEngineCounts[engine] > 0;
    view.m_lstEngines->SetItemImage(RowOf(engine), anyFound ? IMG_ENGINE_RESULTS : IMG_ENGINE_NO_RESULTS);
    view.m_ctlProgress->SetPos(1000);
    return 0;
}

platform::LRESULT CMainFrame::OnUserEngineFirstPage(const UserEngineFirstPage& message)
{
    m_wndView->StartUserEngine(static_cast<std::size_t>(message.engine) + 1);
    return 0;
}

platform::LRESULT CMainFrame::OnUserEnginesRead(const UserEnginesRead& message)
{
    m_wndView->OnUserEnginesRead(message);
    return 0;
}

platform::LRESULT CMainFrame::OnUserEngineEnded(const UserEngineEnded& message)
{
    CPagesView& view = *m_wndView;
    const std::size_t engine = static_cast<std::size_t>(message.engine);
    if (engine < view.m_userEngines.size() && view.m_userEngineCounts[engine] == 0)
        view.m_lstEngines->SetItemImage(RowOf(engine), IMG_ENGINE_NO_RESULTS);
    if (!message.problem.empty())
        SetStatusText(message.problem);
    view.OnSearchChainEnded();
    return 0;
}
