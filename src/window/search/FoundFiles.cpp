// What the user sees of a search: the main frame turns the page workers'
// messages into rows, counts, the progress bar and the engine list's state.
#include "window/MainFrame.h"

#include "window/download/DownloadController.h"
#include "window/download/ListCtrlEx.h"
#include "window/search/FoundFilesModel.h"
#include "window/search/PreviewPlayer.h"
#include "download/FileNameFromUrl.h"
#include "download/ProbeQueue.h"
#include "platform/MessageBox.h"
#include "window/desktop/Sound.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"
#include "search/EngineConfig.h"
#include "search/HtmlDocument.h"
#include "search/LinkExtractor.h"
#include "search/NavigateToMp3.h"
#include "search/SearchQuery.h"
#include "settings/LanguagePack.h"
#include "window/PagesView.h"
#include "window/ProgressCtrl.h"

#include <QLabel>
#include <QStatusBar>
#include <QTextEdit>

platform::LRESULT CMainFrame::OnMp3Found(const Mp3Found& message)
{
    const std::string& url = message.url;
    if (url.empty())
        return 0;
    // The name the download will be saved under; a URL whose cleaned name
    // holds no ".mp3" gives no row.
    const std::string fileName = FileNameFromUrl(url);
    if (!IsMp3Link(fileName))
        return 0;
    return AddFoundFile(url, fileName, IMG_HTTP_FILE);
}

platform::LRESULT CMainFrame::AddFoundFile(const std::string& url, const std::string& fileName, int image)
{
    CPagesView& view = *m_wndView;
    // A search stops adding rows at its bound; the pages go on being walked.
    if (view.m_nFoundFiles >= kMaxFoundFiles) {
        if (view.m_nFoundFiles == kMaxFoundFiles) {
            ++view.m_nFoundFiles;  // said once per search
            SetStatusText(AfxFormatString1(LoadLanguageString(IDS_SEARCH_ROWS_CAPPED), std::to_string(kMaxFoundFiles)));
        }
        return 0;
    }
    // Rows are only ever added at the end: a row's index is its number in the search.
    const int row = view.m_pFoundFiles->InsertRow(view.m_pFoundFiles->Count(), 5, image,
                                                  {"HTTP", "Not Connected", fileName, "0", url});
    view.UpdateFoundFileState(row);
    m_item = DownloadItem{};
    m_item.nItem = row;
    m_item.strUrl = url;
    m_item.strFileName = fileName;
    m_item.nSearchId = view.m_nFilesSearchId;

    ++view.m_nFoundFiles;
    view.m_stcFilesCount->setText(QString::number(view.m_nFoundFiles));
    view.m_ctlProgress->StepIt();
    // The queue keeps its own copy of the record.
    view.Downloads().Probes().Start(m_item, view.m_filesListStop.get_token());
    // The sound never holds the search back: it plays on a worker of its
    // own, and while the last one still plays (a sound server may take
    // seconds) the new one is skipped.
    if (view.m_bPlaySound != 0)
        platform::PlaySoundAsync(view.m_strSoundsDir + "NewMp3Found.wav",
                                 platform::SND_NOWAIT | platform::SND_APPLICATION, {});
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

platform::LRESULT CMainFrame::OnFetchStep(const FetchStep&)
{
    m_wndView->m_ctlProgress->StepIt();
    return 0;
}

platform::LRESULT CMainFrame::OnPageResult(const PageResult& message)
{
    CPagesView& view = *m_wndView;
    CListCtrlEx& engines = *view.m_lstEngines;
    const std::string& pageUrl = message.url;
    const bool found = message.found;
    // The count the "Files" label shows.
    const std::string count = std::to_string(std::min(view.m_nFoundFiles, kMaxFoundFiles));
    if (found) {
        engines.SetItemImage(0, IMG_ENGINE_RESULTS);
        if (pageUrl.find(Engines().FirstHost()) != std::string::npos)
            engines.SetItemText(0, CPagesView::EngineFiles, count);
    } else {
        engines.SetItemImage(0, IMG_ENGINE_NO_RESULTS);
    }
    if (pageUrl.find(Engines().SecondHost()) != std::string::npos && found) {
        engines.SetItemImage(1, IMG_ENGINE_RESULTS);
        engines.SetItemText(1, CPagesView::EngineFiles, count);
    } else {
        engines.SetItemImage(1, IMG_ENGINE_NO_RESULTS);
        engines.SetItemImage(2, IMG_ENGINE_NO_RESULTS);
    }
    view.m_ctlProgress->SetPos(1000);
    // The toggle is not pressed from here: the caption follows the chains
    // themselves (OnSearchChainEnded), so a running search never shows "Find It!".
    return 0;
}

platform::LRESULT CMainFrame::OnPageFinished(const PageFinished& message)
{
    CPagesView& view = *m_wndView;
    if (view.m_bSecondEngineStarted == 0) {
        view.m_bSecondEngineStarted = 1;
        view.m_pNavigator2 = std::make_unique<CNavigateToMp3>();
        const std::string url =
            BuildEngineUrl(Engines().SecondBaseUrl(), view.m_strSearchType, view.m_strArtist, view.m_strSong);
        view.m_lstEngines->SetItemImage(1, IMG_ENGINE_AT_WORK);
        view.m_pNavigator2->StartNavigation(url, 2);
    } else if (message.engine == 2 && view.m_userWalks.empty() && !view.m_userEngines.empty()) {
        // The user's engines follow the second engine's first page.
        view.StartUserEngine(0);
    }
    view.OnSearchChainEnded();
    return 0;
}

void CPagesView::OnCopyUrl()
{
    const int row = m_lstFiles->GetFirstSelectedItem();
    if (row < 0) {
        platform::AfxMessageBox(LoadLanguageString(IDS_NO_ITEM_SELECTED));
        return;
    }
    CopyToClipboard(m_lstFiles->GetItemText(row, CFoundFilesModel::Url));
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
        m_item.strUrl = list->GetItemText(row, CFoundFilesModel::Url);
        m_item.nItem = row;
        m_item.nSubItem = column;
        m_item.nSearchId = m_nFilesSearchId;
        list->m_bPreviewPlaying = m_pPreview != nullptr && m_pPreview->IsPlaying();
        list->ShowPopupMenu(point);
    } else if (list == m_lstDownloads) {
        OnDownloadListRightClick(row, point);
    }
}
