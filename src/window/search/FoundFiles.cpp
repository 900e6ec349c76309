// What the user sees of a search: the main frame hands the engines' messages
// to the search controller; the view copies a found file's address and shows
// the found-files list's popup.
#include "window/MainFrame.h"

#include "platform/MessageBox.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"
#include "search/EngineReports.h"
#include "search/HtmlDocument.h"
#include "search/NavigateToMp3.h"
#include "settings/LanguagePack.h"
#include "window/PagesView.h"
#include "window/download/ListCtrlEx.h"
#include "window/search/FoundFilesModel.h"
#include "window/search/PreviewPlayer.h"
#include "window/search/SearchController.h"

#include <QStatusBar>
#include <QTextEdit>

// The engines' reports go to the search controller.
platform::LRESULT CMainFrame::OnMp3Found(const Mp3Found& message)
{
    m_wndView->Search().OnReport(ToReport(message));
    return 0;
}

platform::LRESULT CMainFrame::OnPageResult(const PageResult& message)
{
    m_wndView->Search().OnReport(ToReport(message));
    return 0;
}

platform::LRESULT CMainFrame::OnPageFinished(const PageFinished& message)
{
    m_wndView->Search().OnReport(ToReport(message));
    return 0;
}

platform::LRESULT CMainFrame::OnFetchStep(const FetchStep&)
{
    m_wndView->Search().OnFetchStep();
    return 0;
}

platform::LRESULT CMainFrame::OnPageCapped(const PageCapped& message)
{
    SetStatusText(AfxFormatString2(LoadLanguageString(IDS_PAGE_LINKS_CAPPED),
                                   std::to_string(CNavigateToMp3::kMaxLinksPerPage), message.url));
    return 0;
}

platform::LRESULT CMainFrame::OnPageBodyCapped(const PageBodyCapped& message)
{
    SetStatusText(AfxFormatString2(LoadLanguageString(IDS_PAGE_BODY_CAPPED),
                                   std::to_string(CHtmlDocument::kMaxBodyBytes >> 20), message.url));
    return 0;
}

void CMainFrame::SetStatusText(const std::string& text)
{
    m_wndStatusBar->showMessage(QString::fromStdString(text));
}

void CPagesView::OnCopyUrl()
{
    const int row = m_lstFiles->GetFirstSelectedItem();
    if (row < 0) {
        platform::AfxMessageBox(LoadLanguageString(IDS_NO_ITEM_SELECTED));
        return;
    }
    if (const FoundFile* file = m_pFoundFiles->File(row))
        CopyToClipboard(file->url);
}

void CPagesView::OnCopyContextUrl()
{
    CopyToClipboard(m_item.strUrl);
}

// Through the hidden edit control, as plain text.
void CPagesView::CopyToClipboard(const std::string& text)
{
    m_edtClipboard->setPlainText(QString::fromStdString(text));
    m_edtClipboard->selectAll();
    m_edtClipboard->ensureCursorVisible();
    m_edtClipboard->copy();
}

// NM_RCLICK on a list. Only a click on a selected row does anything; the
// found-files list remembers the row for "&DownLoad" and "&Copy URL" and
// shows its menu; the download list shows its own for the row's slot.
void CPagesView::OnListRightClick(CListCtrlEx* list, int row, int column, const QPoint& point)
{
    if (list == m_lstEngines) {
        OnEngineListRightClick(row, point);
        return;
    }
    if (list == nullptr || row < 0 || !list->IsItemSelected(row))
        return;
    if (list == m_lstFiles) {
        const FoundFile* file = m_pFoundFiles->File(row);
        if (file == nullptr)
            return;
        m_item.strUrl = file->url;
        m_item.nItem = row;
        m_item.nSubItem = column;
        m_item.nSearchId = Search().SearchId();
        list->m_bPreviewPlaying = m_pPreview != nullptr && m_pPreview->IsPlaying();
        list->ShowPopupMenu(point);
    } else if (list == m_lstDownloads) {
        OnDownloadListRightClick(row, point);
    }
}
