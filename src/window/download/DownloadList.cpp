// The pages view's side of downloads: the slot table, starting a download
// from the found-files list, the download list's popup menu and the commands
// Cancel, Cancel all, Resume, Clear and Clear all.
#include "window/PagesView.h"

#include "download/HttpDownload.h"
#include "window/download/DownloadsModel.h"
#include "window/download/ListCtrlEx.h"
#include "window/search/FoundFilesModel.h"
#include "platform/CRuntime.h"
#include "platform/MessageBox.h"
#include "platform/Files.h"
#include "platform/WorkerThreads.h"
#include "resources/Resource.h"
#include "settings/LanguagePack.h"

#include <algorithm>

namespace {

void Message(unsigned id)
{
    platform::AfxMessageBox(LoadLanguageString(id));
}

}  // namespace

void CPagesView::OnDownload()
{
    StartDownload();
}

void CPagesView::OnDownloadFile()
{
    const int row = m_lstFiles->GetFirstSelectedItem();
    if (row < 0) {
        Message(IDS_NO_FILE_TO_DOWNLOAD);
        return;
    }
    m_item.strUrl = m_lstFiles->GetItemText(row, CFoundFilesModel::Url);
    m_item.nItem = row;
    m_item.nSubItem = CFoundFilesModel::Url;
    m_item.nSearchId = m_nFilesSearchId;
    StartDownload();
}

bool CPagesView::StartDownload()
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
    download.fileName = m_lstFiles->GetItemText(m_item.nItem, CFoundFilesModel::Name);
    download.size = m_lstFiles->GetItemText(m_item.nItem, CFoundFilesModel::Size);
    const int row = m_pDownloads->AddDownload(download);
    m_item.nSlot = slot;
    m_item.nProgressColumn = CDownloadsModel::Progress;
    m_item.strFileName = DownloadFileName(m_item.strUrl);
    // A podcast's file served from an address without ".mp3" is saved under
    // the name its row shows, which has it.
    if (m_lstFiles->GetItemImage(m_item.nItem) == IMG_USER_ENGINE_FILE)
        m_item.strFileName = m_lstFiles->GetItemText(m_item.nItem, CFoundFilesModel::Name);

    DownloadSlot& entry = m_downloadSlots[static_cast<std::size_t>(slot)];
    entry = DownloadSlot{};
    entry.inUse = true;
    entry.item = m_item;
    entry.record.strUrl = m_item.strUrl;
    entry.record.strFileName = m_item.strFileName;
    entry.record.strSize = download.size;
    entry.record.nSlot = slot;
    // Beyond the number of simultaneous downloads a new one waits its turn.
    if (RunningDownloads() >= m_nSimultaneousDownloads) {
        entry.queued = true;
        m_lstDownloads->SetItemText(row, CDownloadsModel::TimeLeft, LoadLanguageString(IDS_QUEUED));
        DownloadsChanged();
        return true;
    }
    if (!LaunchDownload(slot, false)) {
        m_lstDownloads->DeleteItem(row);
        entry = DownloadSlot{};
        return false;
    }
    DownloadsChanged();
    return true;
}

int CPagesView::FindRowBySlot(int slot) const
{
    return m_pDownloads->RowOfSlot(slot);
}

int CPagesView::GetRowSlot(int row) const
{
    if (row == -1)
        return -1;
    const int slot = m_pDownloads->SlotOf(row);
    // A number outside the table names no slot.
    return slot >= 0 && slot < kDownloadSlots ? slot : -1;
}

void CPagesView::FreeSlot(int slot)
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
    entry = DownloadSlot{};
}

void CPagesView::OnDownloadListRightClick(int row, const QPoint& point)
{
    const int slot = GetRowSlot(row);
    if (slot == -1) {
        Message(IDS_NO_DOWNLOAD_ID);
        return;
    }
    const DownloadSlot& entry = m_downloadSlots[static_cast<std::size_t>(slot)];
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
    const int slot = GetRowSlot(row);
    if (slot == -1)
        Message(noSlot);
    return slot;
}

namespace {

void Pause(DownloadSlot& entry)
{
    if (entry.worker && entry.running) {
        entry.worker->RequestPause();
        entry.running = false;
        entry.paused = true;
    }
}

}  // namespace

void CPagesView::OnCancelDownload()
{
    if (const int slot = SelectedDownloadSlot(IDS_NO_FILE_TO_CANCEL, IDS_CANCEL_NOT_HANDLED); slot != -1) {
        Pause(m_downloadSlots[static_cast<std::size_t>(slot)]);
        DownloadsChanged();
    }
}

void CPagesView::OnCancelAll()
{
    for (int row = 0; row < m_lstDownloads->GetItemCount() && row < kDownloadSlots; ++row) {
        const int slot = GetRowSlot(row);
        if (slot == -1) {
            Message(IDS_CANCEL_ALL_NOT_HANDLED);
            return;
        }
        Pause(m_downloadSlots[static_cast<std::size_t>(slot)]);
    }
    DownloadsChanged();
}

void CPagesView::OnResumeDownload()
{
    const int slot = SelectedDownloadSlot(IDS_NO_FILE_TO_RESUME, IDS_RESUME_NOT_HANDLED);
    if (slot == -1)
        return;
    DownloadSlot& entry = m_downloadSlots[static_cast<std::size_t>(slot)];
    if (entry.worker && entry.paused) {
        entry.worker->Release();
        entry.paused = false;
        entry.running = true;
        DownloadsChanged();
    }
}

// Clear ends the transfer for good: a paused one too, so that no connection
// and no partial file are left behind until the program ends.
void CPagesView::OnClearDownload()
{
    const int slot = SelectedDownloadSlot(IDS_NO_FILE_TO_CANCEL, IDS_CLEAR_NOT_HANDLED);
    if (slot == -1 || !m_downloadSlots[static_cast<std::size_t>(slot)].inUse)
        return;
    const int row = m_lstDownloads->GetFirstSelectedItem();
    FreeSlot(slot);
    m_lstDownloads->DeleteItem(row);
    DownloadsChanged();
}

void CPagesView::OnClearAll()
{
    for (int removed = 0; m_lstDownloads->GetItemCount() > 0 && removed < kDownloadSlots; ++removed) {
        const int slot = GetRowSlot(0);
        if (slot == -1) {
            Message(IDS_CLEAR_ALL_NOT_HANDLED);
            return;
        }
        FreeSlot(slot);
        m_lstDownloads->DeleteItem(0);
    }
    DownloadsChanged();
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
