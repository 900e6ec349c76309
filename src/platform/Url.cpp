#include "platform/Url.h"

#include "platform/CaseInsensitive.h"
#include <array>
#include <cctype>

namespace platform {
namespace {

struct Scheme {
    std::string_view name;
    std::uint32_t service;
    std::uint16_t defaultPort;
};

constexpr std::array<Scheme, 9> kSchemes{{
    {"http", AFX_INET_SERVICE_HTTP, 80},
    {"https", AFX_INET_SERVICE_HTTPS, 443},
    {"ftp", AFX_INET_SERVICE_FTP, 21},
    {"gopher", AFX_INET_SERVICE_GOPHER, 70},
    {"file", AFX_INET_SERVICE_FILE, 0},
    {"news", AFX_INET_SERVICE_NEWS, 119},
    {"nntp", AFX_INET_SERVICE_NNTP, 119},
    {"telnet", AFX_INET_SERVICE_TELNET, 23},
    {"wais", AFX_INET_SERVICE_WAIS, 210},
}};

bool ParsePort(std::string_view text, std::uint16_t& port)
{
    if (text.empty() || text.size() > 5)
        return false;
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535)
        return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

}  // namespace

bool ParseUrl(std::string_view url, ParsedUrl& out)
{
    const std::size_t sep = url.find("://");
    if (sep == std::string_view::npos || sep == 0)
        return false;
    const std::string_view schemeText = url.substr(0, sep);
    const Scheme* scheme = nullptr;
    for (const Scheme& s : kSchemes) {
        if (EqualsNoCase(s.name, schemeText)) {
            scheme = &s;
            break;
        }
    }
    if (scheme == nullptr)
        return false;

    const std::string_view rest = url.substr(sep + 3);
    const std::size_t authorityEnd = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, authorityEnd);
    std::string_view object = authorityEnd == std::string_view::npos ? std::string_view{} : rest.substr(authorityEnd);

    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos)
        authority.remove_prefix(at + 1);

    std::string_view host = authority;
    std::uint16_t port = scheme->defaultPort;
    if (!authority.empty() && authority.front() == '[') {
        // A bracketed IPv6 literal keeps its brackets as the server name.
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos)
            return false;
        host = authority.substr(0, close + 1);
        const std::string_view after = authority.substr(close + 1);
        if (!after.empty() && (after.front() != ':' || !ParsePort(after.substr(1), port)))
            return false;
    } else if (const std::size_t colon = authority.rfind(':'); colon != std::string_view::npos) {
        host = authority.substr(0, colon);
        if (!ParsePort(authority.substr(colon + 1), port))
            return false;
    }
    if (host.empty())
        return false;

    out.service = scheme->service;
    out.server = std::string(host);
    out.port = port;
    if (object.empty())
        out.object = "/";
    else if (object.front() != '/')
        out.object = "/" + std::string(object);
    else
        out.object = std::string(object);
    return true;
}

bool AfxParseURL(std::string_view url, std::uint32_t& service, std::string& server, std::string& object,
                 std::uint16_t& port)
{
    ParsedUrl parsed;
    if (!ParseUrl(url, parsed))
        return false;
    service = parsed.service;
    server = std::move(parsed.server);
    object = std::move(parsed.object);
    port = parsed.port;
    return true;
}

}  // namespace platform
