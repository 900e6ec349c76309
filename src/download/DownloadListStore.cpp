#include "download/DownloadListStore.h"

#include "download/DownloadItem.h"

#include "platform/Files.h"
#include "platform/PercentEncoding.h"
#include "platform/WorkerThreads.h"

#include <charconv>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

constexpr const char* kHeader = "Tunorva download list 1";
constexpr const char* kEnd = "end";
// A row's fields; the file's other addresses, when it has any, follow as
// one field each.
constexpr std::size_t kFields = 10;
// A list longer than the slot table was never written by us.
constexpr std::size_t kMaxRecords = 500;
// A size text or a validator longer than this (escaped) is not kept; a
// failure text is cut to this many bytes.
constexpr std::size_t kMaxFieldBytes = 1024;
// A row without its other addresses, at its longest: three numbers and a
// state, its own address (each byte escaped at worst), the name and the
// short fields, the failure text escaped, the tabs and the line's end.
constexpr std::size_t kMaxRowBytes =
    3 * 20 + 8 + 3 * kMaxAddressBytes + 4 * kMaxFieldBytes + 3 * kMaxFieldBytes + kFields;
// So every list written is one that is read back: the rows fit whatever
// they hold, and other addresses take only the room left.
static_assert(kMaxRecords * kMaxRowBytes + 64 < DownloadListStore::kMaxDownloadListBytes);

// Tabs, line breaks and '%' in a field are written as %XX.
std::string Escape(const std::string& text)
{
    return platform::PercentEncode(text, [](unsigned char byte) {
        return byte != '\t' && byte != '\n' && byte != '\r' && byte != '%';
    });
}

bool Unescape(const std::string& text, std::string& out)
{
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        unsigned value = 0;
        if (i + 2 >= text.size())
            return false;
        const auto [end, error] = std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16);
        if (error != std::errc{} || end != text.data() + i + 3)
            return false;
        out += static_cast<char>(value);
        i += 2;
    }
    return true;
}

template <typename T>
bool Number(const std::string& text, T& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc{} && end == text.data() + text.size();
}

const char* StateName(DownloadRecord::State state)
{
    switch (state) {
    case DownloadRecord::State::Queued: return "queued";
    case DownloadRecord::State::Paused: return "paused";
    case DownloadRecord::State::Failed: return "failed";
    default: return "running";
    }
}

bool ParseState(const std::string& text, DownloadRecord::State& state)
{
    for (const auto candidate : {DownloadRecord::State::Running, DownloadRecord::State::Queued,
                                 DownloadRecord::State::Paused, DownloadRecord::State::Failed}) {
        if (text == StateName(candidate)) {
            state = candidate;
            return true;
        }
    }
    return false;
}

// Escaped, or nothing when that is longer than a field may be.
std::string Bounded(const std::string& text)
{
    std::string escaped = Escape(text);
    return escaped.size() <= kMaxFieldBytes ? escaped : std::string();
}

// The text's first kMaxFieldBytes bytes, cut before a character that would
// not fit whole.
std::string Cut(const std::string& text)
{
    if (text.size() <= kMaxFieldBytes)
        return text;
    std::size_t end = kMaxFieldBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

std::vector<std::string> Split(const std::string& line)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', start)) {
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

}  // namespace

std::string DownloadListStore::DefaultPath()
{
    const char* data = std::getenv("XDG_DATA_HOME");
    std::string folder;
    if (data != nullptr && data[0] == '/') {
        folder = data;
    } else {
        const char* home = std::getenv("HOME");
        folder = std::string(home != nullptr ? home : "") + "/.local/share";
    }
    return folder + "/Tunorva/downloads.list";
}

std::string SerializeDownloadList(const std::vector<DownloadRecord>& records)
{
    // The rows first, each bounded; a row whose address or name no download
    // could use is not kept.
    std::vector<std::string> lines;
    std::vector<const DownloadRecord*> kept;
    std::size_t total = std::char_traits<char>::length(kHeader) + std::char_traits<char>::length(kEnd) + 2;
    for (const DownloadRecord& r : records) {
        const std::string name = Escape(r.strFileName);
        if (lines.size() == kMaxRecords || r.strUrl.empty() || r.strUrl.size() > kMaxAddressBytes ||
            name.size() > kMaxFieldBytes)
            continue;
        const std::string fields[kFields] = {StateName(r.state),
                                             std::to_string(r.nSlot),
                                             std::to_string(r.nReceived),
                                             std::to_string(r.validators.nLength),
                                             Escape(r.strUrl),
                                             name,
                                             Bounded(r.strSize),
                                             Bounded(r.validators.strETag),
                                             Bounded(r.validators.strLastModified),
                                             Escape(Cut(r.strStatus))};
        std::string line;
        for (std::size_t i = 0; i < kFields; ++i)
            line += fields[i] + (i + 1 < kFields ? "\t" : "");
        total += line.size() + 1;
        lines.push_back(std::move(line));
        kept.push_back(&r);
    }
    // Then each row's other addresses, as many as the row keeps and the
    // list has room for, the first rows first.
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::vector<std::string> others = kept[i]->otherSources;
        BoundOtherSources(others);
        for (const std::string& url : others) {
            const std::string escaped = Escape(url);
            if (total + escaped.size() + 1 > DownloadListStore::kMaxDownloadListBytes)
                break;
            lines[i] += '\t';
            lines[i] += escaped;
            total += escaped.size() + 1;
        }
    }
    std::string text;
    text.reserve(total);
    text += std::string(kHeader) + "\n";
    for (const std::string& line : lines)
        text += line + "\n";
    // The last line says the list was written to its end.
    return text + kEnd + "\n";
}

