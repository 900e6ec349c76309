#include "platform/Files.h"

#include "platform/CaseInsensitive.h"
#include "platform/GioTrash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <dirent.h>
#include <sys/file.h>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <filesystem>
#include <mutex>
#include <random>
#include <unistd.h>

namespace platform {
namespace {

std::mutex g_dirMutex;
std::string g_testProgramDir;

std::string ExecutableDir()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return std::filesystem::current_path(ec).string();
    return exe.parent_path().string();
}

}  // namespace

std::string GetProgramDir()
{
    std::lock_guard lock(g_dirMutex);
    if (!g_testProgramDir.empty())
        return g_testProgramDir;
    static const std::string dir = ExecutableDir();
    return dir;
}

void SetProgramDirForTesting(const std::string& dir)
{
    std::lock_guard lock(g_dirMutex);
    g_testProgramDir = dir;
    while (g_testProgramDir.size() > 1 && g_testProgramDir.back() == '/')
        g_testProgramDir.pop_back();
}

std::optional<std::string> ReadWholeFile(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return std::nullopt;
    std::string content;
    char buffer[8192];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        content.append(buffer, n);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        return std::nullopt;
    return content;
}

std::optional<std::string> ReadSmallRegularFile(const std::string& path, std::uintmax_t maxBytes,
                                                SmallFileState* state, LinkPolicy links)
{
    SmallFileState dummy = SmallFileState::Read;
    SmallFileState& result = state != nullptr ? *state : dummy;
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int noFollow = links == LinkPolicy::Refuse ? O_NOFOLLOW : 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | noFollow);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            result = SmallFileState::Missing;
        else
            result = errno == ELOOP && noFollow != 0 ? SmallFileState::NotRegular : SmallFileState::Unreadable;
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        result = SmallFileState::NotRegular;
        return std::nullopt;
    }
    if (static_cast<std::uintmax_t>(info.st_size) > maxBytes) {
        ::close(fd);
        result = SmallFileState::TooLarge;
        return std::nullopt;
    }
    // The file may grow while it is read: read at most one byte more than
    // allowed and refuse it if that byte arrives.
    const std::size_t limit = static_cast<std::size_t>(maxBytes) + 1;
    std::string content;
    content.resize(std::min<std::size_t>(static_cast<std::size_t>(info.st_size) + 1, limit));
    std::size_t total = 0;
    while (total < limit) {
        if (total == content.size())
            content.resize(std::min(limit, content.size() * 2));
        const ssize_t n = ::read(fd, content.data() + total, content.size() - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            result = SmallFileState::Unreadable;
            return std::nullopt;
        }
        if (n == 0)
            break;
        total += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (total > maxBytes) {
        result = SmallFileState::TooLarge;
        return std::nullopt;
    }
    content.resize(total);
    result = SmallFileState::Read;
    return content;
}

bool WriteFileAtomically(const std::string& path, const std::string& content)
{
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(content.data(), static_cast<qint64>(content.size())) != static_cast<qint64>(content.size())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool WriteFileAtomicallyNoFollow(const std::string& path, const std::string& content)
{
    const std::size_t slash = path.rfind('/');
    // A short name of its own, whatever the length of `path`'s name, so that
    // a name the file system just takes still leaves room for this one.
    std::string temp = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + ".tunorva-XXXXXX";
    // mkostemp creates with O_EXCL, which never follows a link either.
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    // Held until the file is renamed or gone: a later run takes an unlocked
    // one for what a killed run left (RemoveStaleTempFiles).
    ::flock(fd, LOCK_EX);
    bool written = true;
    for (std::size_t done = 0; written && done < content.size();) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        written = n > 0;
        done += written ? static_cast<std::size_t>(n) : 0;
    }
    written = written && ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    // rename(2) replaces a link at `path` itself, never its target.
    if (written && ::rename(temp.c_str(), path.c_str()) == 0)
        return true;
    ::unlink(temp.c_str());
    return false;
}

void RemoveStaleTempFiles(const std::string& folder)
{
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr)
        return;
    const std::string prefix = ".tunorva-";
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string path = folder + name;
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat held{};
        struct stat named{};
        // Unlocked means its writer is gone; the name must still be the
        // file locked, or another writer has just made it anew.
        if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::lstat(path.c_str(), &named) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino)
            ::unlink(path.c_str());
        ::close(fd);
    }
    ::closedir(dir);
}

std::optional<std::string> CreateTempFile(const std::string& dir, const std::string& prefix)
{
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    std::string folder = dir;
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    const std::string stem = prefix.substr(0, 3);

    static std::atomic<unsigned> counter{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const unsigned unique = (counter.fetch_add(1) & 0xFFFFu) + 1u;
        char name[32];
        std::snprintf(name, sizeof name, "%X.tmp", unique);
        const std::string path = folder + stem + name;
        const int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST)
            return std::nullopt;
    }
    return std::nullopt;
}

