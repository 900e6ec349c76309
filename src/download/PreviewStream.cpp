#include "download/PreviewStream.h"

#include "download/ResumeState.h"
#include "platform/CRuntime.h"
#include "platform/Http.h"
#include "platform/Url.h"
#include "platform/WorkerThreads.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"
#include "settings/LanguagePack.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <string_view>
#include <utility>

namespace {

// How much of the first bytes the look for a web page or JSON gets.
constexpr std::size_t kHeadLook = 1024;
// What one read from the transfer takes at most.
constexpr std::size_t kReadChunk = 64u << 10;
// The error a body cut short reports when the transfer itself saw none
// (libcurl's CURLE_PARTIAL_FILE), and the one of a stall (CURLE_OPERATION_TIMEDOUT).
constexpr int kBodyCutShort = 18;
constexpr int kStalled = 28;
// How often a waiting worker looks whether it has been stopped.
constexpr auto kStopCheck = std::chrono::milliseconds(100);

// A 206's Content-Range. Some servers state the range as asked even where
// the file ends before it ("bytes 0-65535/16578"); the range is then read
// as ending with the file.
std::optional<ContentRange> AnsweredRange(const std::string& value)
{
    std::string text = value;
    const std::size_t dash = text.find('-');
    const std::size_t slash = text.find('/');
    if (dash != std::string::npos && slash != std::string::npos && dash < slash) {
        const auto last = platform::ParseContentLength(text.substr(dash + 1, slash - dash - 1));
        const auto total = platform::ParseContentLength(text.substr(slash + 1));
        if (last && total && *total > 0 && *last >= *total)
            text = text.substr(0, dash + 1) + std::to_string(*total - 1) + text.substr(slash);
    }
    return ParseContentRange(text);
}

}  // namespace

struct PreviewStream::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    std::stop_source stop;

    std::string buffer;        // fetched bytes the reader has not taken, from bufferPos on
    std::size_t bufferPos = 0;
    std::uint64_t readPos = 0;  // the file offset of buffer[bufferPos]
    // Where the reader jumped to beyond the bytes fetched; the worker's
    // request under way brings bytes from before it, which are dropped.
    std::optional<std::uint64_t> skipTo;
    // The last time the stream brought the reader kStallBytes, or had that
    // many waiting for it; and `received` then.
    std::chrono::steady_clock::time_point progressTime = std::chrono::steady_clock::now();
    std::uint64_t progressMark = 0;
    bool checked = false;      // the first bytes were looked at and may go to the reader
    std::string head;          // the first bytes, until they are checked
    bool ended = false;        // every byte of the file has been fetched
    PreviewError error;
    std::optional<std::uint64_t> size;
    std::uint64_t received = 0;
    int requests = 0;

    std::size_t Buffered() const { return buffer.size() - bufferPos; }
    bool Stopped() const { return stop.stop_requested() || platform::IsShuttingDown(); }

    // The worker's side; each takes the lock itself.
    void Append(const char* data, std::size_t n);
    void CheckHead(bool final);
    void Fail(PreviewFailure kind, int code, std::string detail = {});
    void End();
    // The jump the reader asked for, once: the worker goes on from there.
    std::optional<std::uint64_t> TakeSkip();
    bool SkipPending()
    {
        std::lock_guard lock(mutex);
        return skipTo.has_value();
    }
    // Waits until the reader has left room in the read-ahead; 0 when stopped
    // or failed.
    std::size_t WaitForRoom(std::size_t readAhead);
};

void PreviewStream::Shared::Append(const char* data, std::size_t n)
{
    bool look = false;
    {
        std::lock_guard lock(mutex);
        received += n;
        if (skipTo)
            return;  // from before the reader's jump
        if (bufferPos > 0 && bufferPos * 2 >= buffer.size()) {
            buffer.erase(0, bufferPos);
            bufferPos = 0;
        }
        buffer.append(data, n);
        if (!checked && head.size() < kHeadLook) {
            head.append(data, std::min(n, kHeadLook - head.size()));
            look = head.size() >= kHeadLook;
        }
    }
    if (look)
        CheckHead(false);
    changed.notify_all();
}

