// Compiled help files are downloaded and passed around: the contents parser
// on arbitrary bytes. chmlib itself is not fed here yet: on damaged files it
// divides by zero inside chm_open, walks listings without end and allocates
// what the file states. CChmFile refuses the headers it has seen do that
// (see its test); a reader that survives any file is still to come.
#include "settings/HelpContents.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 65536) {
        const auto topics = ParseHelpContents(QString::fromUtf8(reinterpret_cast<const char*>(data),
                                                                static_cast<qsizetype>(size)));
        if (topics.size() > kHelpContentsEntriesMax)
            __builtin_trap();
        for (const HelpTopic& topic : topics) {
            if (topic.depth < 0 || topic.depth > kHelpContentsDepthMax)
                __builtin_trap();
        }
    }
    return 0;
}
