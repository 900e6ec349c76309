// The engines the user added: the engine list's popup (add, remove, the
// engines folder) and the frame's entry points for their walks' reports.
#include "window/MainFrame.h"
#include "window/PagesView.h"

#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/WorkerThreads.h"
#include "resources/Messages.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"
#include "search/EngineAdder.h"
#include "search/LinkExtractor.h"
#include "search/UserEngineFolder.h"
#include "search/EngineReports.h"
#include "settings/LanguagePack.h"
#include "window/ProgressCtrl.h"
#include "window/desktop/DesktopServices.h"
#include "window/desktop/Sound.h"
#include "window/download/ListCtrlEx.h"
#include "window/search/SearchController.h"
#include "window/settings/Translate.h"

#include <QInputDialog>
#include <QLabel>

#include <filesystem>

void CPagesView::LoadUserEngineRows()
{
    Search().LoadUserEngineRows(UserEnginesDir());
}

bool CPagesView::UserEngineRowsPending() const
{
    return Search().UserEngineRowsPending();
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
    const std::vector<UserEngine>& engines = Search().UserEngines();
    const int first = CSearchController::kFirstUserEngineRow;
    if (row < first || static_cast<std::size_t>(row - first) >= engines.size()) {
        platform::AfxMessageBox(LoadLanguageString(IDS_NO_ITEM_SELECTED));
        return;
    }
    const UserEngine engine = engines[static_cast<std::size_t>(row - first)];
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

// A user engine's walk reports to the search controller, as every engine does.
platform::LRESULT CMainFrame::OnUserEngineFound(const UserEngineFind& message)
{
    m_wndView->Search().OnReport(ToReport(message));
    return 0;
}

platform::LRESULT CMainFrame::OnUserEnginePage(const UserEnginePage& message)
{
    m_wndView->Search().OnReport(ToReport(message));
    return 0;
}

platform::LRESULT CMainFrame::OnUserEngineFirstPage(const UserEngineFirstPage& message)
{
    m_wndView->Search().OnReport(ToReport(message));
    return 0;
}

platform::LRESULT CMainFrame::OnUserEngineEnded(const UserEngineEnded& message)
{
    m_wndView->Search().OnReport(ToReport(message));
    return 0;
}

platform::LRESULT CMainFrame::OnUserEnginesRead(const UserEnginesRead& message)
{
    m_wndView->Search().OnUserEnginesRead(message);
    return 0;
}
