#include "settings/ChmFile.h"

#include <chm_lib.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A damaged directory can list entries without end; no manual has this many.
constexpr std::size_t kEntriesMax = 65536;

int CollectEntry(chmFile*, chmUnitInfo* info, void* context)
{
    auto* entries = static_cast<std::vector<std::string>*>(context);
    entries->emplace_back(info->path);
    return entries->size() < kEntriesMax ? CHM_ENUMERATOR_CONTINUE : CHM_ENUMERATOR_SUCCESS;
}

// chmlib allocates a buffer of the directory's block length as the file
// states it, before anything else is checked: a few damaged bytes would
// ask for gigabytes. Real manuals use blocks of 4 KiB.
constexpr std::uint32_t kDirectoryBlockMax = 64u * 1024u;
// No manual has more listing pages than this.
constexpr std::uint64_t kDirectoryPagesMax = 65536;

std::uint64_t LittleEndian(const unsigned char* bytes, int count)
{
    std::uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | bytes[i];
    return value;
}

// The file header ("ITSF") and the directory header ("ITSP") it points to
// hold what chmlib trusts when it opens the file; false when they do not
// describe a sane manual.
bool HeadersAreSane(const std::string& path)
{
    // Only a regular file: a FIFO would keep the open waiting.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    unsigned char head[0x58] = {};
    unsigned char dir[0x54] = {};
    bool sane = std::fread(head, 1, sizeof head, file) == sizeof head && std::memcmp(head, "ITSF", 4) == 0;
    if (sane) {
        const std::uint64_t dirOffset = LittleEndian(head + 0x48, 8);
        sane = dirOffset < (std::uint64_t{1} << 31) && std::fseek(file, static_cast<long>(dirOffset), SEEK_SET) == 0 &&
               std::fread(dir, 1, sizeof dir, file) == sizeof dir && std::memcmp(dir, "ITSP", 4) == 0;
    }
    if (sane) {
        const auto blockLength = static_cast<std::uint32_t>(LittleEndian(dir + 0x10, 4));
        sane = blockLength > 0 && blockLength <= kDirectoryBlockMax;
    }
    if (sane) {
        // The listing pages form a chain that chmlib follows to its end
        // without a bound: a chain that comes back on itself would never end.
        const std::uint64_t pagesAt = LittleEndian(head + 0x48, 8) + LittleEndian(dir + 0x08, 4);
        const std::uint64_t blockLength = LittleEndian(dir + 0x10, 4);
        const std::uint64_t blockCount = LittleEndian(dir + 0x28, 4);
        auto page = static_cast<std::int32_t>(LittleEndian(dir + 0x20, 4));
        for (std::uint64_t steps = 0; sane && page != -1; ++steps) {
            unsigned char pmgl[0x14] = {};
            const std::uint64_t at = pagesAt + static_cast<std::uint64_t>(page) * blockLength;
            if (page < 0 || steps > blockCount || steps > kDirectoryPagesMax || at >= (std::uint64_t{1} << 31) ||
                std::fseek(file, static_cast<long>(at), SEEK_SET) != 0 ||
                std::fread(pmgl, 1, sizeof pmgl, file) != sizeof pmgl) {
                sane = page >= 0 && steps <= blockCount && steps <= kDirectoryPagesMax && at < (std::uint64_t{1} << 31) &&
                       std::ferror(file) == 0 && std::feof(file) != 0;
                break;  // a page past the end of the file ends chmlib's walk too
            }
            if (std::memcmp(pmgl, "PMGL", 4) != 0)
                break;  // chmlib stops at the first page that is no listing
            page = static_cast<std::int32_t>(LittleEndian(pmgl + 0x10, 4));
        }
    }
    std::fclose(file);
    return sane;
}

// The compressed section's reset table: chmlib allocates blocks of the
// length it states (at byte 32, 64 bits) when it first reads compressed text.
constexpr const char* kResetTable =
    "::DataSpace/Storage/MSCompressed/Transform/{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}/InstanceData/ResetTable";
constexpr std::uint64_t kCompressedBlockMax = 1024u * 1024u;

