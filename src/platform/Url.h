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
// a port that is not a number from 1 to 65535; an empty port ("host:/x") is
// the scheme's own. The scheme is matched without
// regard to case; host and object keep their case.
bool ParseUrl(std::string_view url, ParsedUrl& out);

bool AfxParseURL(std::string_view url, std::uint32_t& service, std::string& server,
                 std::string& object, std::uint16_t& port);

// AfxParseURL, tried once more with "http://" put in front of `url` when it
// fails: a found link often comes without its scheme. From then on `url`
// keeps that prefix, whether or not the second try parses.
bool ParseUrlAssumingHttp(std::string& url, std::uint32_t& service, std::string& server, std::string& object,
                          std::uint16_t& port);

// True for the services the HTTP client speaks: http and https.
inline bool IsHttpService(std::uint32_t service)
{
    return service == AFX_INET_SERVICE_HTTP || service == AFX_INET_SERVICE_HTTPS;
}

enum class UrlResolution {
    Resolved,     // an http or https URL
    OtherScheme,  // mailto:, javascript:, ftp: and the like; never fetched
    Invalid,      // no usable URL (a base that is not absolute, an empty host, a bad port)
};

// Resolves `reference` against the absolute URL `base` as RFC 3986 section 5
// does, the way a browser reads a link:
// - blanks and control bytes around the reference go, and TAB, CR and LF
//   inside it (as an attribute value spread over lines);
// - "\" before the query counts as "/";
// - "http:x" on an http base is relative (the RFC's allowance for old pages);
// - the fragment is dropped;
// - blanks, control bytes, non-ASCII bytes and '"', '<', '>', '`' are
//   percent-encoded; an existing "%XX" stays as it is.
// The scheme comes out lower-cased; everything else keeps its case.
UrlResolution ResolveUrl(std::string_view base, std::string_view reference, std::string& out);

}  // namespace platform
