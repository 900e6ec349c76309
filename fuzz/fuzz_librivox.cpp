// LibriVox's book answers as any server might send them.
#include "search/sources/LibriVoxReader.h"
#include "search/sources/SourceAddress.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto read = ReadLibriVoxBooks(QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if ((!read.ok() && !read.value.empty()) || read.value.size() > static_cast<std::size_t>(kLibriVoxMaxBooks))
        __builtin_trap();
    for (const LibriVoxBook& book : read.value) {
        // Only web addresses are ever fetched as a book's feed.
        if (!IsWebAddress(book.feedUrl) || (book.seconds && *book.seconds < 0))
            __builtin_trap();
    }
    return 0;
}