// A web page or JSON shows from its first characters; `final`: the file has
// no more bytes than these.
void PreviewStream::Shared::CheckHead(bool final)
{
    std::unique_lock lock(mutex);
    if (checked || error.kind != PreviewFailure::None)
        return;
    if (head.size() < kHeadLook && !final)
        return;
    ContentKind kind = head.empty() ? ContentKind::Empty : EarlyContentKind(head);
    if (kind == ContentKind::Mp3) {
        checked = true;
        head.clear();
        head.shrink_to_fit();
    } else {
        error = PreviewError{PreviewFailure::NotMp3, 0, kind, {}};
        buffer.clear();
        bufferPos = 0;
    }
    lock.unlock();
    changed.notify_all();
}

void PreviewStream::Shared::Fail(PreviewFailure kind, int code, std::string detail)
{
    {
        std::lock_guard lock(mutex);
        if (error.kind == PreviewFailure::None)
            error = PreviewError{kind, code, ContentKind::Mp3, std::move(detail)};
    }
    changed.notify_all();
}

void PreviewStream::Shared::End()
{
    CheckHead(true);
    {
        std::lock_guard lock(mutex);
        ended = true;
    }
    changed.notify_all();
}

std::optional<std::uint64_t> PreviewStream::Shared::TakeSkip()
{
    std::lock_guard lock(mutex);
    return std::exchange(skipTo, std::nullopt);
}

std::size_t PreviewStream::Shared::WaitForRoom(std::size_t readAhead)
{
    std::unique_lock lock(mutex);
    while (!Stopped() && error.kind == PreviewFailure::None) {
        if (Buffered() < readAhead)
            return readAhead - Buffered();
        changed.wait_for(lock, kStopCheck);
    }
    return 0;
}

namespace {

// The worker: range requests one after the other over one kept connection,
// each for no more than the room the reader has left.
class Fetcher {
public:
    Fetcher(std::shared_ptr<PreviewStream::Shared> shared, platform::ParsedUrl url, PreviewStream::Options options)
        : m_shared(std::move(shared)), m_url(std::move(url)), m_options(options)
    {
    }

    void Run()
    {
        platform::HttpConnections connections;
        m_connections = &connections;
        std::uint64_t offset = 0;
        while (!m_shared->Stopped()) {
            if (m_size && offset >= *m_size) {
                m_shared->End();
                return;
            }
            const std::size_t room = m_shared->WaitForRoom(m_options.readAhead);
            if (room == 0)
                return;
            if (const auto to = m_shared->TakeSkip()) {
                offset = *to;  // the reader jumped while the read-ahead was full
                continue;
            }
            std::uint64_t want = std::min<std::uint64_t>(room, offset == 0 ? m_options.firstPiece : m_options.piece);
            if (m_size)
                want = std::min(want, *m_size - offset);
            const std::optional<std::uint64_t> got = FetchPiece(offset, want);
            if (const auto to = m_shared->TakeSkip()) {
                offset = *to;  // the reader jumped: this piece's bytes are of no use
                continue;
            }
            if (!got)
                return;  // failed, stopped or ended
            offset += *got;
            // A server that states no length ends the file with a short piece.
            if (*got < want && !m_size) {
                m_shared->End();
                return;
            }
        }
    }

private:
    std::unique_ptr<platform::HttpFile> Open(std::uint64_t from, std::uint64_t count)
    {
        platform::HttpRequestOptions options;
        options.headers = {"User-Agent: " + LoadBuiltinString(AFX_IDS_APP_TITLE), "Accept: */*",
                           "Accept-Encoding: identity",
                           "Range: bytes=" + std::to_string(from) + "-" + std::to_string(from + count - 1)};
        options.useTls = m_url.service == platform::AFX_INET_SERVICE_HTTPS;
        options.followRedirects = true;
        // What began over TLS is not fetched in the clear, as downloads are not.
        options.refuseHttpsToHttp = true;
        options.useSystemProxy = true;
        options.stallTimeoutMs = m_options.stallTimeoutMs;
        options.connectTimeoutMs = m_options.stallTimeoutMs;
        options.connections = m_connections;
        options.stopToken = m_shared->stop.get_token();
        return std::make_unique<platform::HttpFile>(m_url.server, m_url.port, m_url.object, std::move(options));
    }

    void SetSize(std::uint64_t size)
    {
        m_size = size;
        std::lock_guard lock(m_shared->mutex);
        m_shared->size = size;
    }

