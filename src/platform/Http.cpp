#include "platform/Http.h"

#include "platform/CaseInsensitive.h"
#include "platform/CurlUrlParts.h"
#include "platform/WorkerThreads.h"

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cctype>
#include <cstdlib>
#include <mutex>
#include <set>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

// Body bytes held for the reader before the transfer is paused.
constexpr std::size_t kHighWater = 256 * 1024;
constexpr int kPollMs = 100;

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// TLS sessions shared by every worker's connections, so that a worker that
// opens its first connection to a server resumes the session another worker
// negotiated. Made on first use (after curl_global_init) and kept for the
// process's life.
class SharedSessions {
public:
    static CURLSH* Handle()
    {
        static SharedSessions sessions;
        return sessions.m_share;
    }

private:
    SharedSessions()
    {
        m_share = curl_share_init();
        if (m_share == nullptr)
            return;
        if (curl_share_setopt(m_share, CURLSHOPT_LOCKFUNC, &Lock) != CURLSHE_OK ||
            curl_share_setopt(m_share, CURLSHOPT_UNLOCKFUNC, &Unlock) != CURLSHE_OK ||
            curl_share_setopt(m_share, CURLSHOPT_USERDATA, this) != CURLSHE_OK ||
            curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION) != CURLSHE_OK) {
            curl_share_cleanup(m_share);
            m_share = nullptr;
        }
    }

    static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* user)
    {
        static_cast<SharedSessions*>(user)->m_locks[static_cast<std::size_t>(data) % kLocks].lock();
    }
    static void Unlock(CURL*, curl_lock_data data, void* user)
    {
        static_cast<SharedSessions*>(user)->m_locks[static_cast<std::size_t>(data) % kLocks].unlock();
    }

    static constexpr std::size_t kLocks = 8;
    CURLSH* m_share = nullptr;
    std::array<std::mutex, kLocks> m_locks;
};

}  // namespace

struct HttpConnections::Impl {
    // The request that uses the connections now; a connection closed while
    // none does (at the end) concerns nobody.
    HttpFile::Impl* current = nullptr;
    std::unique_ptr<CURLM, MultiDeleter> multi{curl_multi_init()};
};

HttpConnections::HttpConnections()
    : m_impl(std::make_unique<Impl>())
{
}

HttpConnections::~HttpConnections() = default;

struct HttpFile::Impl {
    enum class EventKind { Resolving, Resolved, Connecting, Connected, Redirect };
    struct Event {
        EventKind kind;
        std::string text;
    };

    HttpFile* owner = nullptr;
    std::string server;
    std::uint16_t port = 0;
    std::string object;
    HttpRequestOptions options;
    std::string askedUrl;  // where the next request goes

    std::unique_ptr<CURL, EasyDeleter> easy;
    std::unique_ptr<CURLM, MultiDeleter> ownMulti;  // when the request has a connection of its own
    HttpConnections::Impl* pool = nullptr;          // when it takes one from a worker's connections
    CURLM* multi = nullptr;                         // one of the two
    std::unique_ptr<curl_slist, SlistDeleter> headerList;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    bool attached = false;    // the easy handle is in the multi handle
    bool headersDone = false; // the final answer's headers are in
    bool done = false;        // the transfer has ended
    CURLcode result = CURLE_OK;
    bool paused = false;
    std::string body;
    std::size_t bodyPos = 0;
    std::vector<Event> events;
    Clock::time_point lastActivity;
    std::optional<Clock::time_point> deadline;  // set by the first send when there is a total time
    curl_socket_t socket = CURL_SOCKET_BAD;     // the connection's socket, while it is open
    bool openedThisHop = false;                 // a new connection is being made for this hop
    std::set<std::string> hopOrigins;           // servers this request has been connected to
    bool redirectedToHttp = false;              // a refused hop from https: to http:

    // The handles go first: closing them may still call back into this object.
    ~Impl()
    {
        if (attached)
            curl_multi_remove_handle(multi, easy.get());
        if (pool != nullptr && pool->current == this)
            pool->current = nullptr;
        ownMulti.reset();
        easy.reset();
    }

    std::size_t Available() const { return body.size() - bodyPos; }

    bool ShouldStop() const { return IsShuttingDown() || options.stopToken.stop_requested(); }

    static size_t OnHeader(char* data, size_t size, size_t count, void* user)
    {
        auto* self = static_cast<Impl*>(user);
        const size_t n = size * count;
        self->lastActivity = Clock::now();
        if (!AppendHeaderLine(self->owner->m_rawHeaders, std::string_view(data, n)))
            return n;
        long status = 0;
        curl_easy_getinfo(self->easy.get(), CURLINFO_RESPONSE_CODE, &status);
        if (status >= 100 && status < 200)
            return n;  // an interim answer; the real one follows
        if (self->options.followRedirects &&
            (status == 301 || status == 302 || status == 303 || status == 307 || status == 308)) {
            if (const auto location = self->owner->QueryInfo("Location"); location && !location->empty()) {
                std::string target = self->ResolveAgainstCurrent(*location);
                if (self->RefusesRedirectTo(target)) {
                    self->redirectedToHttp = true;
                    return 0;  // ends the transfer here, before the hop
                }
                self->events.push_back({EventKind::Redirect, std::move(target)});
                return n;
            }
        }
        self->owner->m_status = static_cast<int>(status);
        self->headersDone = true;
        return n;
    }

    bool RefusesRedirectTo(const std::string& target) const
    {
        return options.useTls && options.refuseHttpsToHttp && !StartsWithNoCase(target, "https:");
    }

    // The absolute form of a Location value, as libcurl will follow it.
    std::string ResolveAgainstCurrent(const std::string& location) const
    {
        char* current = nullptr;
        curl_easy_getinfo(easy.get(), CURLINFO_EFFECTIVE_URL, &current);
        CURLU* url = curl_url();
        std::string result = location;
        if (url != nullptr && current != nullptr && curl_url_set(url, CURLUPART_URL, current, 0) == CURLUE_OK &&
            curl_url_set(url, CURLUPART_URL, location.c_str(), 0) == CURLUE_OK) {
            char* full = nullptr;
            if (curl_url_get(url, CURLUPART_URL, &full, 0) == CURLUE_OK) {
                result = full;
                curl_free(full);
            }
        }
        curl_url_cleanup(url);
        return result;
    }

    static size_t OnBody(char* data, size_t size, size_t count, void* user)
    {
        auto* self = static_cast<Impl*>(user);
        const size_t n = size * count;
        if (self->Available() >= kHighWater) {
            self->paused = true;
            return CURL_WRITEFUNC_PAUSE;
        }
        if (self->bodyPos > 0 && self->bodyPos * 2 >= self->body.size()) {
            self->body.erase(0, self->bodyPos);
            self->bodyPos = 0;
        }
        self->body.append(data, n);
        self->lastActivity = Clock::now();
        return n;
    }

    static int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
    {
        return static_cast<Impl*>(user)->ShouldStop() ? 1 : 0;
    }

    static int OnResolverStart(void*, void*, void* user)
    {
        auto* self = static_cast<Impl*>(user);
        self->openedThisHop = true;
        self->events.push_back({EventKind::Resolving, self->server});
        return 0;
    }

    curl_socket_t OpenSocket(curl_sockaddr* address)
    {
        openedThisHop = true;
        char host[NI_MAXHOST] = {};
        if (getnameinfo(&address->addr, address->addrlen, host, sizeof host, nullptr, 0, NI_NUMERICHOST) == 0) {
            events.push_back({EventKind::Resolved, host});
            events.push_back({EventKind::Connecting, host});
        }
        socket = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
        return socket;
    }