bool CompressedBlocksAreSane(chmFile* file)
{
    chmUnitInfo info{};
    if (chm_resolve_object(file, kResetTable, &info) != CHM_RESOLVE_SUCCESS)
        return true;  // no compressed section: chmlib reads nothing compressed
    unsigned char table[40] = {};
    if (info.length < sizeof table ||
        chm_retrieve_object(file, &info, table, 0, static_cast<LONGINT64>(sizeof table)) != sizeof table)
        return false;
    const std::uint64_t blockLength = LittleEndian(table + 32, 8);
    return blockLength > 0 && blockLength <= kCompressedBlockMax;
}

// What the reading child sends, record by record: a kind byte, then for an
// entry a 32-bit path length and the path, for an object the same followed
// by a 64-bit length and the bytes, all little-endian; 'Z' closes a whole
// reading.
constexpr char kEntryRecord = 'E';
constexpr char kObjectRecord = 'O';
constexpr char kEndRecord = 'Z';

class PipeWriter {
public:
    explicit PipeWriter(int fd) : m_fd(fd) {}
    bool Bytes(const void* data, std::size_t size)
    {
        const auto* at = static_cast<const char*>(data);
        while (size > 0) {
            const ssize_t written = ::write(m_fd, at, size);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return false;
            at += written;
            size -= static_cast<std::size_t>(written);
        }
        return true;
    }
    bool Number(std::uint64_t value, int count)
    {
        unsigned char bytes[8];
        for (int i = 0; i < count; ++i)
            bytes[i] = static_cast<unsigned char>(value >> (8 * i));
        return Bytes(bytes, static_cast<std::size_t>(count));
    }
    bool Path(char kind, const std::string& path)
    {
        return Bytes(&kind, 1) && Number(path.size(), 4) && Bytes(path.data(), path.size());
    }

private:
    int m_fd;
};

// The child's whole work: open the manual with chmlib and send everything
// the help window can ask for. Returns the child's exit status.
int SendManual(const std::string& path, int fd)
{
    chmFile* file = chm_open(path.c_str());
    if (file == nullptr)
        return 2;
    if (!CompressedBlocksAreSane(file)) {
        chm_close(file);
        return 3;
    }
    std::vector<std::string> entries;
    chm_enumerate(file, CHM_ENUMERATE_ALL, &CollectEntry, &entries);
    PipeWriter out(fd);
    bool sent = true;
    for (const std::string& entry : entries)
        sent = sent && out.Path(kEntryRecord, entry);
    // The section's own bookkeeping ("::DataSpace/...") is nothing a page
    // refers to; folders hold no bytes.
    std::size_t total = 0;
    std::vector<unsigned char> buffer;
    for (const std::string& entry : entries) {
        if (!sent)
            break;
        if (entry.empty() || entry.front() != '/' || entry.back() == '/')
            continue;
        chmUnitInfo info{};
        if (chm_resolve_object(file, entry.c_str(), &info) != CHM_RESOLVE_SUCCESS || info.length > CChmFile::kObjectMax ||
            total + info.length > CChmFile::kManualMax)
            continue;
        buffer.resize(static_cast<std::size_t>(info.length));
        if (info.length > 0 &&
            static_cast<LONGUINT64>(chm_retrieve_object(file, &info, buffer.data(), 0,
                                                        static_cast<LONGINT64>(info.length))) != info.length)
            continue;
        total += buffer.size();
        sent = out.Path(kObjectRecord, entry) && out.Number(buffer.size(), 8) && out.Bytes(buffer.data(), buffer.size());
    }
    chm_close(file);
    const char end = kEndRecord;
    return sent && out.Bytes(&end, 1) ? 0 : 4;
}

// Reads what the child sends until it closes the pipe, the time is up or
// more comes than a manual may hold; true when it closed in time.
bool ReceiveAll(int fd, std::chrono::milliseconds timeout, std::string& received)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    char chunk[65536];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd ready{fd, POLLIN, 0};
        const int polled = ::poll(&ready, 1, static_cast<int>(left.count()));
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled <= 0)
            return false;
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        if (received.size() + static_cast<std::size_t>(got) > CChmFile::kManualMax + (std::size_t{16} << 20))
            return false;
        received.append(chunk, static_cast<std::size_t>(got));
    }
}

