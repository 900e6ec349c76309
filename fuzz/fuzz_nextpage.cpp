// The next-page rule over arbitrary URLs: the first line is the current page,
// every further line a link.
#include "search/SearchQuery.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    const std::string current = lines.front();
    lines.erase(lines.begin());
    GetUrlParamValue(current, "start");
    const auto next = FindNextPageLink(current, lines, "start");
    if (next && (*next >= lines.size() || GetUrlParamValue(lines[*next], "start") <= GetUrlParamValue(current, "start")))
        __builtin_trap();
    return 0;
}