bool DeleteFile(const std::string& path)
{
    return ::unlink(path.c_str()) == 0;
}

bool FileExists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool MatchesWildcard(const std::string& name, const std::string& pattern)
{
    // Iterative matcher with one back-tracking point: the last '*' seen.
    std::size_t n = 0, p = 0, starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || AsciiLower(pattern[p]) == AsciiLower(name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::vector<FoundFile> FindFiles(const std::string& pattern)
{
    const std::size_t slash = pattern.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : pattern.substr(0, slash + 1);
    const std::string namePattern = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    std::vector<FoundFile> found;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    if (ec)
        return found;
    for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        std::string name = it->path().filename().string();
        if (!MatchesWildcard(name, namePattern))
            continue;
        FoundFile entry;
        entry.name = std::move(name);
        std::error_code statError;
        entry.isDirectory = it->is_directory(statError);
        if (!entry.isDirectory) {
            const std::uintmax_t size = it->file_size(statError);
            entry.size = statError ? 0 : size;
        }
        found.push_back(std::move(entry));
    }
    std::sort(found.begin(), found.end(), [](const FoundFile& a, const FoundFile& b) {
        return std::lexicographical_compare(a.name.begin(), a.name.end(), b.name.begin(), b.name.end(),
                                            [](char x, char y) { return AsciiLower(x) < AsciiLower(y); });
    });
    return found;
}

std::size_t CountFolderEntries(const std::string& folder, std::size_t limit)
{
    std::size_t count = 0;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder.empty() ? std::string(".") : folder, ec);
    for (; !ec && count < limit && it != std::filesystem::directory_iterator(); it.increment(ec))
        ++count;
    return count;
}

RemoveResult MoveFileToTrash(const std::string& path, int* error)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        if (error != nullptr)
            *error = errno;
        return RemoveResult::Failed;
    }
    // Qt takes names as text: a name that does not survive the round trip
    // (not UTF-8) could name another file there. GIO takes its bytes.
    const QString name = QFile::decodeName(QByteArray::fromStdString(path));
    if (QFile::encodeName(name).toStdString() != path)
        return TrashWithGio(path) ? RemoveResult::Trashed : RemoveResult::NoTrash;
    // Qt cannot set up the home trash when the data folder itself is
    // missing, and then files the "trashed" file relative to the current
    // folder. The desktop would have the folder; make sure we do too.
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!dataHome.isEmpty() && QDir().mkpath(dataHome)) {
        QString inTrash;
        if (QFile::moveToTrash(name, &inTrash)) {
            if (QDir::isAbsolutePath(inTrash))
                return RemoveResult::Trashed;
            // Filed relative to the current folder: the file goes back, and
            // the trash's record and folders that Qt made there go too.
            ::rename(QFile::encodeName(inTrash).constData(), path.c_str());
            const QString root = QFileInfo(inTrash).path() + QStringLiteral("/..");
            const QString record = root + QStringLiteral("/info/") + QFileInfo(inTrash).fileName() +
                                   QStringLiteral(".trashinfo");
            ::unlink(QFile::encodeName(record).constData());
            ::rmdir(QFile::encodeName(root + QStringLiteral("/info")).constData());
            ::rmdir(QFile::encodeName(root + QStringLiteral("/files")).constData());
        }
    }
    // No trash could take it. Deleting it for good is the user's choice.
    return RemoveResult::NoTrash;
}

namespace {

// Whether two names are one file: on a file system that ignores case,
// "Song.mp3" and "song.mp3" are.
bool SameFile(const std::string& a, const std::string& b)
{
    struct stat sa {};
    struct stat sb {};
    return ::lstat(a.c_str(), &sa) == 0 && ::lstat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino && sa.st_nlink == 1;
}

// A change of case only where the file system sees one name: through a
// free name beside it, since a rename onto the same file does nothing.
int RenameThroughFreeName(const std::string& from, const std::string& to)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string step = from + ".rename-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, step.c_str(), RENAME_NOREPLACE) != 0) {
            if (errno == EEXIST)
                continue;
            return errno;
        }
        if (::renameat2(AT_FDCWD, step.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
            return 0;
        const int error = errno;
        ::renameat2(AT_FDCWD, step.c_str(), AT_FDCWD, from.c_str(), RENAME_NOREPLACE);
        return error;
    }
    return EEXIST;
}

}  // namespace

int RenameNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    const int error = errno;
    if (error == EEXIST && from != to && SameFile(from, to))
        return RenameThroughFreeName(from, to);
    if (error != EINVAL && error != ENOSYS && error != ENOTSUP)
        return error;
    // File systems without the flag: a hard link fails on an existing target
    // as the flag would; where links are not supported either, look first.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return 0;
    }
    if (errno == EEXIST)
        return EEXIST;
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0)
        return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

std::string ErrorText(int error)
{
    char buffer[256];
    // The GNU strerror_r returns the text, which may not be in `buffer`.
    return ::strerror_r(error, buffer, sizeof buffer);
}

}  // namespace platform