std::string LowerAscii(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

class RecordReader {
public:
    explicit RecordReader(const std::string& bytes) : m_bytes(bytes) {}
    bool AtEnd() const { return m_at == m_bytes.size(); }
    bool Kind(char& kind) { return Take(1) && (kind = m_bytes[m_at - 1], true); }
    bool Number(std::uint64_t& value, int count)
    {
        if (!Take(static_cast<std::size_t>(count)))
            return false;
        value = LittleEndian(reinterpret_cast<const unsigned char*>(m_bytes.data()) + m_at - count, count);
        return true;
    }
    bool Text(std::string& text, std::uint64_t size)
    {
        if (size > m_bytes.size() - m_at || !Take(static_cast<std::size_t>(size)))
            return false;
        text.assign(m_bytes, m_at - static_cast<std::size_t>(size), static_cast<std::size_t>(size));
        return true;
    }

private:
    bool Take(std::size_t size)
    {
        if (size > m_bytes.size() - m_at)
            return false;
        m_at += size;
        return true;
    }
    const std::string& m_bytes;
    std::size_t m_at = 0;
};

}  // namespace

CChmFile::~CChmFile()
{
    Close();
}

bool CChmFile::Open(const std::string& path, std::chrono::milliseconds timeout)
{
    Close();
    // The headers are looked at here first: most damaged files end there,
    // without a process.
    if (!HeadersAreSane(path))
        return false;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    if (child == 0) {
        // A child that chmlib crashes just ends: no crash handler of the
        // program's, no core file.
        for (const int deadly : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
            std::signal(deadly, SIG_DFL);
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
        ::close(fds[0]);
        ::_exit(SendManual(path, fds[1]));
    }
    ::close(fds[1]);
    std::string received;
    const bool closed = ReceiveAll(fds[0], timeout, received);
    ::close(fds[0]);
    if (!closed)
        ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!closed || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return false;

    RecordReader records(received);
    char kind = 0;
    while (records.Kind(kind)) {
        std::uint64_t size = 0;
        std::string entry;
        if (kind == kEndRecord) {
            m_open = records.AtEnd();
            break;
        }
        if ((kind != kEntryRecord && kind != kObjectRecord) || !records.Number(size, 4) || !records.Text(entry, size))
            break;
        if (kind == kEntryRecord) {
            m_entries.push_back(std::move(entry));
            continue;
        }
        std::string bytes;
        if (!records.Number(size, 8) || size > kObjectMax || !records.Text(bytes, size))
            break;
        m_objects.insert_or_assign(LowerAscii(std::move(entry)), QByteArray::fromStdString(bytes));
    }
    if (!m_open)
        Close();
    return m_open;
}

void CChmFile::Close()
{
    m_open = false;
    m_entries.clear();
    m_objects.clear();
}

std::optional<QByteArray> CChmFile::Read(const std::string& objectPath) const
{
    const auto found = m_objects.find(LowerAscii(objectPath));
    if (found == m_objects.end())
        return std::nullopt;
    return found->second;
}

std::vector<std::string> CChmFile::Entries() const
{
    return m_entries;
}

std::string CChmFile::Title() const
{
    // "/#SYSTEM" is a version number followed by records of a 16-bit code, a
    // 16-bit length and the data; code 3 holds the title.
    const auto system = Read("/#SYSTEM");
    if (!system)
        return {};
    const auto byteAt = [&](qsizetype i) { return static_cast<unsigned>(static_cast<unsigned char>(system->at(i))); };
    qsizetype pos = 4;
    while (pos + 4 <= system->size()) {
        const unsigned code = byteAt(pos) | byteAt(pos + 1) << 8;
        const qsizetype length = byteAt(pos + 2) | byteAt(pos + 3) << 8;
        pos += 4;
        if (pos + length > system->size())
            break;
        if (code == 3) {
            const QByteArray data = system->mid(pos, length);
            const qsizetype end = data.indexOf('\0');
            return (end < 0 ? data : data.left(end)).toStdString();
        }
        pos += length;
    }
    return {};
}