    // One request for `count` bytes from `from`: the bytes it delivered, or
    // nothing when the stream has ended, failed or been stopped.
    std::optional<std::uint64_t> FetchPiece(std::uint64_t from, std::uint64_t count)
    {
        std::unique_ptr<platform::HttpFile> file = Open(from, count);
        {
            std::lock_guard lock(m_shared->mutex);
            ++m_shared->requests;
        }
        if (!file->SendRequest()) {
            if (file->RedirectedToHttp())
                m_shared->Fail(PreviewFailure::InsecureRedirect, file->ErrorCode(), file->ErrorText());
            else if (!m_shared->Stopped())
                m_shared->Fail(from == 0 ? PreviewFailure::NoConnection : PreviewFailure::ConnectionLost,
                               file->ErrorCode(), file->ErrorText());
            return std::nullopt;
        }
        const int status = file->StatusCode();
        if (status == 206) {
            const auto range = AnsweredRange(file->QueryInfo("Content-Range").value_or(""));
            if (!range || range->nFirst != from) {
                m_shared->Fail(PreviewFailure::ServerError, status);
                return std::nullopt;
            }
            if (range->nTotal != 0)
                SetSize(range->nTotal);
            return ReadBody(*file, range->nLast - range->nFirst + 1, 0);
        }
        if (status == 200) {
            // The server ignores ranges: this one answer carries the whole
            // file, read as far as the reader goes; the bytes already taken
            // are skipped.
            if (const auto length = platform::ParseContentLength(file->QueryInfo("Content-Length").value_or("")))
                SetSize(*length);
            if (!ReadBody(*file, UINT64_MAX, from))
                return std::nullopt;
            m_shared->End();
            return std::nullopt;
        }
        if (status == 416 && (from > 0 || !m_size)) {
            // Nothing at or after `from`: the file ends there (or is empty).
            m_shared->End();
            return std::nullopt;
        }
        m_shared->Fail(PreviewFailure::ServerError, status);
        return std::nullopt;
    }

    // Reads up to `count` bytes of the body after skipping `skip`, pausing
    // while the read-ahead is full. The bytes read; nothing after a failure,
    // a stop, or a jump of the reader's.
    std::optional<std::uint64_t> ReadBody(platform::HttpFile& file, std::uint64_t count, std::uint64_t skip)
    {
        std::string chunk(kReadChunk, '\0');
        std::uint64_t got = 0;
        while (got < count) {
            std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), count - got));
            if (skip > 0) {
                want = static_cast<std::size_t>(std::min<std::uint64_t>(want, skip));
            } else {
                const std::size_t room = m_shared->WaitForRoom(m_options.readAhead);
                if (room == 0)
                    return std::nullopt;
                want = std::min(want, room);
            }
            if (m_shared->SkipPending())
                return std::nullopt;
            const std::size_t n = file.ReadSome(chunk.data(), want);
            if (n == 0)
                break;
            if (skip > 0) {
                skip -= n;
                continue;
            }
            m_shared->Append(chunk.data(), n);
            got += n;
        }
        if (m_shared->Stopped() || m_shared->SkipPending())
            return std::nullopt;
        // A body cut short ends with an error; one of no stated length ends
        // with the connection and is taken as whole.
        if (file.Failed() || skip > 0 || (count != UINT64_MAX && got < count && m_size)) {
            m_shared->Fail(PreviewFailure::ConnectionLost, file.ErrorCode() != 0 ? file.ErrorCode() : kBodyCutShort,
                           file.ErrorText());
            return std::nullopt;
        }
        return got;
    }

    std::shared_ptr<PreviewStream::Shared> m_shared;
    platform::ParsedUrl m_url;
    PreviewStream::Options m_options;
    platform::HttpConnections* m_connections = nullptr;
    std::optional<std::uint64_t> m_size;
};

}  // namespace

std::string PreviewErrorText(const PreviewError& error)
{
    const std::string code = std::to_string(error.code);
    switch (error.kind) {
    case PreviewFailure::None: return {};
    case PreviewFailure::BadUrl: return AfxFormatString1(LoadLanguageString(IDS_BAD_DOWNLOAD_URL), error.detail);
    case PreviewFailure::NoConnection: return AfxFormatString1(LoadLanguageString(IDS_CONNECT_ERROR), code);
    case PreviewFailure::ServerError: return AfxFormatString1(LoadLanguageString(IDS_SERVER_ANSWERED), code);
    case PreviewFailure::NotMp3: return LoadLanguageString(ContentKindTextId(error.content));
    case PreviewFailure::ConnectionLost: return AfxFormatString1(LoadLanguageString(IDS_PREVIEW_CONNECTION_LOST), code);
    case PreviewFailure::InsecureRedirect: return LoadLanguageString(IDS_HTTPS_TO_HTTP);
    }
    return {};
}