    static curl_socket_t OnOpenSocket(void* user, curlsocktype, curl_sockaddr* address)
    {
        return static_cast<Impl*>(user)->OpenSocket(address);
    }

    static int OnCloseSocket(void* user, curl_socket_t item)
    {
        auto* self = static_cast<Impl*>(user);
        if (self->socket == item)
            self->socket = CURL_SOCKET_BAD;
        return ::close(item);
    }

    // A kept connection outlives the request that opened it, so libcurl
    // closes it with the worker's connections as its data, never a request.
    static int OnClosePooledSocket(void* user, curl_socket_t item)
    {
        auto* pool = static_cast<HttpConnections::Impl*>(user);
        if (pool->current != nullptr && pool->current->socket == item)
            pool->current->socket = CURL_SOCKET_BAD;
        return ::close(item);
    }

    // Counts every byte the connection receives, also the bytes of a header
    // line that is not complete yet, which libcurl hands over only whole.
    void NoteBytesReceived()
    {
        if (socket == CURL_SOCKET_BAD && pool != nullptr) {
            // A connection an earlier request opened.
            curl_socket_t active = CURL_SOCKET_BAD;
            if (curl_easy_getinfo(easy.get(), CURLINFO_ACTIVESOCKET, &active) == CURLE_OK)
                socket = active;
        }
        if (socket == CURL_SOCKET_BAD)
            return;
        tcp_info info{};
        socklen_t length = sizeof info;
        if (getsockopt(socket, IPPROTO_TCP, TCP_INFO, &info, &length) != 0 || length < sizeof info)
            return;
        const auto lastByte = Clock::now() - std::chrono::milliseconds(info.tcpi_last_data_recv);
        if (lastByte > lastActivity)
            lastActivity = lastByte;
    }

    static int OnPrereq(void* user, char* primaryIp, char*, int, int)
    {
        auto* self = static_cast<Impl*>(user);
        const std::string address = primaryIp != nullptr ? primaryIp : "";
        if (self->pool != nullptr) {
            char* url = nullptr;
            curl_easy_getinfo(self->easy.get(), CURLINFO_EFFECTIVE_URL, &url);
            std::string origin = OriginOf(url);
            // A connection kept from an earlier request: the steps it went
            // through then are told again, as a connection of this request's
            // own would tell them. A hop back to a server this request has
            // already been connected to tells only "connected", as always.
            if (!self->openedThisHop && self->hopOrigins.count(origin) == 0) {
                self->events.push_back({EventKind::Resolving, self->server});
                self->events.push_back({EventKind::Resolved, address});
                self->events.push_back({EventKind::Connecting, address});
            }
            self->hopOrigins.insert(std::move(origin));
        }
        self->openedThisHop = false;
        self->events.push_back({EventKind::Connected, address});
        return CURL_PREREQFUNC_OK;
    }

    void DeliverEvents()
    {
        std::vector<Event> pending;
        pending.swap(events);
        if (options.observer == nullptr)
            return;
        for (const Event& event : pending) {
            switch (event.kind) {
            case EventKind::Resolving: options.observer->OnResolvingName(event.text); break;
            case EventKind::Resolved: options.observer->OnNameResolved(event.text); break;
            case EventKind::Connecting: options.observer->OnConnectingToServer(event.text); break;
            case EventKind::Connected: options.observer->OnConnectedToServer(event.text); break;
            case EventKind::Redirect: options.observer->OnRedirect(event.text); break;
            }
        }
    }

    void Finish(CURLcode code)
    {
        done = true;
        result = code;
        if (attached) {
            curl_multi_remove_handle(multi, easy.get());
            attached = false;
        }
        if (code != CURLE_OK) {
            owner->m_errorCode = static_cast<int>(code);
            owner->m_errorText = errorBuffer[0] != '\0' ? errorBuffer : curl_easy_strerror(code);
        }
    }

