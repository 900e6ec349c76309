// The pages view's side of downloads: starting one from the found-files
// list, the download list's popup menu and the commands Cancel, Cancel all,
// Resume, Retry, Clear and Clear all, each handed to the download controller.
#include "window/PagesView.h"

#include "window/download/DownloadController.h"
#include "window/download/ListCtrlEx.h"
#include "window/search/FoundFilesModel.h"
#include "window/search/SearchController.h"
#include "platform/MessageBox.h"
#include "resources/Resource.h"
#include "settings/LanguagePack.h"

namespace {

void Message(unsigned id)
{
    platform::AfxMessageBox(LoadLanguageString(id));
}

}  // namespace

void CPagesView::OnDownload()
{
    // The found file the right click (or the toolbar) named; without one the
    // name comes from the address.
    CDownloadController::Source source;
    if (const FoundFile* file = m_pFoundFiles->File(m_item.nItem)) {
        source.name = file->fileName;
        source.size = std::to_string(file->size.value_or(0));
        source.nameIsFileName = file->image == IMG_USER_ENGINE_FILE;
    }
    // The same file at other addresses, for a download that fails at this one.
    std::vector<std::string> sources = m_pFoundFiles->SourcesOf(m_item.nItem);
    m_item.strOtherSources.clear();
    for (std::string& url : sources) {
        if (url != m_item.strUrl)
            m_item.strOtherSources.push_back(std::move(url));
    }
    Downloads().StartDownload(m_item, source);
}

void CPagesView::OnDownloadFile()
{
    const int row = m_lstFiles->GetFirstSelectedItem();
    if (row < 0) {
        Message(IDS_NO_FILE_TO_DOWNLOAD);
        return;
    }
    const FoundFile* file = m_pFoundFiles->File(row);
    if (file == nullptr)
        return;
    m_item.strUrl = file->url;
    m_item.nItem = row;
    m_item.nSubItem = CFoundFilesModel::Url;
    m_item.nSearchId = Search().SearchId();
    OnDownload();
}

void CPagesView::OnDownloadListRightClick(int row, const QPoint& point)
{
    const int slot = Downloads().GetRowSlot(row);
    if (slot == -1) {
        Message(IDS_NO_DOWNLOAD_ID);
        return;
    }
    const DownloadSlot& entry = Downloads().Slot(slot);
    m_lstDownloads->m_bItemRunning = entry.running;
    m_lstDownloads->m_bItemPaused = entry.paused;
    m_lstDownloads->m_bItemFailed = entry.failed;
    m_lstDownloads->ShowPopupMenu(point);
}

// The slot of the first selected download row; -1 after telling the user
// that there is no row (`noRow`) or that its slot cannot be read (`noSlot`).
int CPagesView::SelectedDownloadSlot(unsigned noRow, unsigned noSlot) const
{
    const int row = m_lstDownloads->GetFirstSelectedItem();
    if (row < 0) {
        Message(noRow);
        return -1;
    }
    const int slot = Downloads().GetRowSlot(row);
    if (slot == -1)
        Message(noSlot);
    return slot;
}

void CPagesView::OnCancelDownload()
{
    if (const int slot = SelectedDownloadSlot(IDS_NO_FILE_TO_CANCEL, IDS_CANCEL_NOT_HANDLED); slot != -1)
        Downloads().Pause(slot);
}

void CPagesView::OnCancelAll()
{
    Downloads().PauseAll();
}

void CPagesView::OnResumeDownload()
{
    if (const int slot = SelectedDownloadSlot(IDS_NO_FILE_TO_RESUME, IDS_RESUME_NOT_HANDLED); slot != -1)
        Downloads().Resume(slot);
}

void CPagesView::OnClearDownload()
{
    if (const int slot = SelectedDownloadSlot(IDS_NO_FILE_TO_CANCEL, IDS_CLEAR_NOT_HANDLED); slot != -1)
        Downloads().Clear(slot);
}

void CPagesView::OnClearAll()
{
    Downloads().ClearAll();
}

void CPagesView::OnRetryDownload()
{
    if (const int slot = SelectedDownloadSlot(IDS_NO_FILE_TO_RESUME, IDS_RESUME_NOT_HANDLED); slot != -1)
        Downloads().Retry(slot);
}

platform::LRESULT CPagesView::OnDownloadCancelItem(platform::WPARAM, platform::LPARAM)
{
    OnCancelDownload();
    return 0;
}

platform::LRESULT CPagesView::OnDownloadClearItem(platform::WPARAM, platform::LPARAM)
{
    OnClearDownload();
    return 0;
}

platform::LRESULT CPagesView::OnDownloadResumeItem(platform::WPARAM, platform::LPARAM)
{
    OnResumeDownload();
    return 0;
}

platform::LRESULT CPagesView::OnDownloadRetryItem(platform::WPARAM, platform::LPARAM)
{
    OnRetryDownload();
    return 0;
}
