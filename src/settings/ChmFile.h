#pragma once

#include <QByteArray>

#include <optional>
#include <string>
#include <vector>

struct chmFile;

// A compiled help file (.chm) opened for reading through chmlib. Paths inside
// the file start with '/' ("/index.html").
class CChmFile final {
public:
    CChmFile() = default;
    ~CChmFile();
    CChmFile(const CChmFile&) = delete;
    CChmFile& operator=(const CChmFile&) = delete;

    // Opens `path`; false when it is missing or no help file.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return m_file != nullptr; }

    // The bytes of the object at `objectPath`; nothing when it is not there.
    std::optional<QByteArray> Read(const std::string& objectPath) const;
    // Every object's path, in the order the file lists them, up to a bound a
    // damaged file cannot push past.
    std::vector<std::string> Entries() const;
    // The title the help project gave the file; empty when it has none.
    std::string Title() const;

private:
    chmFile* m_file = nullptr;
};
