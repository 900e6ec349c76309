#include "download/MpegFrameHeader.h"

namespace {

// kbit/s by bitrate index: MPEG-1 layers I, II, III, then MPEG-2/2.5 layer I,
// and layers II and III.
constexpr int kBitrates[5][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
};
constexpr long kRates[3] = {44100, 48000, 32000};
constexpr std::size_t kId3v1Bytes = 128;

}  // namespace

std::optional<MpegFrameHeader> MpegFrameHeader::Read(std::string_view bytes)
{
    if (bytes.size() < 4)
        return std::nullopt;
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (b(0) != 0xFF || (b(1) & 0xE0) != 0xE0)
        return std::nullopt;
    const int versionBits = (b(1) >> 3) & 3;  // 0: 2.5, 1: reserved, 2: 2, 3: 1
    const int layerBits = (b(1) >> 1) & 3;    // 0: reserved, 1: III, 2: II, 3: I
    const int bitrateIndex = b(2) >> 4;
    const int rateIndex = (b(2) >> 2) & 3;
    const bool padded = ((b(2) >> 1) & 1) != 0;
    if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return std::nullopt;
    MpegFrameHeader header;
    header.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
    header.layer = 4 - layerBits;
    const int table = header.version == 1 ? header.layer - 1 : header.layer == 1 ? 3 : 4;
    header.bitrate = kBitrates[table][bitrateIndex];
    header.rate = kRates[rateIndex] / (header.version == 1 ? 1 : header.version == 2 ? 2 : 4);
    header.channels = (b(3) >> 6) == 3 ? 1 : 2;
    const long bitsPerSecond = header.bitrate * 1000L;
    if (header.layer == 1) {
        header.samples = 384;
        header.bytes = static_cast<std::size_t>((12 * bitsPerSecond / header.rate + (padded ? 1 : 0)) * 4);
    } else {
        // Layer III of MPEG-2 and 2.5 has half as many samples a frame.
        const bool half = header.layer == 3 && header.version != 1;
        header.samples = half ? 576 : 1152;
        header.bytes = static_cast<std::size_t>((half ? 72 : 144) * bitsPerSecond / header.rate + (padded ? 1 : 0));
    }
    return header;
}

std::optional<MpegFrameHeader> SingleFrameStream(std::string_view stream)
{
    const std::optional<MpegFrameHeader> header = MpegFrameHeader::Read(stream);
    if (!header)
        return std::nullopt;
    if (header->bytes == stream.size())
        return header;
    if (header->bytes + kId3v1Bytes == stream.size() && stream.substr(header->bytes, 3) == "TAG")
        return header;
    return std::nullopt;
}
