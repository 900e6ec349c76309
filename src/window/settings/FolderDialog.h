#pragma once

#include <string>

class QWidget;

// SHBrowseForFolder's flag: only folders of the file system can be chosen.
inline constexpr unsigned BIF_RETURNONLYFSDIRS = 0x0001;

// The music-folder browser of the options dialog, run by the desktop's
// folder chooser.
class CFolderDialog final {
public:
    CFolderDialog(const std::string& title, const std::string& initialFolder, QWidget* parent, unsigned flags);

    // 1 when a folder was chosen (its path is in m_szPath), 2 when the chosen
    // item is no folder of the file system, -1 when the user cancelled.
    int DoModal();

    std::string m_szInitialPath;
    std::string m_szPath;

private:
    std::string m_strTitle;
    QWidget* m_pParent = nullptr;
    unsigned m_nFlags = 0;
};
