// What a download reads from outside: the saved download list, a resume
// record, a Content-Range value and the bytes a server sends (the MP3 check).
#include "download/DownloadListStore.h"
#include "download/Mp3Check.h"
#include "download/ResumeState.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);

    // A list that loads is written back to the same list.
    std::vector<DownloadRecord> records;
    if (ParseDownloadList(text, records)) {
        std::vector<DownloadRecord> again;
        if (!ParseDownloadList(SerializeDownloadList(records), again) || again.size() != records.size())
            __builtin_trap();
    }
    ParseResumeState(text);
    if (const auto range = ParseContentRange(text); range && range->nLast < range->nFirst)
        __builtin_trap();
    EarlyContentKind(text);

    // The whole-file check over the same bytes as a file.
    const int fd = ::memfd_create("mp3", MFD_CLOEXEC);
    if (fd >= 0) {
        if (::write(fd, data, size) == static_cast<ssize_t>(size))
            CheckMp3File(fd, size);
        ::close(fd);
    }
    return 0;
}
