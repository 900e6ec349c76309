#include "download/DownloadListStore.h"

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
    std::string text = std::string(kHeader) + "\n";
    for (const DownloadRecord& r : records) {
        const std::string fields[kFields] = {StateName(r.state),
                                             std::to_string(r.nSlot),
                                             std::to_string(r.nReceived),
                                             std::to_string(r.validators.nLength),
                                             Escape(r.strUrl),
                                             Escape(r.strFileName),
                                             Escape(r.strSize),
                                             Escape(r.validators.strETag),
                                             Escape(r.validators.strLastModified),
                                             Escape(r.strStatus)};
        for (std::size_t i = 0; i < kFields; ++i)
            text += fields[i] + (i + 1 < kFields ? "\t" : "");
        for (const std::string& url : r.otherSources) {
            text += '\t';
            text += Escape(url);
        }
        text += "\n";
    }
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

bool WriteList(const std::string& path, const std::vector<DownloadRecord>& records)
{
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    return platform::WriteFileAtomically(path, SerializeDownloadList(records));
}

}  // namespace

// The list waiting to be written and whether a writer thread runs; shared
// with that thread, which ends when nothing is pending.
struct DownloadListStore::Writer {
    std::mutex mutex;
    std::condition_variable idle;
    std::optional<std::vector<DownloadRecord>> pending;
    bool running = false;
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
            WriteList(path, records);
            lock.lock();
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
    return WriteList(m_strPath, records);
}
