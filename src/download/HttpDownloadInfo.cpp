#include "download/HttpDownloadInfo.h"

#include "platform/CRuntime.h"
#include "platform/MessageBox.h"
#include "platform/Url.h"
#include "platform/WorkerThreads.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"
#include "settings/LanguagePack.h"

#include "platform/CaseInsensitive.h"

#include <algorithm>
#include <chrono>
#include <cctype>
#include <optional>
#include <utility>

namespace {

// HttpQueryInfoA answers into a 32-byte buffer; a longer value does not fit
// and counts as no answer.
constexpr std::size_t kQueryBufferSize = 32;

// The error code of a URL whose service the HTTP layer does not speak.
constexpr int kUnsupportedService = 1;
// A probe ends within this time, however slowly its server answers, so that
// slow or silent servers cannot hold the probe slots of a search for good.
constexpr int kProbeTimeoutMs = 30000;
// A body this short is read to its end, so that its connection can carry the
// next probe; a longer one (a server that sends the whole file) is abandoned
// and its connection closed.
constexpr std::size_t kDrainLimit = 64 * 1024;
// A server that ignores the range sends the whole file: a tag that ends
// within this many bytes is read past on the same connection to reach the
// audio behind it; a longer one leaves the audio unknown.
constexpr std::uint64_t kMaxSkippedTag = 1024 * 1024;

// A server that trickles its bytes keeps a probe slot no longer than this
// for the head: past it the file's size is still reported, its head not.
constexpr auto kHeadTime = std::chrono::seconds(3);

// Up to `size` bytes of the body; fewer when it ends or fails first, or when
// `deadline` passes.
std::string ReadBody(platform::HttpFile& file, std::size_t size, std::chrono::steady_clock::time_point deadline)
{
    std::string bytes(size, '\0');
    std::size_t got = 0;
    while (got < size && std::chrono::steady_clock::now() < deadline) {
        const std::size_t n = file.ReadSome(bytes.data() + got, size - got);
        if (n == 0)
            break;
        got += n;
    }
    bytes.resize(got);
    return bytes;
}

bool SkipBody(platform::HttpFile& file, std::uint64_t count, std::chrono::steady_clock::time_point deadline)
{
    char scratch[16 * 1024];
    while (count > 0 && std::chrono::steady_clock::now() < deadline) {
        const std::size_t n =
            file.ReadSome(scratch, static_cast<std::size_t>(std::min<std::uint64_t>(count, sizeof scratch)));
        if (n == 0)
            return false;
        count -= n;
    }
    return count == 0;
}

// The whole length a 206 answer states in "Content-Range: bytes 0-0/N", held
// to the same limits as a Content-Length; nothing when the answer does not
// state it (an unknown length "*" or a malformed value).
std::optional<std::uint64_t> TotalOfContentRange(const std::optional<std::string>& header)
{
    if (!header || header->size() < 6 || !platform::StartsWithNoCase(*header, "bytes "))
        return std::nullopt;
    const std::size_t slash = header->find('/');
    if (slash == std::string::npos)
        return std::nullopt;
    const std::string total = header->substr(slash + 1);
    if (total.empty() || total.size() >= kQueryBufferSize ||
        !std::all_of(total.begin(), total.end(), [](unsigned char c) { return std::isdigit(c) != 0; }))
        return std::nullopt;
    return platform::ParseContentLength(total);
}

}  // namespace

CHttpDownloadInfo::CHttpDownloadInfo(std::stop_token stopToken)
    : m_stopToken(std::move(stopToken))
{
}

CHttpDownloadInfo::~CHttpDownloadInfo()
{
    CloseHandles();
}

bool CHttpDownloadInfo::Start()
{
    if (!platform::ParseUrlAssumingHttp(m_strUrl, m_dwServiceType, m_strServer, m_strObject, m_nPort)) {
        CloseHandles();
        return true;
    }
    Probe();
    return true;
}

bool CHttpDownloadInfo::AbortRequested() const
{
    return m_bAbort || m_stopToken.stop_requested() || platform::IsShuttingDown();
}

