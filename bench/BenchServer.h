#pragma once

// A loopback HTTP server for the download benchmarks: answers every GET with
// one file held in memory, written in large pieces, so that the server costs
// as little as possible and the client's own cost shows. A range request with
// the file's ETag gets the rest of the file from there (206).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

class BenchServer {
public:
    explicit BenchServer(std::string body) : m_body(std::move(body))
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_fd, 128);
        socklen_t length = sizeof address;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_accept = std::thread([this] { Accept(); });
    }

    ~BenchServer()
    {
        m_stop = true;
        ::shutdown(m_fd, SHUT_RDWR);
        ::close(m_fd);
        m_accept.join();
        for (std::thread& t : m_connections)
            t.join();
    }

    std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(m_port) + path; }

    // Body bytes handed to the system's sockets so far.
    std::uint64_t BodyBytesSent() const { return m_bodyBytesSent; }
    void ResetCount() { m_bodyBytesSent = 0; }
    // Body bytes the last range request was sent.
    std::uint64_t LastRangeBytes() const { return m_lastRangeBytes; }

    // A body laid out as MPEG audio frames (417 bytes each), so that a
    // download of it passes the MP3 check; `byte` fills the rest.
    template <typename Fill>
    static std::string Mp3Body(std::size_t size, Fill byte)
    {
        static constexpr unsigned char kHeader[4] = {0xFF, 0xFB, 0x90, 0x64};
        std::string body(size, '\0');
        for (std::size_t i = 0; i < size; ++i) {
            const std::size_t inFrame = i % 417;
            body[i] = inFrame < 4 ? static_cast<char>(kHeader[inFrame]) : byte(i);
        }
        return body;
    }

private:
    void Accept()
    {
        while (!m_stop) {
            const int client = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                return;
            m_connections.emplace_back([this, client] { Serve(client); });
        }
    }

    void Serve(int client)
    {
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0) {
                ::close(client);
                return;
            }
            request.append(buffer, static_cast<std::size_t>(n));
        }
        std::size_t from = 0;
        const std::size_t range = request.find("\r\nRange: bytes=");
        if (range != std::string::npos && request.find("\r\nIf-Range: \"bench\"") != std::string::npos)
            from = std::min<std::size_t>(std::stoull(request.substr(range + 15)), m_body.size());
        std::string head = from > 0 ? "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(from) +
                                          "-" + std::to_string(m_body.size() - 1) + "/" +
                                          std::to_string(m_body.size()) + "\r\n"
                                    : std::string("HTTP/1.1 200 OK\r\n");
        head += "Content-Type: audio/mpeg\r\nETag: \"bench\"\r\nContent-Length: " + std::to_string(m_body.size() - from) +
                "\r\nConnection: close\r\n\r\n";
        Write(client, head.data(), head.size());
        const std::size_t sent = Write(client, m_body.data() + from, m_body.size() - from);
        m_bodyBytesSent += sent;
        if (from > 0)
            m_lastRangeBytes = sent;
        if (std::getenv("BENCH_SERVER_LOG") != nullptr)
            std::fprintf(stderr, "served from %zu: %zu body bytes\n", from, sent);
        ::close(client);
    }

    static std::size_t Write(int fd, const char* data, std::size_t size)
    {
        std::size_t sent = 0;
        while (size > 0) {
            const ssize_t n = ::send(fd, data, std::min<std::size_t>(size, 1 << 20), MSG_NOSIGNAL);
            if (n <= 0)
                return sent;
            data += n;
            size -= static_cast<std::size_t>(n);
            sent += static_cast<std::size_t>(n);
        }
        return sent;
    }

    std::string m_body;
    std::atomic<std::uint64_t> m_bodyBytesSent{0};
    std::atomic<std::uint64_t> m_lastRangeBytes{0};
    int m_fd = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_accept;
    std::vector<std::thread> m_connections;
};
