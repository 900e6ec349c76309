#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The hidden file a download writes into until it is complete and checked.
// Created exclusively; an existing one (left by an earlier run) is taken
// over for resuming. Locked while open, so two downloads of one name never
// write into the same part file; a symbolic link is never followed.
class PartFile final {
public:
    PartFile() = default;
    ~PartFile();
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    // 0 on success, else the system's error code. Size() then says how many
    // bytes an earlier run left.
    int Open(const std::string& path);
    int Write(const void* data, std::size_t size);
    // Empties the file for a transfer that starts over.
    int Truncate() { return TruncateTo(0); }
    // Cuts the file back to its first `size` bytes (a try's bytes that
    // turned out wrong); appends go on from there.
    int TruncateTo(std::uint64_t size);
    // Writes the bytes through to the disk before the file is renamed.
    int Sync();
    void Close();
    // Closes and deletes the file.
    void Remove();

    bool IsOpen() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }
    std::uint64_t Size() const { return m_nSize; }
    const std::string& Path() const { return m_strPath; }

private:
    // Opens that find the path renamed under them before this one gives up.
    static constexpr int kOpenAttempts = 8;

    int m_fd = -1;
    std::uint64_t m_nSize = 0;
    std::string m_strPath;
};
