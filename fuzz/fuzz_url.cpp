// URL splitting and link resolution on arbitrary text.
#include "platform/Url.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string url(reinterpret_cast<const char*>(data), size);
    std::uint32_t service = 0;
    std::string server;
    std::string object;
    std::uint16_t port = 0;
    if (platform::AfxParseURL(url, service, server, object, port)) {
        // A parsed URL always names a host and an object starting with '/'.
        if (server.empty() || object.empty() || object.front() != '/')
            __builtin_trap();
    }
    // Resolved against a page, or against itself as the page: a result is
    // always an http(s) URL that parses and resolves to itself again.
    for (const std::string& base : {std::string("http://engine.test/a/b/index.asp?start=1"), url}) {
        std::string resolved;
        if (platform::ResolveUrl(base, url, resolved) != platform::UrlResolution::Resolved)
            continue;
        platform::ParsedUrl parsed;
        std::string again;
        if (!platform::ParseUrl(resolved, parsed) || !platform::IsHttpService(parsed.service) ||
            platform::ResolveUrl("http://other.test/", resolved, again) != platform::UrlResolution::Resolved ||
            again != resolved)
            __builtin_trap();
    }
    return 0;
}
