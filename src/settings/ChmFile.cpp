#include "settings/ChmFile.h"

#include <chm_lib.h>

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

}  // namespace

CChmFile::~CChmFile()
{
    Close();
}

bool CChmFile::Open(const std::string& path)
{
    Close();
    m_file = chm_open(path.c_str());
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