void CHttpDownloadInfo::Probe()
{
    const auto aborted = [this] {
        if (!AbortRequested())
            return false;
        platform::Post(ProbeFinished{false}, m_stopToken);
        CloseHandles();
        return true;
    };

    platform::HttpRequestOptions options;
    options.headers = {"User-Agent: " + LoadBuiltinString(AFX_IDS_APP_TITLE), "Accept: */*",
                       "Accept-Encoding: identity"};
    // The file's first bytes: a 206 states the whole length, and its head
    // says what the file holds. A server without ranges answers as it would
    // a plain GET.
    options.headers.push_back("Range: bytes=0-" + std::to_string(Mp3Head::kBytes - 1));
    options.useTls = m_dwServiceType == platform::AFX_INET_SERVICE_HTTPS;
    options.followRedirects = true;
    options.refuseHttpsToHttp = true;
    options.useSystemProxy = true;
    options.observer = &m_status;
    options.stopToken = m_stopToken;
    // A probe holds one of a few slots: it ends in this time whatever the server does.
    options.totalTimeoutMs = kProbeTimeoutMs;
    options.connections = m_pConnections;
    // The same request without the range, for an answer that gives no size of
    // the whole file (see below); it tells no connection steps again.
    platform::HttpRequestOptions plainOptions = options;
    plainOptions.headers.pop_back();
    plainOptions.observer = nullptr;
    // A second range where a long tag ends tells no steps either.
    platform::HttpRequestOptions rangeOptions = options;
    rangeOptions.observer = nullptr;

    // Only http and https URLs can be opened; any other service fails where
    // the connection would have been made.
    if (!platform::IsHttpService(m_dwServiceType)) {
        if (aborted())
            return;
        Fail(IDS_CONNECT_ERROR, kUnsupportedService);
        return;
    }
    m_pFile = std::make_unique<platform::HttpFile>(m_strServer, m_nPort, m_strObject, std::move(options));
    if (m_pFile->ErrorCode() != 0) {
        Fail(IDS_DOWNLOAD_ERROR, m_pFile->ErrorCode());
        return;
    }
    if (aborted())
        return;
    if (!SendRequest()) {
        if (aborted())
            return;
        if (m_pFile->CertificateFailed()) {
            // The row says why the file cannot be had from this server.
            platform::Post(FileStatus{m_item.nItem, m_item.nSearchId,
                                      AfxFormatString1(LoadLanguageString(IDS_CERTIFICATE_FAILED), m_pFile->ErrorText()),
                                      false, IDS_CERTIFICATE_FAILED, m_pFile->ErrorText(), true},
                           m_stopToken);
        }
        if (m_pFile->RedirectedToHttp())
            platform::Post(FileStatus{m_item.nItem, m_item.nSearchId, LoadLanguageString(IDS_HTTPS_TO_HTTP), false,
                                      IDS_HTTPS_TO_HTTP, {}, true},
                           m_stopToken);
        Fail(IDS_CONNECT_ERROR, m_pFile->ErrorCode());
        return;
    }

    // A 206 states the whole length in its Content-Range; any other answer
    // that carries a length gives the file its size, as a plain GET would.
    std::optional<std::uint64_t> length;
    bool plainAnswer = true;
    if (m_pFile->StatusCode() == 206) {
        length = TotalOfContentRange(m_pFile->QueryInfo("Content-Range"));
        plainAnswer = false;
    }
    if (!length && (m_pFile->StatusCode() == 206 || m_pFile->StatusCode() == 416)) {
        // No whole length stated (or the file is empty and the range cannot
        // be had): ask once more as a plain GET and take what it says.
        if (m_pConnections != nullptr)
            m_pFile->DrainBody(kDrainLimit);
        m_pFile->Close();
        m_pFile = std::make_unique<platform::HttpFile>(m_strServer, m_nPort, m_strObject, std::move(plainOptions));
        if (aborted())
            return;
        if (!SendRequest()) {
            if (aborted())
                return;
            Fail(IDS_CONNECT_ERROR, m_pFile->ErrorCode());
            return;
        }
        plainAnswer = true;
    }

    // An error answer tells nothing of the file: its status shows, and the
    // length of its page is no file's size.
    const int status = m_pFile->StatusCode();
    if (status < 200 || status > 299) {
        if (m_pConnections != nullptr)
            m_pFile->DrainBody(kDrainLimit);
        platform::Post(FileStatus{m_item.nItem, m_item.nSearchId,
                                  AfxFormatString1(LoadLanguageString(IDS_SERVER_ANSWERED), std::to_string(status)),
                                  false, IDS_SERVER_ANSWERED, std::to_string(status), true},
                       m_stopToken);
        CloseHandles();
        return;
    }
    if (plainAnswer) {
        const auto header = m_pFile->QueryInfo("Content-Length");
        length = header && header->size() < kQueryBufferSize ? platform::ParseContentLength(*header) : std::nullopt;
    }
    // A plain answer without a length (a script that streams the file) has
    // no size to show, and a file without one does not count as available;
    // its head still tells what it holds.
    FileSizeProbed probed{m_item.nItem, m_item.nSearchId, length.value_or(0), {}, length.has_value()};
    probed.head = ReadHead(length, plainAnswer, rangeOptions);
    if (AbortRequested()) {
        aborted();
        return;
    }
    // Posted: the probe goes on to the next file while the window takes
    // these in its own time, in this order.
    const bool notMp3 = probed.head.notMp3;
    platform::Post(std::move(probed), m_stopToken);
    if (notMp3)
        platform::Post(FileStatus{m_item.nItem, m_item.nSearchId, LoadLanguageString(IDS_STATUS_NOT_MP3), false,
                                  IDS_STATUS_NOT_MP3, {}, true},
                       m_stopToken);
    else if (!length)
        platform::Post(FileStatus{m_item.nItem, m_item.nSearchId, LoadLanguageString(IDS_STATUS_SIZE_UNKNOWN), false,
                                  IDS_STATUS_SIZE_UNKNOWN, {}, true},
                       m_stopToken);
    else
        platform::Post(FileStatus{m_item.nItem, m_item.nSearchId, LoadBuiltinString(IDS_AVALIABLE), true, IDS_AVALIABLE,
                                  {}, true},
                       m_stopToken);
    CloseHandles();
}