    // Copies up to `size` body bytes out once `want` of them are there (or the
    // body has ended).
    std::size_t Take(void* buffer, std::size_t size, std::size_t want)
    {
        if (size == 0 || (!attached && !done) || (done && Available() == 0))
            return 0;
        Pump([this, want] { return Available() >= want; });
        const std::size_t n = std::min(size, Available());
        std::copy_n(body.data() + bodyPos, n, static_cast<char*>(buffer));
        bodyPos += n;
        return n;
    }

    // Drives the transfer until `ready()` holds or the transfer has ended.
    template <typename Ready>
    void Pump(Ready ready)
    {
        lastActivity = Clock::now();
        while (!done && !ready()) {
            if (paused && Available() < kHighWater) {
                paused = false;
                curl_easy_pause(easy.get(), CURLPAUSE_CONT);
            }
            int running = 0;
            curl_multi_perform(multi, &running);
            DeliverEvents();
            int queued = 0;
            while (CURLMsg* msg = curl_multi_info_read(multi, &queued)) {
                if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy.get())
                    Finish(msg->data.result);
            }
            if (done || ready())
                break;
            if (ShouldStop()) {
                Finish(CURLE_ABORTED_BY_CALLBACK);
                break;
            }
            NoteBytesReceived();
            const auto now = Clock::now();
            if (now - lastActivity > std::chrono::milliseconds(options.stallTimeoutMs) ||
                (deadline && now >= *deadline)) {
                Finish(CURLE_OPERATION_TIMEDOUT);
                break;
            }
            curl_multi_poll(multi, nullptr, 0, kPollMs, nullptr);
        }
        DeliverEvents();
    }
};

HttpFile::HttpFile(std::string server, std::uint16_t port, std::string object, HttpRequestOptions options)
    : m_impl(std::make_unique<Impl>())
{
    Impl& d = *m_impl;
    d.owner = this;
    d.server = std::move(server);
    d.port = port;
    d.object = std::move(object);
    d.options = std::move(options);
    d.easy.reset(curl_easy_init());
    if (d.options.connections != nullptr) {
        d.pool = d.options.connections->m_impl.get();
        d.multi = d.pool->multi.get();
    } else {
        d.ownMulti.reset(curl_multi_init());
        d.multi = d.ownMulti.get();
    }
    if (!d.easy || d.multi == nullptr) {
        m_errorCode = CURLE_FAILED_INIT;
        m_errorText = "The HTTP layer could not be set up.";
        return;
    }
    for (const std::string& line : d.options.headers)
        d.headerList.reset(curl_slist_append(d.headerList.release(), line.c_str()));

    std::string target = d.object;
    if (const std::size_t hash = target.find('#'); hash != std::string::npos)
        target.erase(hash);
    const std::string url = (d.options.useTls ? "https://" : "http://") + d.server + ":" + std::to_string(d.port) + EncodeRequestTarget(target);

    CURL* easy = d.easy.get();
    d.askedUrl = url;
    curl_easy_setopt(easy, CURLOPT_URL, d.askedUrl.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    // libcurl does not read these by itself; OpenSSL programs do, and a user
    // with a CA of their own expects them to be honoured.
    if (const char* file = std::getenv("SSL_CERT_FILE"); file != nullptr && *file != '\0')
        curl_easy_setopt(easy, CURLOPT_CAINFO, file);
    if (const char* dir = std::getenv("SSL_CERT_DIR"); dir != nullptr && *dir != '\0')
        curl_easy_setopt(easy, CURLOPT_CAPATH, dir);
    if (d.options.decodeContent)
        curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
    // The header callback stops a refused hop first; this holds should one
    // slip past it.
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR,
                     d.options.useTls && d.options.refuseHttpsToHttp ? "https" : "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, d.options.followRedirects ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(d.options.connectTimeoutMs));
    if (!d.options.useSystemProxy)
        curl_easy_setopt(easy, CURLOPT_PROXY, "");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, d.headerList.get());
    if (d.options.receiveBufferSize > 0)
        curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, d.options.receiveBufferSize);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, d.errorBuffer);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Impl::OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &d);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Impl::OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &d);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &Impl::OnProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &d);
    curl_easy_setopt(easy, CURLOPT_RESOLVER_START_FUNCTION, &Impl::OnResolverStart);
    curl_easy_setopt(easy, CURLOPT_RESOLVER_START_DATA, &d);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, &Impl::OnOpenSocket);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, &d);
    if (d.pool != nullptr) {
        curl_easy_setopt(easy, CURLOPT_CLOSESOCKETFUNCTION, &Impl::OnClosePooledSocket);
        curl_easy_setopt(easy, CURLOPT_CLOSESOCKETDATA, d.pool);
        // Every new connection resolves its server's name afresh, as one of a
        // request's own does, so that it reports that step too.
        curl_easy_setopt(easy, CURLOPT_DNS_CACHE_TIMEOUT, 0L);
        if (CURLSH* share = SharedSessions::Handle(); share != nullptr)
            curl_easy_setopt(easy, CURLOPT_SHARE, share);
    } else {
        curl_easy_setopt(easy, CURLOPT_CLOSESOCKETFUNCTION, &Impl::OnCloseSocket);
        curl_easy_setopt(easy, CURLOPT_CLOSESOCKETDATA, &d);
    }
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &Impl::OnPrereq);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, &d);
}

