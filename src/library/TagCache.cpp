// The cache file holds one line per file, fields separated by tabs:
//   size, modification time (ns), length (s), bitrate (kbps), path, title, artist, album
// Tabs, line breaks and backslashes inside texts are written as \t, \n, \\.
#include "library/TagCache.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr char kHeader[] = "Tunorva tag cache 1";
// A line longer than this is not one we wrote.
constexpr std::size_t kMaxLine = 64 * 1024;

void AppendEscaped(std::string& out, const std::string& text)
{
    for (const char c : text) {
        switch (c) {
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\\': out += "\\\\"; break;
        default: out += c;
        }
    }
}

std::optional<std::string> Unescape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            return std::nullopt;
        switch (text[i]) {
        case 't': out += '\t'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case '\\': out += '\\'; break;
        default: return std::nullopt;
        }
    }
    return out;
}

template <typename T>
bool ParseNumber(std::string_view text, T& value)
{
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end && !text.empty();
}

std::vector<std::string_view> SplitTabs(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos)
            return fields;
        start = tab + 1;
    }
}

// The cache file's lines, none longer than kMaxLine: a longer one is passed
// over without being held, so that a damaged file costs reading, not memory.
// Only a regular file is read (a FIFO there would stall the scan).
class LineReader {
public:
    explicit LineReader(const std::string& path)
        : m_fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY))
    {
        struct stat info {};
        if (m_fd >= 0 && (::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode))) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~LineReader()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // The next line that is not too long, without its '\n'; false at the end.
    bool Next(std::string& line)
    {
        line.clear();
        bool tooLong = false;
        for (;;) {
            if (m_pos == m_size && !Fill())
                return !line.empty() && !tooLong;  // a last line without '\n'
            const char* start = m_buffer + m_pos;
            const auto* newline = static_cast<const char*>(std::memchr(start, '\n', m_size - m_pos));
            const std::size_t take = newline != nullptr ? static_cast<std::size_t>(newline - start) : m_size - m_pos;
            if (!tooLong && line.size() + take <= kMaxLine)
                line.append(start, take);
            else
                tooLong = true;
            m_pos += take;
            if (newline == nullptr)
                continue;
            ++m_pos;
            if (!tooLong)
                return true;
            line.clear();
            tooLong = false;
        }
    }

private:
    bool Fill()
    {
        if (m_fd < 0)
            return false;
        ssize_t n = 0;
        do
            n = ::read(m_fd, m_buffer, sizeof m_buffer);
        while (n < 0 && errno == EINTR);
        m_pos = 0;
        m_size = n > 0 ? static_cast<std::size_t>(n) : 0;
        return m_size > 0;
    }

    int m_fd = -1;
    char m_buffer[64 * 1024];
    std::size_t m_pos = 0;
    std::size_t m_size = 0;
};

}  // namespace

TagCache::TagCache(std::string filePath) : m_filePath(std::move(filePath)) {}

void TagCache::Load()
{
    m_entries.clear();
    LineReader in(m_filePath);
    std::string line;
    if (!in.Next(line) || line != kHeader)
        return;
    while (m_entries.size() < kMaxEntries && in.Next(line)) {
        const std::vector<std::string_view> fields = SplitTabs(line);
        if (fields.size() != 8)
            continue;
        Entry entry;
        int length = 0;
        int bitrate = 0;
        if (!ParseNumber(fields[0], entry.size) || !ParseNumber(fields[1], entry.mtimeNs) ||
            !ParseNumber(fields[2], length) || !ParseNumber(fields[3], bitrate) || length < -1 || bitrate < -1)
            continue;
        auto path = Unescape(fields[4]);
        auto title = Unescape(fields[5]);
        auto artist = Unescape(fields[6]);
        auto album = Unescape(fields[7]);
        if (!path || path->empty() || !title || !artist || !album)
            continue;
        entry.tags = {std::move(*title), std::move(*artist), std::move(*album), length, bitrate};
        m_entries.insert_or_assign(std::move(*path), std::move(entry));
    }
}

bool TagCache::Save() const
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path target(m_filePath);
    fs::create_directories(target.parent_path(), ec);
    const fs::path fresh = target.string() + ".new";
    {
        std::ofstream out(fresh, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        std::string line;
        out << kHeader << '\n';
        for (const auto& [path, entry] : m_entries) {
            line = std::to_string(entry.size) + '\t' + std::to_string(entry.mtimeNs) + '\t' +
                   std::to_string(entry.tags.lengthSeconds) + '\t' + std::to_string(entry.tags.bitrateKbps) + '\t';
            AppendEscaped(line, path);
            for (const std::string* text : {&entry.tags.title, &entry.tags.artist, &entry.tags.album}) {
                line += '\t';
                AppendEscaped(line, *text);
            }
            line += '\n';
            out << line;
        }
        out.flush();
        if (!out) {
            out.close();
            fs::remove(fresh, ec);
            return false;
        }
    }
    fs::rename(fresh, target, ec);
    if (ec) {
        fs::remove(fresh, ec);
        return false;
    }
    return true;
}

std::optional<TrackTags> TagCache::Find(const std::string& path, std::uint64_t size, std::int64_t mtimeNs) const
{
    const auto it = m_entries.find(path);
    if (it == m_entries.end() || it->second.size != size || it->second.mtimeNs != mtimeNs)
        return std::nullopt;
    return it->second.tags;
}

void TagCache::Put(const std::string& path, std::uint64_t size, std::int64_t mtimeNs, const TrackTags& tags)
{
    if (m_entries.size() >= kMaxEntries && m_entries.find(path) == m_entries.end())
        return;
    m_entries.insert_or_assign(path, Entry{size, mtimeNs, tags});
}
