#pragma once

#include <cstddef>
#include <string>

namespace platform {

// A file written from start to end (CFile with modeCreate | modeWrite |
// shareDenyWrite): created, or emptied when it exists. While it is open a
// second writer of the same path is refused, as the share mode refuses it;
// a symbolic link is never followed, so nothing is written outside the
// file's own folder.
class OutputFile final {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // 0 on success, else the system's error code.
    int Open(const std::string& path);
    // Writes all of `data`, one system call where the system takes it whole.
    // 0 on success, else the system's error code.
    int Write(const void* data, std::size_t size);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

}  // namespace platform
