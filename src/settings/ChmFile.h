#pragma once

#include <QByteArray>

#include <chrono>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// A compiled help file (.chm) opened for reading through chmlib. Paths inside
// the file start with '/' ("/index.html") and are looked up without regard to
// (ASCII) case, as the help format does.
//
// Manuals are downloaded and passed around, and chmlib trusts what a file
// states: a damaged one can make it divide by zero, loop or read out of
// bounds. So the file is read whole in a child process, which hands every
// entry over a pipe: whatever chmlib does to it, the program only sees a
// file that did not open.
class CChmFile final {
public:
    CChmFile() = default;
    ~CChmFile();
    CChmFile(const CChmFile&) = delete;
    CChmFile& operator=(const CChmFile&) = delete;

    // Opens `path`; false when it is missing, no help file, or could not be
    // read whole within `timeout`.
    bool Open(const std::string& path, std::chrono::milliseconds timeout = kReadTimeout);
    void Close();
    bool IsOpen() const { return m_open; }

    // The bytes of the object at `objectPath`; nothing when it is not there.
    std::optional<QByteArray> Read(const std::string& objectPath) const;
    // Every object's path, in the order the file lists them, up to a bound a
    // damaged file cannot push past.
    std::vector<std::string> Entries() const;
    // The title the help project gave the file; empty when it has none.
    std::string Title() const;

    static constexpr std::chrono::milliseconds kReadTimeout{10000};
    // Help files are small; a single object or a whole manual claiming
    // more is damaged.
    static constexpr std::size_t kObjectMax = 64u * 1024u * 1024u;
    static constexpr std::size_t kManualMax = 256u * 1024u * 1024u;

private:
    bool m_open = false;
    std::vector<std::string> m_entries;
    std::unordered_map<std::string, QByteArray> m_objects;  // by lower-case path
};
