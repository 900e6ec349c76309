// The main frame's side of the probes: status texts and sizes of found
// files, handed to the search controller.
#include "window/MainFrame.h"

#include "window/PagesView.h"
#include "window/search/SearchController.h"

platform::LRESULT CMainFrame::OnFileStatus(const FileStatus& status)
{
    m_wndView->Search().OnFileStatus(status);
    return 0;
}

platform::LRESULT CMainFrame::OnFileSizeProbed(const FileSizeProbed& probed)
{
    m_wndView->Search().OnFileSizeProbed(probed);
    return 0;
}
