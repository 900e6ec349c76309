#pragma once

// A loopback HTTP server for the download benchmarks: answers every GET with
// one file held in memory, written in large pieces, so that the server costs
// as little as possible and the client's own cost shows.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
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
        const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: audio/mpeg\r\nContent-Length: " +
                                 std::to_string(m_body.size()) + "\r\nConnection: close\r\n\r\n";
        Write(client, head.data(), head.size());
        Write(client, m_body.data(), m_body.size());
        ::close(client);
    }

    static void Write(int fd, const char* data, std::size_t size)
    {
        while (size > 0) {
            const ssize_t n = ::send(fd, data, std::min<std::size_t>(size, 1 << 20), MSG_NOSIGNAL);
            if (n <= 0)
                return;
            data += n;
            size -= static_cast<std::size_t>(n);
        }
    }

    std::string m_body;
    int m_fd = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_accept;
    std::vector<std::thread> m_connections;
};
