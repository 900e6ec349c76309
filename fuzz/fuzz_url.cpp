// URL splitting on arbitrary text.
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
    return 0;
}
