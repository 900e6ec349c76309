// The main frame's side of downloads: the figures, the end and the failure
// of each transfer, written into the download's row (found by its slot).
#include "window/MainFrame.h"

#include "download/DownloadMessages.h"
#include "window/download/DownloadsModel.h"
#include "window/download/ListCtrlEx.h"
#include "platform/MessageBox.h"
#include "window/PagesView.h"

#include <cstdint>
#include <string>

namespace {

// The download's row, or -1; `what` (when not null) is shown when there is none.
int DownloadRow(const CPagesView& view, int slot, const std::string& what = {})
{
    const int row = view.FindRowBySlot(slot);
    if (row < 0 && !what.empty())
        platform::AfxMessageBox(what);
    return row;
}

}  // namespace

platform::LRESULT CMainFrame::OnDownloadSize(const DownloadSize& message)
{
    const int nSlot = message.slot;
    const std::string key = std::to_string(nSlot);
    const int row = DownloadRow(*m_wndView, nSlot, "Set progress rage can not be handled. Where ID= " + key);
    if (row < 0)
        return 0;
    const std::uint64_t length = message.length;
    m_wndView->m_pDownloads->SetSize(row, length);
    if (DownloadSlot* slot = m_wndView->SlotOf(nSlot))
        slot->record.strSize = std::to_string(length);
    return 0;
}

platform::LRESULT CMainFrame::OnDownloadProgress(const DownloadProgress& message)
{
    const int row = DownloadRow(*m_wndView, message.slot, "Step progreass can not be handled.");
    if (row < 0)
        return 0;
    const auto received = static_cast<std::int64_t>(message.bytes);
    m_wndView->m_lstDownloads->SetProgress(row, received);
    // Byte counts reach the saved list at most once a second.
    if (DownloadSlot* slot = m_wndView->SlotOf(message.slot)) {
        slot->record.nReceived = static_cast<std::uint64_t>(received);
        m_wndView->m_bDownloadListDirty = true;
    }
    return 0;
}

platform::LRESULT CMainFrame::OnDownloadTimeLeft(const DownloadTimeLeft& message)
{
    const int row = DownloadRow(*m_wndView, message.slot, "Setting Time remaining can not be handled.");
    if (row >= 0)
        m_wndView->m_lstDownloads->SetItemText(row, CDownloadsModel::TimeLeft, message.text);
    return 0;
}

platform::LRESULT CMainFrame::OnDownloadRate(const DownloadRate& message)
{
    const int row = DownloadRow(*m_wndView, message.slot);
    if (row >= 0)
        m_wndView->m_lstDownloads->SetItemText(row, CDownloadsModel::Rate, message.text);
    return 0;
}

platform::LRESULT CMainFrame::OnDownloadDone(const DownloadDone& message)
{
    const int row = DownloadRow(*m_wndView, message.slot);
    if (row < 0)
        return 0;
    m_wndView->m_lstDownloads->DeleteItem(row);
    m_wndView->FreeSlot(message.slot);
    m_wndView->DownloadsChanged();
    return 0;
}

// The declined download's own row: with two downloads started close
// together the last row may belong to the other one.
platform::LRESULT CMainFrame::OnDownloadDeclined(const DownloadDeclined& message)
{
    CPagesView& view = *m_wndView;
    const int row = DownloadRow(view, message.slot);
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
platform::LRESULT CMainFrame::OnDownloadFailed(const DownloadFailed& message)
{
    const int row = DownloadRow(*m_wndView, message.slot);
    if (row < 0)
        return 0;
    m_wndView->m_lstDownloads->SetItemText(row, CDownloadsModel::TimeLeft, message.text);
    m_wndView->m_lstDownloads->SetItemText(row, CDownloadsModel::Rate, "");
    if (DownloadSlot* slot = m_wndView->SlotOf(message.slot)) {
        slot->failed = true;
        slot->running = false;
        slot->paused = false;
        slot->record.strStatus = message.text;
    }
    OnFileStatus(FileStatus{message.row, message.searchId, message.text});
    m_wndView->DownloadsChanged();
    return 0;
}

// A try failed and the next comes after a wait: the row says why and when.
platform::LRESULT CMainFrame::OnDownloadRetrying(const DownloadRetrying& message)
{
    const int row = DownloadRow(*m_wndView, message.slot);
    if (row < 0)
        return 0;
    const RetryNotice* notice = &message.notice;
    m_wndView->m_lstDownloads->SetItemText(row, CDownloadsModel::TimeLeft, notice->strText);
    m_wndView->m_lstDownloads->SetItemText(row, CDownloadsModel::Rate, "");
    return 0;
}

// The server's validators go into the saved list at once, so that a
// restart resumes with them.
platform::LRESULT CMainFrame::OnDownloadValidators(const DownloadValidators& message)
{
    DownloadSlot* slot = m_wndView->SlotOf(message.slot);
    if (slot == nullptr)
        return 0;
    slot->record.validators = message.state;
    m_wndView->DownloadsChanged();
    return 0;
}
