#include "platform/Files.h"

#include <QSaveFile>

#include <atomic>
#include <cerrno>
#include <cstdio>
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

}  // namespace platform
