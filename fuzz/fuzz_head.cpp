// A file's head from arbitrary bytes: what a probe reads is whatever a server
// sends. The first bytes go in as the head, the rest as the bytes behind a
// long tag, with a file size taken from the input.
#include "download/Mp3Head.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t split = size / 2;
    const std::uint64_t fileSize = size >= 8 ? (std::uint64_t{data[0]} << 24 | std::uint64_t{data[1]} << 16) + size : size;
    const Mp3Head head = Mp3Head::Read(bytes.substr(0, split), bytes.substr(split), fileSize, true);
    // A length or bitrate below zero, or a fingerprint or digest that is not
    // XXH3-128 or SHA-256 in hex, is a fault.
    if (head.seconds < 0 || head.bitrate < 0 || head.fingerprint.size() != 32 || head.digest.size() != 64)
        __builtin_trap();
    (void)Mp3Head::TagEnd(bytes);
    (void)Mp3Head::PlainlyNotMp3(bytes);
    return 0;
}
