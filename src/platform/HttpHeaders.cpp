#include "platform/HttpHeaders.h"

#include "platform/CaseInsensitive.h"

namespace platform {
namespace {

std::string_view TrimLineEnd(std::string_view line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    return line;
}

}  // namespace

bool AppendHeaderLine(std::string& raw, std::string_view line)
{
    line = TrimLineEnd(line);
    if (StartsWithNoCase(line, "HTTP/"))
        raw.clear();
    raw.append(line);
    raw += "\r\n";
    return line.empty();
}

std::optional<std::string> FindHeader(std::string_view rawHeaders, std::string_view name)
{
    std::string_view rest = rawHeaders;
    bool statusLine = true;
    while (!rest.empty()) {
        const std::size_t end = rest.find("\r\n");
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 2);
        if (statusLine) {
            statusLine = false;
            continue;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon != name.size() || !StartsWithNoCase(line, name))
            continue;
        std::string_view value = line.substr(colon + 1);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
            value.remove_prefix(1);
        while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
            value.remove_suffix(1);
        return std::string(value);
    }
    return std::nullopt;
}

}  // namespace platform
