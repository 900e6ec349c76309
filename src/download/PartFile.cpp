#include "download/PartFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

PartFile::~PartFile()
{
    Close();
}

int PartFile::Open(const std::string& path)
{
    Close();
    // Another download of the same name may rename the part file into place
    // between our open and our lock; the file held would then be a finished
    // song. Once locked, the path must still name the file opened, or the
    // open starts again (with a new part file, as a rule).
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0 && errno == EEXIST) {
            fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
            if (fd < 0 && errno == ENOENT)
                continue;  // renamed away between the two opens
        }
        if (fd < 0)
            return errno;
        struct stat st{};
        struct stat named{};
        int error = 0;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &st) != 0)
            error = errno;
        else if (!S_ISREG(st.st_mode))
            error = EINVAL;
        if (error == 0 && (::lstat(path.c_str(), &named) != 0 || named.st_dev != st.st_dev || named.st_ino != st.st_ino)) {
            ::close(fd);
            continue;
        }
        // Appends go to the end however the file was left.
        if (error == 0 && ::lseek(fd, 0, SEEK_END) < 0)
            error = errno;
        if (error != 0) {
            ::close(fd);
            return error;
        }
        m_fd = fd;
        m_nSize = static_cast<std::uint64_t>(st.st_size);
        m_strPath = path;
        return 0;
    }
    return EAGAIN;
}

int PartFile::Write(const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(m_fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (written == 0)
            return ENOSPC;
        bytes += written;
        size -= static_cast<std::size_t>(written);
        m_nSize += static_cast<std::uint64_t>(written);
    }
    return 0;
}

int PartFile::TruncateTo(std::uint64_t size)
{
    if (size > m_nSize)
        return EINVAL;
    if (::ftruncate(m_fd, static_cast<off_t>(size)) != 0 || ::lseek(m_fd, static_cast<off_t>(size), SEEK_SET) < 0)
        return errno;
    m_nSize = size;
    return 0;
}

int PartFile::Sync()
{
    return ::fsync(m_fd) == 0 ? 0 : errno;
}

void PartFile::Close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

void PartFile::Remove()
{
    Close();
    if (!m_strPath.empty())
        ::unlink(m_strPath.c_str());
    m_nSize = 0;
}
