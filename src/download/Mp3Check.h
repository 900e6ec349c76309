#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// What a downloaded body turned out to be. Anything but Mp3 fails the
// download with a text that says what arrived.
enum class ContentKind { Mp3, WebPage, Json, Xml, Empty, Other };

// The early look at the first bytes of a body (as they arrive): a web page,
// JSON or XML shows from its first characters, and such a transfer need not
// fetch the rest. Mp3 while nothing plainly says otherwise.
ContentKind EarlyContentKind(std::string_view head);

// The check of a complete file: an ID3v2 tag or none (skipped by its declared
// size), then an MPEG audio frame header, then a second one where the first
// frame's bitrate, sample rate and padding put it. Reads only the few places
// it needs, so a tag of any size costs nothing.
ContentKind CheckMp3File(int fd, std::uint64_t fileSize);

// The failure text id for a kind that is not Mp3.
unsigned ContentKindTextId(ContentKind kind);

// Length in bytes of the MPEG audio frame whose header starts at `p` (at
// least 4 bytes), or 0 when the bytes are no valid header. `signature`
// receives version, layer and sample rate, which every frame of a stream
// shares.
std::uint32_t MpegFrameLength(const unsigned char* p, std::uint32_t* signature = nullptr);
