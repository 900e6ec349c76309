// Song tags from arbitrary bytes: a file in the music folder can be anything
// a server sent or a disk damaged. The bytes go through the play list's own
// reader, from memory, so a run costs what TagLib's parsing costs.
#include "library/TrackTags.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const TrackTags tags = ReadTrackTagsFromBytes(reinterpret_cast<const char*>(data), size);
    // Unknown numbers are -1; nothing else below zero may come out.
    if (tags.lengthSeconds < -1 || tags.bitrateKbps < -1)
        __builtin_trap();
    (void)FormatLength(tags.lengthSeconds);
    return 0;
}
