#include "window/desktop/DesktopServices.h"

#include "platform/MessageChannel.h"
#include "platform/WorkerThreads.h"

#include <QFileDialog>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <thread>
#include <cerrno>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform {
namespace {

// A file URL made from the path's bytes as they are, so a name that is not
// UTF-8 still names its file when the handler decodes the URL.
QUrl LocalFileUrl(const std::string& path)
{
    return QUrl::fromEncoded("file://" + QByteArray::fromStdString(path).toPercentEncoding("/"), QUrl::StrictMode);
}

// How long the desktop's opener may take to say that nothing can open a file.
// It decides within a tenth of a second; an opener still running after this
// has handed the file to a program that it now waits for.
constexpr auto kOpenerVerdict = std::chrono::milliseconds(1000);

class DesktopLauncher final : public Launcher {
public:
    Result OpenDocument(const std::string& path) override
    {
        // xdg-open is what the desktop's services start, and it is started
        // here directly: it tells by its exit status that no program can open
        // the type, which QDesktopServices::openUrl does not pass on (it only
        // says whether xdg-open itself could be started).
        QByteArray url = LocalFileUrl(path).toEncoded();
        char opener[] = "xdg-open";
        char* argv[] = {opener, url.data(), nullptr};
        pid_t pid = -1;
        if (::posix_spawnp(&pid, opener, nullptr, nullptr, argv, environ) != 0)
            return Result::NotStarted;
        const auto until = std::chrono::steady_clock::now() + kOpenerVerdict;
        while (std::chrono::steady_clock::now() < until) {
            int status = 0;
            const pid_t ended = ::waitpid(pid, &status, WNOHANG);
            if (ended == pid)
                return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? Result::Started : Result::NoApplication;
            if (ended < 0)
                return Result::Started;  // reaped elsewhere: nothing more to learn
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        // Still running: a program has the file. Its end is collected on a
        // worker so that no zombie stays behind.
        AfxBeginThread([pid] {
            int status = 0;
            ::waitpid(pid, &status, 0);
            return 0u;
        });
        return Result::Started;
    }
};

class DesktopFolderChooser final : public FolderChooser {
public:
    FolderChoice Choose(QWidget* parent, const std::string& title, const std::string& initialFolder,
                        bool onlyFileSystem) override
    {
        const QUrl start = initialFolder.empty() ? QUrl() : QUrl::fromLocalFile(QString::fromStdString(initialFolder));
        const QStringList schemes = onlyFileSystem ? QStringList{QStringLiteral("file")} : QStringList{};
        const QUrl url = QFileDialog::getExistingDirectoryUrl(parent, QString::fromStdString(title), start,
                                                              QFileDialog::ShowDirsOnly, schemes);
        FolderChoice choice;
        if (url.isEmpty())
            return choice;
        if (!url.isLocalFile()) {
            choice.result = FolderChoice::NotFileSystem;
            return choice;
        }
        std::string path = url.toLocalFile().toStdString();
        while (path.size() > 1 && path.back() == '/')
            path.pop_back();
        choice.result = path.empty() ? FolderChoice::NotFileSystem : FolderChoice::Chosen;
        choice.path = std::move(path);
        return choice;
    }
};

DesktopLauncher g_desktopLauncher;
std::atomic<Launcher*> g_launcher{&g_desktopLauncher};
DesktopFolderChooser g_desktopChooser;
std::atomic<FolderChooser*> g_chooser{&g_desktopChooser};

// What stat(2) says about a path, in ShellExecute's terms; 0 when it can be opened.
int CheckOpenable(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        switch (errno) {
        case ENOENT: {
            // A missing folder and a missing file in an existing folder differ.
            const std::size_t slash = path.rfind('/');
            const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
            struct stat dir {};
            return ::stat(folder.c_str(), &dir) == 0 && S_ISDIR(dir.st_mode) ? SE_ERR_FNF : SE_ERR_PNF;
        }
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP: return SE_ERR_PNF;
        case EACCES: return SE_ERR_ACCESSDENIED;
        case ENOMEM: return SE_ERR_OOM;
        default: return SE_ERR_FNF;
        }
    }
    if (::access(path.c_str(), R_OK) != 0)
        return errno == EACCES || errno == EPERM ? SE_ERR_ACCESSDENIED : SE_ERR_FNF;
    return 0;
}

}  // namespace

Launcher* SetLauncher(Launcher* launcher)
{
    return g_launcher.exchange(launcher != nullptr ? launcher : &g_desktopLauncher);
}

int ShellExecuteOpen(const std::string& path)
{
    if (path.empty())
        return SE_ERR_FNF;
    if (const int problem = CheckOpenable(path); problem != 0)
        return problem;
    switch (g_launcher.load()->OpenDocument(path)) {
    case Launcher::Result::Started: return SE_OPENED;
    case Launcher::Result::NoApplication: return SE_ERR_NOASSOC;
    case Launcher::Result::NotStarted: return SE_ERR_OOM;
    }
    return SE_ERR_OOM;
}

FolderChooser* SetFolderChooser(FolderChooser* chooser)
{
    return g_chooser.exchange(chooser != nullptr ? chooser : &g_desktopChooser);
}

FolderChoice BrowseForFolder(QWidget* parent, const std::string& title, const std::string& initialFolder,
                             bool onlyFileSystem)
{
    const ModalLoopScope modal;
    return g_chooser.load()->Choose(parent, title, initialFolder, onlyFileSystem);
}

}  // namespace platform
