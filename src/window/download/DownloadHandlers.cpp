// The main frame's side of downloads: each worker's figures, end and failure
// handed to the download controller, which writes the download's row.
#include "window/MainFrame.h"

#include "download/DownloadMessages.h"
#include "window/PagesView.h"
#include "window/download/DownloadController.h"

#include <cstdint>

platform::LRESULT CMainFrame::OnDownloadSize(const DownloadSize& message)
{
    m_wndView->Downloads().OnSize(message.slot, message.length);
    return 0;
}

platform::LRESULT CMainFrame::OnDownloadProgress(const DownloadProgress& message)
{
    m_wndView->Downloads().OnProgress(message.slot, static_cast<std::int64_t>(message.bytes));
    return 0;
}

platform::LRESULT CMainFrame::OnDownloadTimeLeft(const DownloadTimeLeft& message)
{
    m_wndView->Downloads().OnTimeLeft(message.slot, message.seconds, message.received, message.length);
    return 0;
}

platform::LRESULT CMainFrame::OnDownloadRate(const DownloadRate& message)
{
    m_wndView->Downloads().OnRate(message.slot, message.bytesPerSecond);
    return 0;
}

platform::LRESULT CMainFrame::OnDownloadDone(const DownloadDone& message)
{
    m_wndView->Downloads().OnDone(message.slot);
    return 0;
}

platform::LRESULT CMainFrame::OnDownloadDeclined(const DownloadDeclined& message)
{
    m_wndView->Downloads().OnDeclined(message.slot);
    return 0;
}

// A failed download keeps its row and slot until the user clears it or
// tries again; the found file's status says what went wrong too.
platform::LRESULT CMainFrame::OnDownloadFailed(const DownloadFailed& message)
{
    if (!m_wndView->Downloads().OnFailed(message.slot, message.text.c_str()))
        return 0;
    FileStatus status;
    status.row = message.row;
    status.searchId = message.searchId;
    status.text = message.text;
    OnFileStatus(status);
    m_wndView->Downloads().DownloadsChanged();
    return 0;
}

// A try failed and the next comes after a wait: the row says why and when.
platform::LRESULT CMainFrame::OnDownloadRetrying(const DownloadRetrying& message)
{
    m_wndView->Downloads().OnRetrying(message.slot, message.notice);
    return 0;
}

// The server's validators go into the saved list at once, so that a
// restart resumes with them.
platform::LRESULT CMainFrame::OnDownloadValidators(const DownloadValidators& message)
{
    m_wndView->Downloads().OnValidators(message.slot, message.state);
    return 0;
}

// The download goes on from another address of the same file: the row shows
// it, and a later Retry or start goes there too.
platform::LRESULT CMainFrame::OnDownloadSource(const DownloadSource& message)
{
    m_wndView->Downloads().OnSource(message.slot, message.url, message.leftMayWork);
    return 0;
}

// A part file that could not be continued: the download starts over, and the
// status bar says why, naming the file.
platform::LRESULT CMainFrame::OnDownloadRestarted(const DownloadRestarted& message)
{
    if (message.slot < 0 || message.slot >= kDownloadSlots || message.reason.empty())
        return 0;
    const DownloadSlot& slot = m_wndView->Downloads().Slot(message.slot);
    if (slot.inUse)
        SetStatusText(slot.item.strFileName + ": " + message.reason);
    return 0;
}
