// The main frame's side of the probes: status texts and sizes of found files.
#include "window/MainFrame.h"

#include "download/DownloadItem.h"
#include "window/search/FoundFilesModel.h"
#include "window/PagesView.h"

#include <QLabel>

#include <cstring>

namespace {

// A record of a row that an earlier search put in the list: the list has been
// emptied since, so its row index names another file now.
bool IsStale(const DownloadItem& item, const CPagesView& view)
{
    return item.nSearchId != 0 && item.nSearchId != view.m_nFilesSearchId;
}

}  // namespace

platform::LRESULT CMainFrame::OnFileStatus(platform::WPARAM wParam, platform::LPARAM lParam)
{
    const auto* item = reinterpret_cast<const DownloadItem*>(wParam);
    const auto* text = reinterpret_cast<const char*>(lParam);
    CPagesView& view = *m_wndView;
    if (item == nullptr || text == nullptr || IsStale(*item, view))
        return 0;
    // The probe's text is the row's own from now on; a library state still
    // shows over it.
    view.SetProbeStatus(item->nItem, text);
    if (std::strcmp(text, "Avaliable") == 0) {
        ++view.m_nAvailableFiles;
        view.m_stcAvailableCount->setText(QString::number(view.m_nAvailableFiles));
    }
    return 0;
}

platform::LRESULT CMainFrame::OnFileSizeProbed(platform::WPARAM wParam, platform::LPARAM lParam)
{
    const auto* item = reinterpret_cast<const DownloadItem*>(wParam);
    CPagesView& view = *m_wndView;
    if (item == nullptr || IsStale(*item, view))
        return 0;
    view.m_pFoundFiles->SetSize(item->nItem, static_cast<std::uint64_t>(lParam));
    return 0;
}
