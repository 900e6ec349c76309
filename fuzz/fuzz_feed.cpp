// Podcast feeds as any server might send them.
#include "search/FeedReader.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const FeedPage page = ParseFeed(std::string_view(reinterpret_cast<const char*>(data), size),
                                    "http://feeds.test/show/feed.xml");
    for (const FeedFile& file : page.files) {
        // Every found file is an absolute web address saved under an MP3 name.
        if (file.url.rfind("http", 0) != 0 || file.fileName.size() < 4 ||
            file.fileName.find('/') != std::string::npos)
            __builtin_trap();
    }
    return 0;
}