HttpFile::~HttpFile()
{
    Close();
}

bool HttpFile::SendRequest()
{
    Impl& d = *m_impl;
    if (!d.easy || d.multi == nullptr)
        return false;
    if (d.pool != nullptr)
        d.pool->current = &d;
    d.openedThisHop = false;
    d.hopOrigins.clear();
    d.redirectedToHttp = false;
    if (d.attached) {
        curl_multi_remove_handle(d.multi, d.easy.get());
        d.attached = false;
    }
    d.headersDone = false;
    d.done = false;
    d.result = CURLE_OK;
    d.paused = false;
    d.body.clear();
    d.bodyPos = 0;
    d.errorBuffer[0] = '\0';
    m_status = 0;
    m_rawHeaders.clear();
    m_errorCode = 0;
    m_errorText.clear();
    if (d.ShouldStop()) {
        d.Finish(CURLE_ABORTED_BY_CALLBACK);
        return false;
    }
    // Sending again (after a 401) stays within the time of the first send.
    if (d.options.totalTimeoutMs > 0 && !d.deadline)
        d.deadline = Clock::now() + std::chrono::milliseconds(d.options.totalTimeoutMs);
    if (d.deadline && Clock::now() >= *d.deadline) {
        d.Finish(CURLE_OPERATION_TIMEDOUT);
        return false;
    }
    if (curl_multi_add_handle(d.multi, d.easy.get()) != CURLM_OK) {
        d.Finish(CURLE_FAILED_INIT);
        return false;
    }
    d.attached = true;
    d.Pump([&d] { return d.headersDone; });
    if (d.headersDone)
        return true;
    if (d.result == CURLE_OK) {
        // Ended without a complete answer.
        d.result = CURLE_GOT_NOTHING;
        m_errorCode = CURLE_GOT_NOTHING;
        m_errorText = curl_easy_strerror(CURLE_GOT_NOTHING);
    }
    return false;
}

std::optional<std::string> HttpFile::QueryInfo(std::string_view name) const
{
    return FindHeader(m_rawHeaders, name);
}

std::size_t HttpFile::Read(void* buffer, std::size_t size)
{
    return m_impl->Take(buffer, size, std::min(size, kHighWater));
}

std::size_t HttpFile::ReadSome(void* buffer, std::size_t size)
{
    return m_impl->Take(buffer, size, 1);
}

