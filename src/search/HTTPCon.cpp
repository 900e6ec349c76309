#include "search/HTTPCon.h"

#include "platform/Http.h"
#include "platform/MessageBox.h"
#include "platform/MessageChannel.h"
#include "platform/Url.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"
#include "settings/LanguagePack.h"
#include "search/SearchMessages.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <new>
#include <vector>

namespace {

std::atomic<bool> g_failConnections{false};

constexpr std::uint32_t kNoAutoRedirect = 0x00200000;

constexpr const char* kConnectionFailedText =
    "An exception occurred when attempting to create an HTTP connection.\r\n"
    "  Please check your internet configuration and make sure your environment\r\n"
    " is set up with WININET.DLL in the path.";

std::vector<std::string> HeaderLines(const std::string& headers)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < headers.size()) {
        std::size_t end = headers.find("\r\n", start);
        if (end == std::string::npos)
            end = headers.size();
        if (end > start)
            lines.push_back(headers.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

}  // namespace

// The page's HTTP session: direct access, no agent of its own (the
// "User-Agent" header line names the program), and the stop token every
// request of the page inherits.
class CHTTPCon::Session final {
public:
    Session(std::stop_token stopToken, platform::HttpConnections* connections)
        : m_stopToken(std::move(stopToken))
        , m_connections(connections)
        , m_deadline(std::chrono::steady_clock::now() + kPageTime)
    {
    }
    const std::stop_token& StopToken() const { return m_stopToken; }
    platform::HttpConnections* Connections() const { return m_connections; }

    // What is left of the page's time for a new request; at least 1 ms, so
    // that a late request fails at once instead of running without a deadline.
    int RemainingMs() const
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline -
                                                                                std::chrono::steady_clock::now());
        return static_cast<int>(std::max<long long>(1, left.count()));
    }

private:
    // A whole page, redirect and body included, ends within this time however
    // slowly its server sends.
    static constexpr std::chrono::seconds kPageTime{60};

    std::stop_token m_stopToken;
    platform::HttpConnections* m_connections;
    std::chrono::steady_clock::time_point m_deadline;
};

// A server and port that requests are opened on. Each request is a fresh
// HttpFile; the first is set up with the connection, so a connection that
// cannot carry a request fails at once, as the Internet layer's does.
class CHTTPCon::Connection final {
public:
    Connection(const Session& session, std::string server, std::uint16_t port, bool tls)
        : m_session(session), m_server(std::move(server)), m_port(port), m_tls(tls)
    {
    }

    bool Prepare(const std::string& object, const std::vector<std::string>& headers, std::uint32_t flags)
    {
        m_prepared = NewRequest(object, headers, flags);
        return m_prepared && m_prepared->ErrorCode() == 0;
    }

    // The request for `object`, opened with the page's flags: no automatic
    // redirects, HTTP/1.1, direct access.
    std::unique_ptr<platform::HttpFile> OpenRequest(const std::string& object, const std::vector<std::string>& headers,
                                                    std::uint32_t flags)
    {
        if (m_prepared && m_preparedObject == object)
            return std::move(m_prepared);
        return NewRequest(object, headers, flags);
    }

private:
    std::unique_ptr<platform::HttpFile> NewRequest(const std::string& object, const std::vector<std::string>& headers,
                                                   std::uint32_t flags)
    {
        m_preparedObject = object;
        platform::HttpRequestOptions options;
        options.headers = headers;
        options.followRedirects = (flags & kNoAutoRedirect) == 0;
        options.useSystemProxy = false;
        options.useTls = m_tls;
        // A page may come compressed; its links are read from the decoded text.
        options.decodeContent = true;
        options.stopToken = m_session.StopToken();
        options.connections = m_session.Connections();
        options.totalTimeoutMs = m_session.RemainingMs();
        return std::make_unique<platform::HttpFile>(m_server, m_port, object, std::move(options));
    }

    const Session& m_session;
    std::string m_server;
    std::uint16_t m_port;
    bool m_tls;
    std::unique_ptr<platform::HttpFile> m_prepared;
    std::string m_preparedObject;
};

CHTTPCon::CHTTPCon(std::stop_token stopToken, platform::HttpConnections* connections)
    : m_stopToken(std::move(stopToken)), m_pConnections(connections)
{
}

CHTTPCon::~CHTTPCon()
{
    if (m_pFile)
        m_pFile->Close();
    m_pFile.reset();
    m_pConnection.reset();
    m_pSession.reset();
}

void CHTTPCon::SetConnectionFailureForTesting(bool fail)
{
    g_failConnections = fail;
}

