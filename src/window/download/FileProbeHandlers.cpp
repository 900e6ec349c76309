// The main frame's side of the probes: status texts and sizes of found files.
#include "window/MainFrame.h"

#include "window/search/FoundFilesModel.h"
#include "window/PagesView.h"

#include <QLabel>

#include <cstdint>

namespace {

// A record of a row that an earlier search put in the list: the list has been
// emptied since, so its row index names another file now.
bool IsStale(std::uint64_t searchId, const CPagesView& view)
{
    return searchId != 0 && searchId != view.m_nFilesSearchId;
}

}  // namespace

platform::LRESULT CMainFrame::OnFileStatus(const FileStatus& status)
{
    CPagesView& view = *m_wndView;
    if (IsStale(status.searchId, view))
        return 0;
    // The probe's text is the row's own from now on; a library state still
    // shows over it.
    view.SetProbeStatus(status.row, status.text);
    if (status.available) {
        ++view.m_nAvailableFiles;
        view.m_stcAvailableCount->setText(QString::number(view.m_nAvailableFiles));
    }
    return 0;
}

platform::LRESULT CMainFrame::OnFileSizeProbed(const FileSizeProbed& probed)
{
    CPagesView& view = *m_wndView;
    if (IsStale(probed.searchId, view))
        return 0;
    view.m_pFoundFiles->SetSize(probed.row, probed.size);
    view.m_pFoundFiles->SetHead(probed.row, probed.size, probed.head);
    return 0;
}
