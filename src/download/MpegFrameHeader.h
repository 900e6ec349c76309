#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

// The four bytes every MPEG audio frame starts with, read by the tables of
// ISO 11172-3 and 13818-3. A decoder trusts a frame only once it has seen the
// next frame's header too; a stream of a single frame has none, so its one
// frame is judged by its header and its length.
struct MpegFrameHeader {
    int version = 0;        // 1, 2 or 25 (for 2.5)
    int layer = 0;          // 1, 2 or 3
    int bitrate = 0;        // kbit/s
    long rate = 0;          // Hz
    int channels = 0;       // 1 or 2
    std::size_t bytes = 0;  // the whole frame, header included
    int samples = 0;        // sample frames it holds

    // The header at the start of `bytes`; nothing for fewer than four bytes,
    // no frame sync, reserved values, or a free-format bitrate (whose length
    // the header does not tell).
    static std::optional<MpegFrameHeader> Read(std::string_view bytes);
};

// Whether `stream` (what follows the ID3v2 tags, to the end of the file) is a
// single whole frame, alone or followed by a 128-byte ID3v1 tag.
std::optional<MpegFrameHeader> SingleFrameStream(std::string_view stream);
