#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Service types, numbered as the Internet layer numbers them: HTTP is 3.
inline constexpr std::uint32_t AFX_INET_SERVICE_FTP = 1;
inline constexpr std::uint32_t AFX_INET_SERVICE_GOPHER = 2;
inline constexpr std::uint32_t AFX_INET_SERVICE_HTTP = 3;
inline constexpr std::uint32_t AFX_INET_SERVICE_UNK = 0x1000;
inline constexpr std::uint32_t AFX_INET_SERVICE_FILE = AFX_INET_SERVICE_UNK + 1;
inline constexpr std::uint32_t AFX_INET_SERVICE_NEWS = AFX_INET_SERVICE_UNK + 5;
inline constexpr std::uint32_t AFX_INET_SERVICE_NNTP = AFX_INET_SERVICE_UNK + 6;
inline constexpr std::uint32_t AFX_INET_SERVICE_TELNET = AFX_INET_SERVICE_UNK + 8;
inline constexpr std::uint32_t AFX_INET_SERVICE_WAIS = AFX_INET_SERVICE_UNK + 9;
inline constexpr std::uint32_t AFX_INET_SERVICE_HTTPS = AFX_INET_SERVICE_UNK + 11;

struct ParsedUrl {
    std::uint32_t service = 0;
    std::string server;
    std::string object;  // path, query and fragment; "/" when the URL has none
    std::uint16_t port = 0;
};

// Splits "scheme://[user[:password]@]host[:port][/object]". Fails for an
// empty text, a text without "scheme://", an unknown scheme, an empty host or
// a port that is not a number from 1 to 65535. The scheme is matched without
// regard to case; host and object keep their case.
bool ParseUrl(std::string_view url, ParsedUrl& out);

bool AfxParseURL(std::string_view url, std::uint32_t& service, std::string& server,
                 std::string& object, std::uint16_t& port);

}  // namespace platform
