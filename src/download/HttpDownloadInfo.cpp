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
#include <cctype>
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
    // The file's first byte only: a 206 states the whole length and its one
    // byte leaves the connection free for the next probe. A server without
    // ranges answers as it would a plain GET.
    options.headers.push_back("Range: bytes=0-0");
    options.useTls = m_dwServiceType == platform::AFX_INET_SERVICE_HTTPS;
    options.followRedirects = true;
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
    if (!m_pFile->SendRequest()) {
        if (aborted())
            return;
        if (m_pFile->CertificateFailed()) {
            // The row says why the file cannot be had from this server.
            platform::Post(FileStatus{m_item.nItem, m_item.nSearchId,
                                      AfxFormatString1(LoadLanguageString(IDS_CERTIFICATE_FAILED), m_pFile->ErrorText())},
                           m_stopToken);
        }
        Fail(IDS_CONNECT_ERROR, m_pFile->ErrorCode());
        return;
    }

    // The status code is not looked at otherwise: whatever answer carries a
    // length gives the file its size, as the answer to a plain GET would.
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
        if (!m_pFile->SendRequest()) {
            if (aborted())
                return;
            Fail(IDS_CONNECT_ERROR, m_pFile->ErrorCode());
            return;
        }
        plainAnswer = true;
    }
    if (plainAnswer) {
        const auto header = m_pFile->QueryInfo("Content-Length");
        length = header && header->size() < kQueryBufferSize ? platform::ParseContentLength(*header) : std::nullopt;
    }
    if (m_pConnections != nullptr)
        m_pFile->DrainBody(kDrainLimit);
    if (length) {
        // Posted: the probe goes on to the next file while the window
        // takes these in its own time, in this order.
        platform::Post(FileSizeProbed{m_item.nItem, m_item.nSearchId, *length}, m_stopToken);
        platform::Post(FileStatus{m_item.nItem, m_item.nSearchId, LoadBuiltinString(IDS_AVALIABLE), true}, m_stopToken);
    }
    CloseHandles();
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
