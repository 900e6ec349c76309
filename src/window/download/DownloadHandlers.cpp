// The main frame's side of downloads: the figures, the end and the failure
// of each transfer, written into the download's row (found by its slot).
#include "window/MainFrame.h"

#include "download/DownloadItem.h"
#include "download/DownloadNotices.h"
#include "download/ResumeState.h"
#include "window/download/DownloadsModel.h"
#include "window/download/ListCtrlEx.h"
#include "platform/MessageBox.h"
#include "window/PagesView.h"

#include <cstdint>
#include <string>

namespace {

const DownloadItem* Item(platform::WPARAM wParam)
{
    return reinterpret_cast<const DownloadItem*>(wParam);
}

const char* Text(platform::LPARAM lParam)
{
    return reinterpret_cast<const char*>(lParam);
}

// The download's row, or -1; `what` (when not null) is shown when there is none.
int DownloadRow(const CPagesView& view, const DownloadItem* item, const std::string& what = {})
{
    const int row = item != nullptr ? view.FindRowBySlot(item->nSlot) : -1;
    if (row < 0 && !what.empty())
        platform::AfxMessageBox(what);
    return row;
}

}  // namespace

platform::LRESULT CMainFrame::OnDownloadSize(platform::WPARAM wParam, platform::LPARAM lParam)
{
    const DownloadItem* item = Item(wParam);
    const std::string key = item != nullptr ? std::to_string(item->nSlot) : "-1";
    const int row = DownloadRow(*m_wndView, item, "Set progress rage can not be handled. Where ID= " + key);
    if (row < 0)
        return 0;
    const auto length = static_cast<std::uint64_t>(lParam);
    m_wndView->m_pDownloads->SetSize(row, length);
    if (DownloadSlot* slot = m_wndView->SlotOf(item))
        slot->record.strSize = std::to_string(length);
    return 0;
}

platform::LRESULT CMainFrame::OnDownloadProgress(platform::WPARAM wParam, platform::LPARAM lParam)
{
    const int row = DownloadRow(*m_wndView, Item(wParam), "Step progreass can not be handled.");
    if (row < 0)
        return 0;
    const auto received = static_cast<std::int64_t>(lParam);
    m_wndView->m_lstDownloads->SetProgress(row, received);
    // Byte counts reach the saved list at most once a second.
    if (DownloadSlot* slot = m_wndView->SlotOf(Item(wParam))) {
        slot->record.nReceived = static_cast<std::uint64_t>(received);
        m_wndView->m_bDownloadListDirty = true;
    }
    return 0;
}

platform::LRESULT CMainFrame::OnDownloadTimeLeft(platform::WPARAM wParam, platform::LPARAM lParam)
{
    const int row = DownloadRow(*m_wndView, Item(wParam), "Setting Time remaining can not be handled.");
    if (row >= 0 && lParam != 0)
        m_wndView->m_lstDownloads->SetItemText(row, CDownloadsModel::TimeLeft, Text(lParam));
    return 0;
}

platform::LRESULT CMainFrame::OnDownloadRate(platform::WPARAM wParam, platform::LPARAM lParam)
{
    const int row = DownloadRow(*m_wndView, Item(wParam));
    if (row >= 0 && lParam != 0)
        m_wndView->m_lstDownloads->SetItemText(row, CDownloadsModel::Rate, Text(lParam));
    return 0;
}

platform::LRESULT CMainFrame::OnDownloadDone(platform::WPARAM wParam, platform::LPARAM)
{
    const DownloadItem* item = Item(wParam);
    const int row = DownloadRow(*m_wndView, item);
    if (row < 0)
        return 0;
    m_wndView->m_lstDownloads->DeleteItem(row);
    m_wndView->FreeSlot(item->nSlot);
    m_wndView->DownloadsChanged();
    return 0;
}

// The declined download's own row: with two downloads started close
// together the last row may belong to the other one.
platform::LRESULT CMainFrame::OnDownloadDeclined(platform::WPARAM wParam, platform::LPARAM)
{
    CPagesView& view = *m_wndView;
    const DownloadItem* item = Item(wParam);
    const int row = item != nullptr ? DownloadRow(view, item) : view.m_lstDownloads->GetItemCount() - 1;
    if (row < 0)
        return 0;
    const int slot = view.GetRowSlot(row);
    view.m_lstDownloads->DeleteItem(row);
    view.FreeSlot(slot);
    view.DownloadsChanged();
    return 0;
}

// A failed download keeps its row and slot until the user clears it or
// tries again; the row and the found file's status say what went wrong.
platform::LRESULT CMainFrame::OnDownloadFailed(platform::WPARAM wParam, platform::LPARAM lParam)
{
    const DownloadItem* item = Item(wParam);
    const int row = DownloadRow(*m_wndView, item);
    if (row < 0 || lParam == 0)
        return 0;
    m_wndView->m_lstDownloads->SetItemText(row, CDownloadsModel::TimeLeft, Text(lParam));
    m_wndView->m_lstDownloads->SetItemText(row, CDownloadsModel::Rate, "");
    if (DownloadSlot* slot = m_wndView->SlotOf(item)) {
        slot->failed = true;
        slot->running = false;
        slot->paused = false;
        slot->record.strStatus = Text(lParam);
    }
    OnFileStatus(wParam, lParam);
    m_wndView->DownloadsChanged();
    return 0;
}

// A try failed and the next comes after a wait: the row says why and when.
platform::LRESULT CMainFrame::OnDownloadRetrying(platform::WPARAM wParam, platform::LPARAM lParam)
{
    const int row = DownloadRow(*m_wndView, Item(wParam));
    if (row < 0 || lParam == 0)
        return 0;
    const auto* notice = reinterpret_cast<const RetryNotice*>(lParam);
    m_wndView->m_lstDownloads->SetItemText(row, CDownloadsModel::TimeLeft, notice->strText);
    m_wndView->m_lstDownloads->SetItemText(row, CDownloadsModel::Rate, "");
    return 0;
}

// The server's validators go into the saved list at once, so that a
// restart resumes with them.
platform::LRESULT CMainFrame::OnDownloadValidators(platform::WPARAM wParam, platform::LPARAM lParam)
{
    DownloadSlot* slot = m_wndView->SlotOf(Item(wParam));
    if (slot == nullptr || lParam == 0)
        return 0;
    slot->record.validators = *reinterpret_cast<const ResumeState*>(lParam);
    m_wndView->DownloadsChanged();
    return 0;
}