bool CHTTPCon::CreateFirstConnection()
{
    try {
        if (g_failConnections)
            throw std::bad_alloc();
        auto connection = std::make_unique<Connection>(*m_pSession, m_strServer, m_nPort,
                                                         m_dwServiceType == platform::AFX_INET_SERVICE_HTTPS);
        if (!connection->Prepare(m_strObject, HeaderLines(m_strHeaders), m_dwRequestFlags))
            throw std::bad_alloc();
        m_pConnection = std::move(connection);
        return true;
    } catch (const std::bad_alloc&) {
        m_pConnection.reset();
        platform::AfxMessageBox(kConnectionFailedText, platform::MB_OK, m_stopToken);
        return false;
    }
}

bool CHTTPCon::SendAndReadStatus(int& status)
{
    if (!m_pFile->SendRequest()) {
        // A server whose certificate cannot be verified is named, never used.
        if (m_pFile->CertificateFailed())
            platform::AfxMessageBox(AfxFormatString1(LoadLanguageString(IDS_CERTIFICATE_FAILED), m_pFile->ErrorText()),
                                    platform::MB_OK, m_stopToken);
        return false;
    }
    status = m_pFile->StatusCode();
    return true;
}

bool CHTTPCon::OpenPage(const std::string& url)
{
    if (Open(url))
        return true;
    // Nothing of a failed page is read, whatever state the request was left in.
    m_pFile.reset();
    return false;
}

bool CHTTPCon::Open(const std::string& url)
{
    if (!platform::AfxParseURL(url, m_dwServiceType, m_strServer, m_strObject, m_nPort) ||
        !platform::IsHttpService(m_dwServiceType))
        return false;
    m_strPageUrl = url;

    try {
        if (!m_pSession)
            m_pSession = std::make_unique<Session>(m_stopToken, m_pConnections);
        platform::Post(FetchStep{}, m_stopToken);

        if (!CreateFirstConnection())
            return false;
        platform::Post(FetchStep{}, m_stopToken);

        const std::vector<std::string> headers = HeaderLines(m_strHeaders);
        m_pFile = m_pConnection->OpenRequest(m_strObject, headers, m_dwRequestFlags);
        int status = 0;
        if (!SendAndReadStatus(status))
            return false;

        if (status == 401) {
            platform::AfxMessageBox(LoadLanguageString(IDS_ACCESS_DENIED), platform::MB_OK, m_stopToken);
            if (!SendAndReadStatus(status))
                return false;
        }

        if (status == 301 || status == 302 || status == 303) {
            const std::optional<std::string> target = RedirectTarget(m_pFile->RawHeaders());
            if (!target) {
                platform::AfxMessageBox(LoadLanguageString(IDS_REDIRECT_NO_LOCATION), platform::MB_OK, m_stopToken);
                return false;
            }
            m_pFile->Close();
            m_pFile.reset();
            m_pConnection.reset();

            // The target may be relative to the page, as HTTP allows; it may
            // move from http to https or back, never to another scheme.
            std::string newUrl;
            const platform::UrlResolution resolution = platform::ResolveUrl(m_strPageUrl, *target, newUrl);
            if (resolution == platform::UrlResolution::OtherScheme) {
                platform::AfxMessageBox(LoadLanguageString(IDS_REDIRECT_NOT_HTTP), platform::MB_OK, m_stopToken);
                return false;
            }
            if (resolution != platform::UrlResolution::Resolved ||
                !platform::AfxParseURL(newUrl, m_dwServiceType, m_strServer, m_strObject, m_nPort)) {
                platform::AfxMessageBox(LoadLanguageString(IDS_REDIRECT_BAD_URL), platform::MB_OK, m_stopToken);
                return false;
            }
            m_strPageUrl = newUrl;
            m_pConnection = std::make_unique<Connection>(*m_pSession, m_strServer, m_nPort,
                                                         m_dwServiceType == platform::AFX_INET_SERVICE_HTTPS);
            m_pFile = m_pConnection->OpenRequest(m_strObject, headers, m_dwRequestFlags);
            if (!SendAndReadStatus(status))
                return false;
            // A second redirect is not followed: whatever came is the page.
            if (status != 200)
                platform::AfxMessageBox(LoadLanguageString(IDS_GOT_STATUS_CODE), platform::MB_OK, m_stopToken);
        }
        return true;
    } catch (const std::exception&) {
        // Anything the layer below throws here ends this page quietly.
        return false;
    }
}

std::optional<std::string> CHTTPCon::RedirectTarget(const std::string& rawHeaders)
{
    const std::size_t location = rawHeaders.find("Location: ");
    if (location == std::string::npos)
        return std::nullopt;
    const std::size_t start = location + 10;
    const std::size_t lineEnd = rawHeaders.find("\r\n", start);
    return rawHeaders.substr(start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
}

std::size_t CHTTPCon::ReadBody(void* buffer, std::size_t size)
{
    if (!m_pFile)
        return 0;
    return m_pFile->Read(buffer, size);
}

int CHTTPCon::StatusCode() const
{
    return m_pFile ? m_pFile->StatusCode() : 0;
}

