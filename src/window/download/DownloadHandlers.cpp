// The main frame's side of downloads: each worker's figures, end and failure
// handed to the download controller, which writes the download's row.
#include "window/MainFrame.h"

#include "download/DownloadItem.h"
#include "download/DownloadNotices.h"
#include "download/ResumeState.h"
#include "window/PagesView.h"
#include "window/download/DownloadController.h"

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

// The slot a worker's item names; -1 for none.
int SlotNumber(const DownloadItem* item)
{
    return item != nullptr ? item->nSlot : -1;
}

}  // namespace

platform::LRESULT CMainFrame::OnDownloadSize(platform::WPARAM wParam, platform::LPARAM lParam)
{
    const DownloadItem* item = Item(wParam);
    const auto length = static_cast<std::uint64_t>(lParam);
    m_wndView->Downloads().OnSize(SlotNumber(item), length);
    return 0;
}

platform::LRESULT CMainFrame::OnDownloadProgress(platform::WPARAM wParam, platform::LPARAM lParam)
{
    const auto received = static_cast<std::int64_t>(lParam);
    m_wndView->Downloads().OnProgress(SlotNumber(Item(wParam)), received);
    return 0;
}

platform::LRESULT CMainFrame::OnDownloadTimeLeft(platform::WPARAM wParam, platform::LPARAM lParam)
{
    m_wndView->Downloads().OnTimeLeft(SlotNumber(Item(wParam)), Text(lParam));
    return 0;
}

platform::LRESULT CMainFrame::OnDownloadRate(platform::WPARAM wParam, platform::LPARAM lParam)
{
    m_wndView->Downloads().OnRate(SlotNumber(Item(wParam)), Text(lParam));
    return 0;
}

platform::LRESULT CMainFrame::OnDownloadDone(platform::WPARAM wParam, platform::LPARAM)
{
    const DownloadItem* item = Item(wParam);
    m_wndView->Downloads().OnDone(SlotNumber(item));
    return 0;
}

// Without an item the newest row is taken for the declined one.
platform::LRESULT CMainFrame::OnDownloadDeclined(platform::WPARAM wParam, platform::LPARAM)
{
    const DownloadItem* item = Item(wParam);
    m_wndView->Downloads().OnDeclined(item != nullptr ? std::optional<int>(item->nSlot) : std::nullopt);
    return 0;
}

// A failed download keeps its row and slot until the user clears it or
// tries again; the found file's status says what went wrong too.
platform::LRESULT CMainFrame::OnDownloadFailed(platform::WPARAM wParam, platform::LPARAM lParam)
{
    const DownloadItem* item = Item(wParam);
    if (!m_wndView->Downloads().OnFailed(SlotNumber(item), Text(lParam)))
        return 0;
    OnFileStatus(wParam, lParam);
    m_wndView->Downloads().DownloadsChanged();
    return 0;
}

// A try failed and the next comes after a wait: the row says why and when.
platform::LRESULT CMainFrame::OnDownloadRetrying(platform::WPARAM wParam, platform::LPARAM lParam)
{
    if (lParam == 0)
        return 0;
    const auto* notice = reinterpret_cast<const RetryNotice*>(lParam);
    m_wndView->Downloads().OnRetrying(SlotNumber(Item(wParam)), notice->strText);
    return 0;
}

// The server's validators go into the saved list at once, so that a
// restart resumes with them.
platform::LRESULT CMainFrame::OnDownloadValidators(platform::WPARAM wParam, platform::LPARAM lParam)
{
    if (lParam == 0)
        return 0;
    m_wndView->Downloads().OnValidators(SlotNumber(Item(wParam)), *reinterpret_cast<const ResumeState*>(lParam));
    return 0;
}
