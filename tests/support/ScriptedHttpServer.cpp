#include "ScriptedHttpServer.h"

#include <arpa/inet.h>
#include <cctype>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace testing_support {
namespace {

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

template <typename Fn>
void ForEachHeader(std::string_view raw, Fn fn)
{
    std::size_t pos = raw.find("\r\n");
    while (pos != std::string_view::npos) {
        const std::size_t start = pos + 2;
        const std::size_t end = raw.find("\r\n", start);
        if (end == std::string_view::npos || end == start)
            return;
        const std::string_view line = raw.substr(start, end - start);
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos) {
            std::string_view value = line.substr(colon + 1);
            while (!value.empty() && value.front() == ' ')
                value.remove_prefix(1);
            fn(line.substr(0, colon), value);
        }
        pos = end;
    }
}

bool SendAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

std::string HttpExchange::Header(std::string_view name) const
{
    std::string found;
    bool seen = false;
    ForEachHeader(rawRequest, [&](std::string_view key, std::string_view value) {
        if (!seen && EqualsNoCase(key, name)) {
            found = std::string(value);
            seen = true;
        }
    });
    return found;
}

int HttpExchange::HeaderCount(std::string_view name) const
{
    int count = 0;
    ForEachHeader(rawRequest, [&](std::string_view key, std::string_view) { count += EqualsNoCase(key, name) ? 1 : 0; });
    return count;
}

std::string HttpResponse(int status, std::string_view body, std::string_view extraHeaders, bool withLength)
{
    std::string out = "HTTP/1.1 " + std::to_string(status) + " Scripted\r\n";
    if (withLength)
        out += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    out += "Connection: close\r\n";
    out += extraHeaders;
    out += "\r\n";
    out += body;
    return out;
}

ScriptedHttpServer::ScriptedHttpServer(Script script, int maxConnections)
    : m_script(std::move(script)), m_maxConnections(maxConnections)
{
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(m_listenFd, 64) != 0)
        throw std::runtime_error("scripted server: cannot listen on 127.0.0.1");
    socklen_t len = sizeof addr;
    ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    m_acceptThread = std::thread([this] { AcceptLoop(); });
}

ScriptedHttpServer::~ScriptedHttpServer()
{
    m_stop = true;
    m_acceptThread.join();
    std::vector<std::thread> connections;
    {
        std::lock_guard lock(m_mutex);
        connections.swap(m_connections);
    }
    for (std::thread& t : connections)
        t.join();
    ::close(m_listenFd);
}

std::string ScriptedHttpServer::HostPort() const
{
    return "127.0.0.1:" + std::to_string(m_port);
}

std::string ScriptedHttpServer::Url(std::string_view target) const
{
    return "http://" + HostPort() + std::string(target);
}

std::vector<HttpExchange> ScriptedHttpServer::Requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::size_t ScriptedHttpServer::RequestCount() const
{
    std::lock_guard lock(m_mutex);
    return m_requests.size();
}

bool ScriptedHttpServer::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_requests.size() >= count; });
}

bool ScriptedHttpServer::WaitForClientGone(std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_clientsGone > 0; });
}

void ScriptedHttpServer::AcceptLoop()
{
    int accepted = 0;
    while (!m_stop && accepted < m_maxConnections) {
        pollfd p{m_listenFd, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        const int connection = accepted++;
        std::lock_guard lock(m_mutex);
        m_connections.emplace_back([this, fd, connection] {
            Serve(fd, connection);
            ::close(fd);
        });
    }
}

void ScriptedHttpServer::Serve(int fd, int connection)
{
    std::string pending;
    const auto pause = [this](int ms) {
        for (int waited = 0; waited < ms && !m_stop; waited += 5)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    };
    while (!m_stop) {
        // Read one request head (requests of this program carry no body).
        std::size_t headEnd = pending.find("\r\n\r\n");
        while (headEnd == std::string::npos && !m_stop) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            char buffer[4096];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                return;
            pending.append(buffer, static_cast<std::size_t>(n));
            headEnd = pending.find("\r\n\r\n");
        }
        if (m_stop)
            return;
        HttpExchange exchange;
        exchange.connection = connection;
        exchange.rawRequest = pending.substr(0, headEnd + 4);
        pending.erase(0, headEnd + 4);
        const std::size_t sp1 = exchange.rawRequest.find(' ');
        const std::size_t sp2 = exchange.rawRequest.find(' ', sp1 + 1);
        exchange.method = exchange.rawRequest.substr(0, sp1);
        exchange.target = exchange.rawRequest.substr(sp1 + 1, sp2 - sp1 - 1);
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(exchange);
        }
        m_changed.notify_all();

        const ScriptedReply reply = m_script(exchange);
        if (reply.closeAtOnce)
            return;
        pause(reply.delayBeforeMs);
        std::string_view rest = reply.bytes;
        const std::size_t chunk = reply.chunkSize == 0 ? rest.size() : reply.chunkSize;
        while (!rest.empty() && !m_stop) {
            if (reply.chunkSize != 0)
                pause(reply.chunkDelayMs);
            const std::string_view piece = rest.substr(0, chunk);
            if (!SendAll(fd, piece)) {
                {
                    std::lock_guard lock(m_mutex);
                    ++m_clientsGone;
                }
                m_changed.notify_all();
                return;
            }
            rest.remove_prefix(piece.size());
        }
        if (reply.resetAfterSend) {
            const linger reset{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
            return;
        }
        if (reply.holdOpen) {
            while (!m_stop)
                pause(20);
            return;
        }
        if (!reply.keepAlive)
            return;
    }
}

}  // namespace testing_support
