#include "settings/ChmFile.h"

#include <chm_lib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// Help files are small; anything claiming more is damaged.
constexpr LONGUINT64 kObjectMax = 64u * 1024u * 1024u;

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

}  // namespace

CChmFile::~CChmFile()
{
    Close();
}

bool CChmFile::Open(const std::string& path)
{
    Close();
    if (!HeadersAreSane(path))
        return false;
    m_file = chm_open(path.c_str());
    if (m_file != nullptr && !CompressedBlocksAreSane(m_file))
        Close();
    return m_file != nullptr;
}

void CChmFile::Close()
{
    if (m_file != nullptr)
        chm_close(m_file);
    m_file = nullptr;
}

std::optional<QByteArray> CChmFile::Read(const std::string& objectPath) const
{
    if (m_file == nullptr)
        return std::nullopt;
    chmUnitInfo info{};
    if (chm_resolve_object(m_file, objectPath.c_str(), &info) != CHM_RESOLVE_SUCCESS || info.length > kObjectMax)
        return std::nullopt;
    QByteArray bytes(static_cast<qsizetype>(info.length), Qt::Uninitialized);
    const LONGUINT64 read = chm_retrieve_object(m_file, &info, reinterpret_cast<unsigned char*>(bytes.data()), 0,
                                                static_cast<LONGINT64>(info.length));
    if (read != info.length)
        return std::nullopt;
    return bytes;
}

std::vector<std::string> CChmFile::Entries() const
{
    std::vector<std::string> entries;
    if (m_file != nullptr)
        chm_enumerate(m_file, CHM_ENUMERATE_ALL, &CollectEntry, &entries);
    return entries;
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
