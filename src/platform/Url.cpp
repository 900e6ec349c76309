#include "platform/Url.h"

#include "platform/CaseInsensitive.h"
#include "platform/PercentEncoding.h"

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

bool IsSchemeText(std::string_view text)
{
    if (text.empty() || !std::isalpha(static_cast<unsigned char>(text.front())))
        return false;
    for (const char c : text) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
            return false;
    }
    return true;
}

// An empty port ("host:") is allowed and means the scheme's own, which
// `port` already holds (RFC 3986 section 3.2.3).
bool ParsePortOrDefault(std::string_view text, std::uint16_t& port)
{
    return text.empty() || ParsePort(text, port);
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
        if (!after.empty() && (after.front() != ':' || !ParsePortOrDefault(after.substr(1), port)))
            return false;
    } else if (const std::size_t colon = authority.rfind(':'); colon != std::string_view::npos) {
        host = authority.substr(0, colon);
        if (!ParsePortOrDefault(authority.substr(colon + 1), port))
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

bool ParseUrlAssumingHttp(std::string& url, std::uint32_t& service, std::string& server, std::string& object,
                          std::uint16_t& port)
{
    if (AfxParseURL(url, service, server, object, port))
        return true;
    // A text that names its scheme is not one that lacks it: "http://" in
    // front of "http://" would read as the host "http" with an empty port.
    if (const std::size_t sep = url.find("://"); sep != std::string::npos && IsSchemeText(url.substr(0, sep)))
        return false;
    url = "http://" + url;
    return AfxParseURL(url, service, server, object, port);
}

}  // namespace platform

