#include "window/settings/FolderDialog.h"

#include "window/desktop/DesktopServices.h"

CFolderDialog::CFolderDialog(const std::string& title, const std::string& initialFolder, QWidget* parent,
                             unsigned flags)
    : m_szInitialPath(initialFolder)
    , m_strTitle(title)
    , m_pParent(parent)
    , m_nFlags(flags)
{
}

int CFolderDialog::DoModal()
{
    const platform::FolderChoice choice = platform::BrowseForFolder(m_pParent, m_strTitle, m_szInitialPath,
                                                                    (m_nFlags & BIF_RETURNONLYFSDIRS) != 0);
    switch (choice.result) {
    case platform::FolderChoice::Chosen: m_szPath = choice.path; return 1;
    case platform::FolderChoice::NotFileSystem: return 2;
    case platform::FolderChoice::Cancelled: break;
    }
    return -1;
}