// Reads the first Mp3Head::kBytes of the answer to the first request and,
// when an ID3v2 tag runs past them, the bytes where the tag ends: from the
// same body when the server sends the whole file, else with one more range
// request. A body longer than what is read is left unread, and its
// connection is closed with it rather than kept for the next probe.
// `knownSize`: the file's length, when the answer stated one.
Mp3Head CHttpDownloadInfo::ReadHead(std::optional<std::uint64_t> knownSize, bool wholeBody,
                                    platform::HttpRequestOptions rangeOptions)
{
    std::uint64_t size = knownSize.value_or(UINT64_MAX);
    const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size, Mp3Head::kBytes));
    const auto deadline = std::chrono::steady_clock::now() + kHeadTime;
    std::string head = ReadBody(*m_pFile, wanted, deadline);
    m_nBytesRead += head.size();
    if (head.size() < wanted) {
        // Cut short, nothing sure can be said; but a body of no stated length
        // that ended cleanly was the whole file.
        if (knownSize || m_pFile->Failed() || std::chrono::steady_clock::now() >= deadline)
            return {};
        size = head.size();
    }
    std::string afterTag;
    const std::uint64_t tagEnd = Mp3Head::TagEnd(head);
    if (tagEnd > head.size() && tagEnd < size && !AbortRequested()) {
        const auto more = static_cast<std::size_t>(std::min<std::uint64_t>(Mp3Head::kAfterTagBytes, size - tagEnd));
        if (wholeBody) {
            // The whole file is coming anyway; the tag is skipped on the same
            // connection, within reason.
            if (tagEnd + more <= kMaxSkippedTag && SkipBody(*m_pFile, tagEnd - head.size(), deadline)) {
                m_nBytesRead += tagEnd - head.size();
                afterTag = ReadBody(*m_pFile, more, deadline);
            }
        } else {
            m_pFile->DrainBody(Mp3Head::kBytes);
            m_pFile->Close();
            rangeOptions.headers.back() =
                "Range: bytes=" + std::to_string(tagEnd) + "-" + std::to_string(tagEnd + more - 1);
            m_pFile = std::make_unique<platform::HttpFile>(m_strServer, m_nPort, m_strObject, std::move(rangeOptions));
            const std::string expected = "bytes " + std::to_string(tagEnd) + "-";
            if (SendRequest() && m_pFile->StatusCode() == 206 &&
                platform::StartsWithNoCase(m_pFile->QueryInfo("Content-Range").value_or(""), expected))
                afterTag = ReadBody(*m_pFile, more, deadline);
        }
        m_nBytesRead += afterTag.size();
        if (afterTag.size() < more)
            afterTag.clear();
    }
    if (m_pConnections != nullptr)
        m_pFile->DrainBody(Mp3Head::kBytes);
    if (size == UINT64_MAX)
        return Mp3Head::Read(head, afterTag, std::nullopt, m_bHeadDigest);
    return Mp3Head::Read(head, afterTag, size, m_bHeadDigest);
}

bool CHttpDownloadInfo::SendRequest()
{
    ++m_nRequests;
    return m_pFile->SendRequest();
}

void CHttpDownloadInfo::CloseHandles()
{
    if (m_pFile) {
        m_pFile->Close();
        m_pFile.reset();
    }
}

void CHttpDownloadInfo::Fail(unsigned textId, int errorCode)
{
    m_strError = AfxFormatString1(LoadLanguageString(textId), std::to_string(errorCode));
    platform::Post(ProbeFinished{true}, m_stopToken);
    CloseHandles();
}

platform::LRESULT CHttpDownloadInfo::OnFinished(const ProbeFinished& finished)
{
    m_bSafeToClose = true;
    if (!m_bAbort && finished.failed)
        platform::AfxMessageBox(m_strError, platform::MB_OK, m_stopToken);
    CloseHandles();
    return 0;
}

unsigned ProbeThreadProc(DownloadItem item, std::stop_token stopToken, platform::HttpConnections* connections)
{
    CHttpDownloadInfo info(std::move(stopToken));
    info.m_pConnections = connections;
    info.m_item = std::move(item);
    info.m_strUrl = info.m_item.strUrl;
    info.m_strLocalPath = info.m_item.strFileName;
    info.Start();
    return 0;
}
