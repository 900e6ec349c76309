// The podcast directory's answers as any server might send them.
#include "search/sources/PodcastReader.h"
#include "search/sources/SourceAddress.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto read = ReadPodcastAnswer(QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if (!read.ok() && !read.value.empty())
        __builtin_trap();
    for (const SourceFile& file : read.value) {
        if (!IsWebAddress(file.url) || (file.lengthSeconds && *file.lengthSeconds < 0))
            __builtin_trap();
    }
    return 0;
}
