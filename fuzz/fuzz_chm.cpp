// Compiled help files are downloaded and passed around: the reader over
// chmlib and the contents parser on arbitrary bytes. The bytes go to an
// in-memory file, since chmlib opens files by name.
#include "settings/ChmFile.h"
#include "settings/HelpContents.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The contents parser sees the bytes themselves as a site map too.
    if (size < 4096) {
        const auto topics = ParseHelpContents(QString::fromUtf8(reinterpret_cast<const char*>(data),
                                                                static_cast<qsizetype>(size)));
        if (topics.size() > kHelpContentsEntriesMax)
            __builtin_trap();
        for (const HelpTopic& topic : topics) {
            if (topic.depth < 0 || topic.depth > kHelpContentsDepthMax)
                __builtin_trap();
        }
    }

    const int fd = memfd_create("fuzz_chm", MFD_CLOEXEC);
    if (fd < 0)
        return 0;
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = write(fd, data + written, size - written);
        if (n <= 0)
            break;
        written += static_cast<std::size_t>(n);
    }
    {
        CChmFile file;
        if (file.Open("/proc/self/fd/" + std::to_string(fd))) {
            (void)file.Title();
            int read = 0;
            for (const std::string& entry : file.Entries()) {
                if (++read > 64)
                    break;
                const auto bytes = file.Read(entry);
                if (bytes && entry.size() > 4 && entry.compare(entry.size() - 4, 4, ".hhc") == 0)
                    (void)ParseHelpContents(QString::fromUtf8(*bytes));
            }
            (void)file.Read("/index.html");
            (void)file.Read("/../../etc/passwd");
        }
    }
    close(fd);
    return 0;
}
