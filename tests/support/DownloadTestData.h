#pragma once

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

// A body whose every byte depends on its offset, so that a lost, doubled or
// shifted block shows in a comparison. It is laid out as MPEG audio frames
// (128 kbit/s at 44.1 kHz, 417 bytes each, a header at the start of each),
// so that a download of it passes the MP3 check.
inline std::string PatternBody(std::size_t size)
{
    static constexpr unsigned char kFrameHeader[4] = {0xFF, 0xFB, 0x90, 0x64};
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        const std::size_t inFrame = i % 417;
        body[i] = inFrame < 4 ? static_cast<char>(kFrameHeader[inFrame]) : static_cast<char>((i * 131 + i / 1024) & 0xFF);
    }
    return body;
}

inline std::optional<std::string> ReadWhole(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}
