// The answer's head on arbitrary bytes, the way a page fetch and a probe read
// it: lines gathered into the head, the status line, the headers looked up by
// name, the redirect target taken and parsed, the length read as a number.
#include "platform/CRuntime.h"
#include "platform/Http.h"
#include "platform/Url.h"
#include "search/HTTPCon.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string raw;
    // libcurl hands the head over line by line, each with its line end.
    while (!input.empty()) {
        const std::size_t end = input.find('\n');
        const std::string_view line = input.substr(0, end == std::string_view::npos ? input.size() : end + 1);
        input.remove_prefix(line.size());
        if (platform::AppendHeaderLine(raw, line))
            break;
    }
    for (const char* name : {"Location", "Content-Length", "content-type", "X"}) {
        if (const auto value = platform::FindHeader(raw, name)) {
            if (value->find("\r\n") != std::string::npos)
                __builtin_trap();
            if (std::string_view(name) == "Content-Length")
                platform::Atoi(*value);
        }
    }
    if (const auto target = CHTTPCon::RedirectTarget(raw)) {
        if (target->find("\r\n") != std::string::npos)
            __builtin_trap();
        std::uint32_t service = 0;
        std::string server;
        std::string object;
        std::uint16_t port = 0;
        platform::AfxParseURL(*target, service, server, object, port);
    }
    return 0;
}
