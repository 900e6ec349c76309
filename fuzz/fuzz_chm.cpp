// Compiled help files are downloaded and passed around: arbitrary bytes as a
// manual, read whole through CChmFile (chmlib, in its reading child), every
// object read back and the title taken; and the same bytes as a contents
// page for the contents parser.
#include "settings/ChmFile.h"
#include "settings/HelpContents.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include <unistd.h>

namespace {

void FeedManual(const std::uint8_t* data, std::size_t size)
{
    static const std::string path = "/tmp/tunorva-fuzz-chm-" + std::to_string(::getpid()) + ".chm";
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr)
        return;
    const bool written = std::fwrite(data, 1, size, out) == size;
    std::fclose(out);
    CChmFile file;
    // A child that loops in chmlib is given up quickly here.
    if (written && file.Open(path, std::chrono::milliseconds(2000))) {
        for (const std::string& entry : file.Entries()) {
            if (const auto bytes = file.Read(entry); bytes && static_cast<std::size_t>(bytes->size()) > CChmFile::kObjectMax)
                __builtin_trap();
        }
        (void)file.Title();
    }
    std::remove(path.c_str());
}

void FeedContents(const std::uint8_t* data, std::size_t size)
{
    const auto topics =
        ParseHelpContents(QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if (topics.size() > kHelpContentsEntriesMax)
        __builtin_trap();
    for (const HelpTopic& topic : topics) {
        if (topic.depth < 0 || topic.depth > kHelpContentsDepthMax)
            __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size >= 4 && data[0] == 'I' && data[1] == 'T' && data[2] == 'S' && data[3] == 'F')
        FeedManual(data, size);
    else if (size < 65536)
        FeedContents(data, size);
    return 0;
}
