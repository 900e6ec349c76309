// Result pages as any server might send them: every link is resolved and tested.
#include "search/LinkExtractor.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> links;
    ExtractLinks(reinterpret_cast<const char*>(data), size, links);
    std::size_t total = 0;
    for (const std::string& link : links)
        total += link.size();
    // Every target is a piece of the page, and each attribute is taken once.
    if (total > size * 256)
        __builtin_trap();
    const std::string pageUrl = "http://engine.test/a/b/index.asp?s=x&start=1";
    for (const std::string& link : links) {
        const std::string resolved = ResolveLink(pageUrl, link);
        IsMp3Link(resolved);
        ResolveLink(link, pageUrl);
    }
    return 0;
}
