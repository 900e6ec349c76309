#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace testing_support {

// One request as it reached the server.
struct HttpExchange {
    std::string method;
    std::string target;      // the request target, e.g. "/index.asp?s=x"
    std::string rawRequest;  // request line and headers, CR LF as sent
    int connection = 0;      // which accepted connection it came on, counted from 0
    std::string Header(std::string_view name) const;  // first header of that name (no case), "" if none
    int HeaderCount(std::string_view name) const;
};

// What the server answers, byte for byte.
struct ScriptedReply {
    std::string bytes;           // status line, headers and body exactly as sent
    std::size_t chunkSize = 0;   // 0: all at once; else send in pieces of this size
    int chunkDelayMs = 0;        // pause before each piece
    int delayBeforeMs = 0;       // pause before the first byte
    bool keepAlive = false;      // read another request on the same connection afterwards
    bool holdOpen = false;       // after sending, keep the connection open until the server stops
    bool closeAtOnce = false;    // close the connection without answering
    bool resetAfterSend = false; // end the connection with a reset instead of a close
};

// Builds a complete answer with Content-Length (unless `withLength` is false,
// then the connection close ends the body) and "Connection: close".
std::string HttpResponse(int status, std::string_view body, std::string_view extraHeaders = {},
                         bool withLength = true);

// A loopback HTTP server for tests: listens on 127.0.0.1 on a free port,
// answers every request with what `script` returns and logs every request.
// It stops, and closes every connection, when destroyed. It never accepts
// more than `maxConnections` connections, so a runaway client is bounded.
class ScriptedHttpServer {
public:
    using Script = std::function<ScriptedReply(const HttpExchange&)>;
    explicit ScriptedHttpServer(Script script, int maxConnections = 500);
    ~ScriptedHttpServer();
    ScriptedHttpServer(const ScriptedHttpServer&) = delete;
    ScriptedHttpServer& operator=(const ScriptedHttpServer&) = delete;

    std::uint16_t Port() const { return m_port; }
    std::string HostPort() const;  // "127.0.0.1:port"
    std::string Url(std::string_view target = "/") const;

    std::vector<HttpExchange> Requests() const;
    std::size_t RequestCount() const;
    bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;
    // Waits until the client has gone away in the middle of an answer.
    bool WaitForClientGone(std::chrono::milliseconds timeout) const;

private:
    void AcceptLoop();
    void Serve(int fd, int connection);

    Script m_script;
    int m_maxConnections;
    int m_listenFd = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_acceptThread;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<HttpExchange> m_requests;
    int m_clientsGone = 0;
    std::vector<std::thread> m_connections;
};

}  // namespace testing_support
