#pragma once

// The head parsing and the request-line encoding HttpFile uses come with it.
#include "platform/HttpHeaders.h"
#include "platform/PercentEncoding.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// What a request's connection goes through, reported on the requesting
// thread in the order it happens (never from inside libcurl).
class HttpStatusObserver {
public:
    virtual ~HttpStatusObserver() = default;
    virtual void OnResolvingName(const std::string& host) {}
    virtual void OnNameResolved(const std::string& address) {}
    virtual void OnConnectingToServer(const std::string& address) {}
    virtual void OnConnectedToServer(const std::string& address) {}
    virtual void OnRedirect(const std::string& url) {}
};

class HttpConnections;

struct HttpRequestOptions {
    // Header lines ("Name: value"), each added only where the request has no
    // such header yet.
    std::vector<std::string> headers;
    bool followRedirects = false;
    // A request that starts on https: and is redirected to plain http:
    // stops there, before anything is sent unprotected: SendRequest fails
    // and RedirectedToHttp() holds. Downloads and their probes set it, as
    // browsers refuse such downloads; result pages follow such a redirect.
    bool refuseHttpsToHttp = false;
    // https: TLS, with the server's certificate verified against the
    // system's CA store, or against SSL_CERT_FILE / SSL_CERT_DIR when they
    // are set. An unverified connection is never made.
    bool useTls = false;
    // Asks for every content encoding libcurl can decode and hands over the
    // decoded body; otherwise the body comes as the server sent it.
    bool decodeContent = false;
    bool useSystemProxy = false;  // otherwise direct access
    int connectTimeoutMs = 30000;
    // A request that receives no byte at all (of the answer's headers or of
    // its body) for this long while it is waited on fails.
    int stallTimeoutMs = 60000;
    // Bytes libcurl hands over per write; larger pieces suit big downloads.
    long receiveBufferSize = 0;  // 0: libcurl's default
    // A request that has not ended this long after it was first sent fails,
    // however slowly its server keeps sending; 0: no such deadline (a
    // download may take as long as its bytes keep coming).
    int totalTimeoutMs = 0;
    HttpStatusObserver* observer = nullptr;
    // Where the request finds an open connection to its server and leaves its
    // own for the next request; null: a connection of its own, closed with it.
    HttpConnections* connections = nullptr;
    // Stopping it ends every wait of the request at its next check (at most
    // about 100 ms); so does the process's shut-down.
    std::stop_token stopToken;
};

// One GET request over one libcurl handle: CHttpFile with the connection it
// runs on. The body is pulled with Read, as the Internet layer's files are;
// the transfer keeps its connection while nobody reads.
class HttpFile final {
public:
    HttpFile(std::string server, std::uint16_t port, std::string object, HttpRequestOptions options);
    ~HttpFile();
    HttpFile(const HttpFile&) = delete;
    HttpFile& operator=(const HttpFile&) = delete;

    // Sends the request (again, when it was sent before) and waits for the
    // status line and headers of the answer. False when no answer came;
    // ErrorText() says why.
    bool SendRequest();

    int StatusCode() const { return m_status; }
    // Status line and header lines of the answer, each ending in CR LF,
    // closed by an empty line.
    const std::string& RawHeaders() const { return m_rawHeaders; }
    // The value of the first header called `name` (no case), blanks trimmed.
    std::optional<std::string> QueryInfo(std::string_view name) const;

    // Reads up to `size` bytes of the body, waiting until that many have come
    // or the body has ended. 0 at the end of the body, after a failure (see
    // Failed) or when nothing was sent.
    std::size_t Read(void* buffer, std::size_t size);

    // Reads whatever part of the body has arrived, up to `size` bytes, waiting
    // only while nothing has. 0 at the end of the body or after a failure.
    std::size_t ReadSome(void* buffer, std::size_t size);

    // Reads and drops the rest of a body whose Content-Length is at most
    // `maxBytes`, so that the connection can carry the next request. False
    // when the body is longer or of no stated length (it is then left alone)
    // or the transfer failed.
    bool DrainBody(std::size_t maxBytes);

    // Credentials for the next SendRequest, sent as Basic authentication to the
    // server, or to the proxy when `forProxy` is set.
    void SetCredentials(const std::string& userName, const std::string& password, bool forProxy);

    // The server the last answer came from, after any redirects: its host,
    // with ":port" when that is not the scheme's own. Empty before an answer.
    std::string AnsweringServer() const;
    // Points the next SendRequest at the address the last answer came from,
    // so that a login given for that server goes to it and to no other.
    // True when that address differs from the one asked before.
    bool TargetAnsweringServer();
    // The proxy the request goes through (host and port) as the environment
    // names it; empty when it goes direct.
    std::string ProxyServer() const;

    // True when the transfer ended with an error, the body cut short included.
    bool Failed() const;
    // True when SendRequest failed because what came back was no HTTP answer
    // (nothing at all, or a status line that cannot be read).
    bool NoValidResponse() const;
    // True when the request failed because the server's certificate could
    // not be verified (or the CA store named for that could not be read);
    // ErrorText() names the cause.
    bool CertificateFailed() const;
    // True when SendRequest failed because an https: request was redirected
    // to http: and `refuseHttpsToHttp` was set.
    bool RedirectedToHttp() const;
    int ErrorCode() const { return m_errorCode; }
    const std::string& ErrorText() const { return m_errorText; }

    void Close();

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
    int m_status = 0;
    std::string m_rawHeaders;
    int m_errorCode = 0;
    std::string m_errorText;
};

// The open connections of a worker that makes many short requests one after
// the other (the probes of found files): a request made with it leaves its
// connection open for the next request to the same server, and TLS sessions
// are shared by all of them, so that a new connection resumes a known session
// instead of a full handshake. One thread uses it at a time; destroying it
// closes the connections.
//
// A request on a connection that an earlier request opened still reports the
// steps of a connection (resolving, resolved, connecting, connected) to its
// observer, as a request on a fresh connection does.
class HttpConnections final {
public:
    HttpConnections();
    ~HttpConnections();
    HttpConnections(const HttpConnections&) = delete;
    HttpConnections& operator=(const HttpConnections&) = delete;

    struct Impl;

private:
    friend class HttpFile;
    std::unique_ptr<Impl> m_impl;
};

// curl_global_init; call once in main before any thread starts.
void InitHttp();

}  // namespace platform