bool HttpFile::DrainBody(std::size_t maxBytes)
{
    Impl& d = *m_impl;
    if (!d.easy || (!d.attached && !d.done))
        return false;
    // Only a body of a stated length: one that ends with the connection
    // could not leave it reusable, and waiting for that end could be long.
    curl_off_t length = -1;
    if (curl_easy_getinfo(d.easy.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) != CURLE_OK || length < 0 ||
        static_cast<std::uint64_t>(length) > maxBytes)
        return false;
    d.Pump([&d, maxBytes] { return d.Available() > maxBytes; });
    d.bodyPos = d.body.size();
    return d.done && d.result == CURLE_OK;
}

void HttpFile::SetCredentials(const std::string& userName, const std::string& password, bool forProxy)
{
    CURL* easy = m_impl->easy.get();
    if (easy == nullptr)
        return;
    if (forProxy) {
        curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, userName.c_str());
        curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, password.c_str());
        curl_easy_setopt(easy, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
    } else {
        curl_easy_setopt(easy, CURLOPT_USERNAME, userName.c_str());
        curl_easy_setopt(easy, CURLOPT_PASSWORD, password.c_str());
        curl_easy_setopt(easy, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
    }
}

std::string HttpFile::AnsweringServer() const
{
    char* current = nullptr;
    if (m_impl->easy == nullptr || curl_easy_getinfo(m_impl->easy.get(), CURLINFO_EFFECTIVE_URL, &current) != CURLE_OK)
        return {};
    return ServerOf(current);
}

bool HttpFile::TargetAnsweringServer()
{
    CURL* easy = m_impl->easy.get();
    char* current = nullptr;
    if (easy == nullptr || curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &current) != CURLE_OK ||
        current == nullptr || m_impl->askedUrl == current)
        return false;
    m_impl->askedUrl = current;
    curl_easy_setopt(easy, CURLOPT_URL, m_impl->askedUrl.c_str());
    // The address was reached by a redirect, which may lead to HTTPS.
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    return true;
}

std::string HttpFile::ProxyServer() const
{
    if (!m_impl->options.useSystemProxy)
        return {};
    // The variables libcurl itself reads for a plain HTTP request.
    for (const char* name : {"http_proxy", "all_proxy", "ALL_PROXY"}) {
        const char* value = std::getenv(name);
        if (value == nullptr || *value == '\0')
            continue;
        std::string url = value;
        if (url.find("://") == std::string::npos)
            url = "http://" + url;
        const std::string server = ServerOf(url.c_str());
        return server.empty() ? std::string(value) : server;
    }
    return {};
}

bool HttpFile::NoValidResponse() const
{
    // Only http and https URLs are ever requested, so a protocol complaint can
    // only be about the answer (an HTTP/0.9-style reply without a status line).
    return m_errorCode == CURLE_GOT_NOTHING || m_errorCode == CURLE_WEIRD_SERVER_REPLY ||
           m_errorCode == CURLE_UNSUPPORTED_PROTOCOL;
}

bool HttpFile::CertificateFailed() const
{
    return m_errorCode == CURLE_PEER_FAILED_VERIFICATION || m_errorCode == CURLE_SSL_CACERT_BADFILE ||
           m_errorCode == CURLE_SSL_ISSUER_ERROR || m_errorCode == CURLE_SSL_INVALIDCERTSTATUS;
}

bool HttpFile::RedirectedToHttp() const
{
    return m_impl->redirectedToHttp;
}

bool HttpFile::Failed() const
{
    return m_impl->done && m_impl->result != CURLE_OK;
}

void HttpFile::Close()
{
    Impl& d = *m_impl;
    if (d.attached) {
        curl_multi_remove_handle(d.multi, d.easy.get());
        d.attached = false;
    }
    d.done = true;
    d.body.clear();
    d.bodyPos = 0;
}

void InitHttp()
{
    curl_global_init(CURL_GLOBAL_DEFAULT);
}

}  // namespace platform