PreviewStream::PreviewStream(std::string url)
    : PreviewStream(std::move(url), Options{})
{
}

PreviewStream::PreviewStream(std::string url, Options options)
    : m_shared(std::make_shared<Shared>()), m_url(std::move(url)), m_options(options)
{
    m_options.readAhead = std::max<std::size_t>(m_options.readAhead, 1);
    m_options.firstPiece = std::max<std::size_t>(m_options.firstPiece, 1);
    m_options.piece = std::max<std::size_t>(m_options.piece, 1);
}

PreviewStream::~PreviewStream()
{
    m_shared->stop.request_stop();
    m_shared->changed.notify_all();
}

bool PreviewStream::Start()
{
    std::string url = m_url;
    platform::ParsedUrl parsed;
    if (!platform::ParseUrlAssumingHttp(url, parsed.service, parsed.server, parsed.object, parsed.port) ||
        !platform::IsHttpService(parsed.service)) {
        m_shared->Fail(PreviewFailure::BadUrl, 0, m_url);
        return false;
    }
    auto fetcher = std::make_shared<Fetcher>(m_shared, std::move(parsed), m_options);
    if (!platform::AfxBeginThread([fetcher] {
            fetcher->Run();
            return 0u;
        })) {
        m_shared->Fail(PreviewFailure::NoConnection, 0);
        return false;
    }
    return true;
}

PreviewStream::State PreviewStream::Read(std::string& out, std::size_t size, std::chrono::milliseconds wait)
{
    Shared& s = *m_shared;
    std::unique_lock lock(s.mutex);
    const auto ready = [&s] {
        return (s.checked && s.Buffered() > 0) || s.ended || s.error.kind != PreviewFailure::None;
    };
    if (!ready() && wait.count() > 0)
        s.changed.wait_for(lock, wait, ready);
    if (s.checked && s.Buffered() > 0 && size > 0) {
        const std::size_t n = std::min(size, s.Buffered());
        out.append(s.buffer, s.bufferPos, n);
        s.bufferPos += n;
        s.readPos += n;
        lock.unlock();
        s.changed.notify_all();  // the worker may have room now
        return State::Data;
    }
    if (s.error.kind == PreviewFailure::None && !s.ended && Stalled(s)) {
        s.error = PreviewError{PreviewFailure::ConnectionLost, kStalled, ContentKind::Mp3, {}};
        s.stop.request_stop();  // the worker's request gives up
        lock.unlock();
        s.changed.notify_all();
        return State::Failed;
    }
    if (s.error.kind != PreviewFailure::None)
        return State::Failed;
    if (s.ended && s.Buffered() == 0)
        return State::End;
    return State::Waiting;
}

// Under the lock: whether the stream has brought the reader less than
// kStallBytes for the stall time-out while it had fewer than that waiting. A
// server that trickles its bytes never lets a request's own stall time-out
// fire; this ends it all the same.
bool PreviewStream::Stalled(Shared& s) const
{
    const auto now = std::chrono::steady_clock::now();
    if (s.received - s.progressMark >= kStallBytes || s.Buffered() >= kStallBytes) {
        s.progressMark = s.received;
        s.progressTime = now;
        return false;
    }
    return now - s.progressTime > std::chrono::milliseconds(m_options.stallTimeoutMs);
}

void PreviewStream::SkipTo(std::uint64_t offset)
{
    Shared& s = *m_shared;
    {
        std::lock_guard lock(s.mutex);
        if (offset <= s.readPos)
            return;
        const std::uint64_t fetchedEnd = s.readPos + s.Buffered();
        if (offset <= fetchedEnd) {
            s.bufferPos += static_cast<std::size_t>(offset - s.readPos);
        } else {
            s.buffer.clear();
            s.bufferPos = 0;
            // Past the end of a file fetched whole there is nothing to ask for.
            if (!s.ended)
                s.skipTo = offset;
        }
        s.readPos = offset;
        s.progressMark = s.received;
        s.progressTime = std::chrono::steady_clock::now();
    }
    s.changed.notify_all();
}

std::optional<std::uint64_t> PreviewStream::FileSize() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->size;
}

PreviewError PreviewStream::Error() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->error;
}

std::uint64_t PreviewStream::BytesReceived() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->received;
}

int PreviewStream::Requests() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->requests;
}