bool ParseDownloadList(const std::string& text, std::vector<DownloadRecord>& records)
{
    records.clear();
    std::size_t start = 0;
    bool header = true;
    bool ended = false;
    while (start < text.size()) {
        const std::size_t newline = text.find('\n', start);
        if (newline == std::string::npos || ended)
            return false;
        const std::string line = text.substr(start, newline - start);
        start = newline + 1;
        if (header) {
            if (line != kHeader)
                return false;
            header = false;
            continue;
        }
        if (line == kEnd) {
            ended = true;
            continue;
        }
        const std::vector<std::string> f = Split(line);
        DownloadRecord r;
        if (f.size() < kFields || records.size() >= kMaxRecords || !ParseState(f[0], r.state) || !Number(f[1], r.nSlot) ||
            !Number(f[2], r.nReceived) || !Number(f[3], r.validators.nLength) || !Unescape(f[4], r.strUrl) ||
            !Unescape(f[5], r.strFileName) || !Unescape(f[6], r.strSize) || !Unescape(f[7], r.validators.strETag) ||
            !Unescape(f[8], r.validators.strLastModified) || !Unescape(f[9], r.strStatus) || r.strUrl.empty())
            return false;
        for (std::size_t i = kFields; i < f.size(); ++i) {
            std::string url;
            if (!Unescape(f[i], url) || url.empty())
                return false;
            r.otherSources.push_back(std::move(url));
        }
        r.validators.strUrl = r.strUrl;
        // A list from before the bound keeps what a new one would.
        BoundOtherSources(r.otherSources);
        records.push_back(std::move(r));
    }
    return ended;
}

DownloadListStore::LoadResult DownloadListStore::Load(std::vector<DownloadRecord>& records, std::string* setAside) const
{
    records.clear();
    std::error_code ec;
    // A FIFO or a link to a device in the list's place must not hold up the
    // window's start; it is set aside like any list that cannot be read.
    platform::SmallFileState state = platform::SmallFileState::Read;
    const auto text = platform::ReadSmallRegularFile(m_strPath, kMaxDownloadListBytes, &state);
    if (state == platform::SmallFileState::Missing)
        return LoadResult::Missing;
    if (text && ParseDownloadList(*text, records))
        return LoadResult::Loaded;
    records.clear();
    std::string bad = m_strPath + ".bad";
    for (int n = 2; std::filesystem::exists(bad, ec) && n < 1000; ++n)
        bad = m_strPath + ".bad." + std::to_string(n);
    std::filesystem::rename(m_strPath, bad, ec);
    if (setAside != nullptr)
        *setAside = ec ? m_strPath : bad;
    return LoadResult::Damaged;
}

namespace {

bool WriteList(const std::string& path, const std::string& text)
{
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    return platform::WriteFileAtomically(path, text);
}

}  // namespace

// The list waiting to be written and whether a writer thread runs; shared
// with that thread, which ends when nothing is pending.
struct DownloadListStore::Writer {
    std::mutex mutex;
    std::condition_variable idle;
    std::optional<std::vector<DownloadRecord>> pending;
    bool running = false;
    // The last list this store wrote: the same list again is not written.
    // Only the one writer thread running touches it.
    std::string lastWritten;
    std::uint64_t bytesWritten = 0;
};

DownloadListStore::DownloadListStore(std::string path)
    : m_strPath(std::move(path)), m_pWriter(std::make_shared<Writer>())
{
}

DownloadListStore::~DownloadListStore()
{
    Flush();
}

void DownloadListStore::SaveInBackground(std::vector<DownloadRecord> records)
{
    {
        std::lock_guard lock(m_pWriter->mutex);
        m_pWriter->pending = std::move(records);
        if (m_pWriter->running)
            return;  // the running writer takes it after the list it writes
        m_pWriter->running = true;
    }
    const auto work = [writer = m_pWriter, path = m_strPath]() -> unsigned {
        std::unique_lock lock(writer->mutex);
        while (writer->pending) {
            const std::vector<DownloadRecord> records = std::move(*writer->pending);
            writer->pending.reset();
            lock.unlock();
            std::string text = SerializeDownloadList(records);
            std::size_t written = 0;
            if (text != writer->lastWritten && WriteList(path, text)) {
                written = text.size();
                writer->lastWritten = std::move(text);
            }
            lock.lock();
            writer->bytesWritten += written;
        }
        writer->running = false;
        writer->idle.notify_all();
        return 0;
    };
    if (platform::AfxBeginThread(work))
        return;
    work();  // no thread: written here and now
}

bool DownloadListStore::Flush(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_pWriter->mutex);
    return m_pWriter->idle.wait_for(lock, timeout, [&] { return !m_pWriter->running; });
}

bool DownloadListStore::Save(const std::vector<DownloadRecord>& records) const
{
    return WriteList(m_strPath, SerializeDownloadList(records));
}

std::uint64_t DownloadListStore::BytesWritten() const
{
    std::lock_guard lock(m_pWriter->mutex);
    return m_pWriter->bytesWritten;
}
