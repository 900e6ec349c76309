// Jamendo's answers as any server might send them.
#include "search/sources/JamendoReader.h"
#include "search/sources/SourceAddress.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto read = ReadJamendoAnswer(QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if (!read.ok() && !read.value.empty())
        __builtin_trap();
    for (const SourceFile& file : read.value) {
        // The name it is saved under is one plain MP3 file name.
        if (!IsWebAddress(file.url) || !file.fileName.endsWith(QStringLiteral(".mp3")) || file.fileName.contains(u'/') ||
            file.fileName.startsWith(u'.'))
            __builtin_trap();
    }
    return 0;
}
