#pragma once

#include <string>

class QWidget;

namespace platform {

// ShellExecuteA's results for "open": above 32 the file was handed over,
// otherwise one of these.
inline constexpr int SE_ERR_OOM = 0;
inline constexpr int SE_ERR_FNF = 2;
inline constexpr int SE_ERR_PNF = 3;
inline constexpr int SE_ERR_ACCESSDENIED = 5;
inline constexpr int SE_ERR_BAD_FORMAT = 11;
inline constexpr int SE_ERR_SHARE = 26;
inline constexpr int SE_ERR_ASSOCINCOMPLETE = 27;
inline constexpr int SE_ERR_NOASSOC = 31;
inline constexpr int SE_OPENED = 42;

// Whoever hands a file to the desktop's application for its type: the
// desktop's services (xdg-open), or a script in tests.
class Launcher {
public:
    enum class Result {
        Started,        // handed over; what the application does later is its own affair
        NoApplication,  // the desktop has nothing to open this type with
        NotStarted,     // the hand-over itself failed (no process could be started)
    };
    virtual ~Launcher() = default;
    virtual Result OpenDocument(const std::string& path) = 0;
};

// Installs the launcher (null restores the desktop's); returns the previous.
Launcher* SetLauncher(Launcher* launcher);

// ShellExecuteA(owner, "open", path, NULL, NULL, SW_SHOW): opens a file with
// the desktop's default application without waiting for it. A missing folder,
// a missing file and a file that may not be read are told apart here, before
// the desktop is asked, because the desktop only says whether it could start
// something. Returns SE_OPENED or one of the SE_ERR_ values.
int ShellExecuteOpen(const std::string& path);

// The desktop's folder chooser (SHBrowseForFolder). Tests install a script.
struct FolderChoice {
    enum Result { Chosen = 1, NotFileSystem = 2, Cancelled = -1 };
    Result result = Cancelled;
    std::string path;  // the chosen folder without a trailing '/', "/" for the root
};

class FolderChooser {
public:
    virtual ~FolderChooser() = default;
    // `initialFolder` is preselected when not empty; with `onlyFileSystem`
    // only local folders can be picked.
    virtual FolderChoice Choose(QWidget* parent, const std::string& title, const std::string& initialFolder,
                                bool onlyFileSystem) = 0;
};

// Installs the chooser (null restores the desktop's); returns the previous.
FolderChooser* SetFolderChooser(FolderChooser* chooser);

// Runs the installed chooser modally.
FolderChoice BrowseForFolder(QWidget* parent, const std::string& title, const std::string& initialFolder,
                             bool onlyFileSystem);

}  // namespace platform
