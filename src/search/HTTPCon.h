#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>

namespace platform {
class HttpConnections;
class HttpFile;
}

// The HTTP side of one result page: parses the page URL, opens one GET with
// the program's header lines, answers a 401 by asking once more and follows
// one redirect by hand. Lives on the page worker that fetches the page.
class CHTTPCon final {
public:
    // INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_NO_AUTO_REDIRECT
    static constexpr std::uint32_t kRequestFlags = 0x20200000;

    // `stopToken` ends the page's waits and silences its messages once stopped.
    // With `connections` the page's requests take an open connection from it
    // and leave theirs there for the next page of the chain.
    explicit CHTTPCon(std::stop_token stopToken = {}, platform::HttpConnections* connections = nullptr);
    ~CHTTPCon();
    CHTTPCon(const CHTTPCon&) = delete;
    CHTTPCon& operator=(const CHTTPCon&) = delete;

    // True when a request is open whose body can be read.
    bool OpenPage(const std::string& url);
    // Up to `size` bytes of the open request's body; 0 at its end, after a
    // failure or when no request is open.
    std::size_t ReadBody(void* buffer, std::size_t size);
    // The status of the answer the page was read from; 0 when none came.
    int StatusCode() const;
    // The URL the open page came from: the one asked for, or the target of
    // the redirect that was followed. Its links resolve against it.
    const std::string& PageUrl() const { return m_strPageUrl; }

    // The text after the first "Location: " (exact case) of a head, up to the
    // end of its line; nothing when the head has none.
    static std::optional<std::string> RedirectTarget(const std::string& rawHeaders);

    // Makes creating the first connection fail, as a broken HTTP layer would.
    static void SetConnectionFailureForTesting(bool fail);

    class Session;
    class Connection;

private:
    bool Open(const std::string& url);
    bool CreateFirstConnection();
    bool SendAndReadStatus(int& status);

    std::stop_token m_stopToken;
    platform::HttpConnections* m_pConnections = nullptr;
    std::unique_ptr<Session> m_pSession;
    std::unique_ptr<Connection> m_pConnection;
    std::uint32_t m_dwServiceType = 0;
    std::uint16_t m_nPort = 0;
    std::string m_strServer;
    std::string m_strObject;
    std::string m_strPageUrl;
    std::unique_ptr<platform::HttpFile> m_pFile;
    std::uint32_t m_dwRequestFlags = kRequestFlags;
    std::string m_strHeaders = "Accept: text/*\r\nUser-Agent: Tunorva\r\n";
};