namespace platform {
namespace {

// The five parts of a URL reference, split as RFC 3986 appendix B does.
struct UrlParts {
    std::string scheme;
    bool hasAuthority = false;
    std::string authority;
    std::string path;
    bool hasQuery = false;
    std::string query;
};


UrlParts SplitReference(std::string_view text)
{
    UrlParts parts;
    text = text.substr(0, text.find('#'));
    if (const std::size_t colon = text.find(':');
        colon != std::string_view::npos && colon < text.find_first_of("/?") && IsSchemeText(text.substr(0, colon))) {
        parts.scheme = std::string(text.substr(0, colon));
        for (char& c : parts.scheme)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        text.remove_prefix(colon + 1);
    }
    if (text.substr(0, 2) == "//") {
        text.remove_prefix(2);
        const std::size_t end = text.find_first_of("/?");
        parts.hasAuthority = true;
        parts.authority = std::string(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end);
    }
    const std::size_t question = text.find('?');
    parts.path = std::string(text.substr(0, question));
    if (question != std::string_view::npos) {
        parts.hasQuery = true;
        parts.query = std::string(text.substr(question + 1));
    }
    return parts;
}

// RFC 3986 section 5.2.4.
std::string RemoveDotSegments(std::string_view input)
{
    std::string output;
    while (!input.empty()) {
        if (input.substr(0, 3) == "../") {
            input.remove_prefix(3);
        } else if (input.substr(0, 2) == "./") {
            input.remove_prefix(2);
        } else if (input.substr(0, 3) == "/./") {
            input.remove_prefix(2);
        } else if (input == "/.") {
            input = "/";
        } else if (input.substr(0, 4) == "/../" || input == "/..") {
            input = input.size() == 3 ? std::string_view("/") : input.substr(3);
            const std::size_t slash = output.rfind('/');
            output.erase(slash == std::string::npos ? 0 : slash);
        } else if (input == "." || input == "..") {
            input = {};
        } else {
            const std::size_t next = input.find('/', 1);
            const std::size_t length = next == std::string_view::npos ? input.size() : next;
            output.append(input.substr(0, length));
            input.remove_prefix(length);
        }
    }
    return output;
}

// RFC 3986 section 5.2.3.
std::string MergePaths(const UrlParts& base, const std::string& relative)
{
    if (base.hasAuthority && base.path.empty())
        return "/" + relative;
    const std::size_t slash = base.path.rfind('/');
    return slash == std::string::npos ? relative : base.path.substr(0, slash + 1) + relative;
}

// What a browser does to a link before it reads it.
std::string CleanReference(std::string_view reference)
{
    const auto isEdge = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    while (!reference.empty() && isEdge(reference.front()))
        reference.remove_prefix(1);
    while (!reference.empty() && isEdge(reference.back()))
        reference.remove_suffix(1);
    std::string clean;
    clean.reserve(reference.size());
    bool inQuery = false;
    for (const char c : reference) {
        if (c == '\t' || c == '\r' || c == '\n')
            continue;
        if (c == '?' || c == '#')
            inQuery = true;
        clean += (c == '\\' && !inQuery) ? '/' : c;
    }
    return clean;
}

// Blanks, control bytes, non-ASCII bytes and the signs a browser encodes in
// a link; '%' stays, so that an existing "%XX" is not encoded twice.
bool KeptInResolvedUrl(unsigned char byte)
{
    return byte > 0x20 && byte < 0x7F && byte != '"' && byte != '<' && byte != '>' && byte != '`';
}

void AppendEncoded(std::string& out, std::string_view text)
{
    AppendPercentEncoded(out, text, KeptInResolvedUrl);
}

// An empty port, or the scheme's own, is dropped with its ':' (RFC 3986
// section 6.2.3), as browsers do: "http://h:/x" and "http://h:80/x" are the
// link "http://h/x", and a file found both ways is one file.
std::string WithoutDefaultPort(const std::string& authority, std::uint16_t defaultPort)
{
    const std::size_t at = authority.rfind('@');
    const std::size_t hostStart = at == std::string::npos ? 0 : at + 1;
    const std::size_t close = authority.find(']', hostStart);
    const std::size_t colon = authority.find(':', close == std::string::npos ? hostStart : close);
    if (colon == std::string::npos)
        return authority;
    const std::string_view port = std::string_view(authority).substr(colon + 1);
    std::uint16_t value = 0;
    if (!port.empty() && !(ParsePort(port, value) && value == defaultPort))
        return authority;
    return authority.substr(0, colon);
}

}  // namespace

UrlResolution ResolveUrl(std::string_view base, std::string_view reference, std::string& out)
{
    const UrlParts b = SplitReference(CleanReference(base));
    if (b.scheme.empty() || !b.hasAuthority)
        return UrlResolution::Invalid;
    UrlParts r = SplitReference(CleanReference(reference));
    // "http:x.mp3" on an http page means "x.mp3", as old pages meant it.
    if (!r.scheme.empty() && r.scheme == b.scheme && !r.hasAuthority)
        r.scheme.clear();

    UrlParts t;
    if (!r.scheme.empty()) {
        t = r;
        t.path = RemoveDotSegments(r.path);
    } else {
        t.scheme = b.scheme;
        if (r.hasAuthority) {
            t.hasAuthority = true;
            t.authority = r.authority;
            t.path = RemoveDotSegments(r.path);
            t.hasQuery = r.hasQuery;
            t.query = r.query;
        } else {
            t.hasAuthority = b.hasAuthority;
            t.authority = b.authority;
            if (r.path.empty()) {
                t.path = b.path;
                t.hasQuery = r.hasQuery || b.hasQuery;
                t.query = r.hasQuery ? r.query : b.query;
            } else {
                t.path = RemoveDotSegments(r.path.front() == '/' ? r.path : MergePaths(b, r.path));
                t.hasQuery = r.hasQuery;
                t.query = r.query;
            }
        }
    }
    if (t.scheme != "http" && t.scheme != "https")
        return UrlResolution::OtherScheme;
    if (!t.hasAuthority || t.authority.empty())
        return UrlResolution::Invalid;

    std::string url = t.scheme + "://";
    AppendEncoded(url, WithoutDefaultPort(t.authority, t.scheme == "https" ? 443 : 80));
    AppendEncoded(url, t.path.empty() ? std::string_view("/") : std::string_view(t.path));
    if (t.hasQuery) {
        url += '?';
        AppendEncoded(url, t.query);
    }
    ParsedUrl parsed;
    if (!ParseUrl(url, parsed))
        return UrlResolution::Invalid;
    out = std::move(url);
    return UrlResolution::Resolved;
}

}  // namespace platform
