#include "download/Mp3Check.h"

#include "resources/Resource.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

namespace {

// Kilobits per second by [version is 1][layer 1..3][index].
constexpr std::uint16_t kBitrates[2][3][16] = {
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
};
constexpr std::uint32_t kSampleRates[3] = {44100, 48000, 32000};

// Junk some encoders leave between the tag and the first frame is tolerated
// this far; two frames in a row in the right places rule out chance.
constexpr std::size_t kSyncWindow = 4096;

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    }
    return true;
}

bool ContainsNoCase(std::string_view text, std::string_view needle)
{
    const auto it = std::search(text.begin(), text.end(), needle.begin(), needle.end(),
                                [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
    return it != text.end();
}

bool ReadAt(int fd, std::uint64_t offset, unsigned char* out, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, out + done, size - done, static_cast<off_t>(offset + done));
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::uint32_t MpegFrameLength(const unsigned char* p, std::uint32_t* signature)
{
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return 0;
    const int version = (p[1] >> 3) & 3;  // 0: 2.5, 1: reserved, 2: 2, 3: 1
    const int layerBits = (p[1] >> 1) & 3;  // 1: III, 2: II, 3: I
    const int bitrateIndex = p[2] >> 4;
    const int rateIndex = (p[2] >> 2) & 3;
    const int padding = (p[2] >> 1) & 1;
    if (version == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return 0;
    const int layer = 4 - layerBits;
    const bool v1 = version == 3;
    const std::uint32_t bitrate = kBitrates[v1 ? 1 : 0][layer - 1][bitrateIndex] * 1000u;
    std::uint32_t sampleRate = kSampleRates[rateIndex];
    if (version == 2)
        sampleRate /= 2;
    else if (version == 0)
        sampleRate /= 4;
    if (signature != nullptr)
        *signature = static_cast<std::uint32_t>(version << 4 | layerBits << 2 | rateIndex);
    if (layer == 1)
        return (12 * bitrate / sampleRate + static_cast<std::uint32_t>(padding)) * 4;
    const std::uint32_t factor = layer == 3 && !v1 ? 72 : 144;
    return factor * bitrate / sampleRate + static_cast<std::uint32_t>(padding);
}

ContentKind EarlyContentKind(std::string_view head)
{
    // A byte-order mark and leading blanks come before markup and JSON alike.
    if (head.substr(0, 3) == "\xEF\xBB\xBF")
        head.remove_prefix(3);
    while (!head.empty() && std::isspace(static_cast<unsigned char>(head.front())))
        head.remove_prefix(1);
    if (head.empty())
        return ContentKind::Mp3;
    if (StartsWithNoCase(head, "<!doctype html") || StartsWithNoCase(head, "<html") ||
        StartsWithNoCase(head, "<head") || StartsWithNoCase(head, "<body") || StartsWithNoCase(head, "<!--"))
        return ContentKind::WebPage;
    if (StartsWithNoCase(head, "<?xml"))
        return ContentKind::Xml;
    if (head.front() == '{' || head.front() == '[')
        return ContentKind::Json;
    if (head.front() == '<' && ContainsNoCase(head.substr(0, 1024), "<html"))
        return ContentKind::WebPage;
    return ContentKind::Mp3;
}

ContentKind CheckMp3File(int fd, std::uint64_t fileSize)
{
    if (fileSize == 0)
        return ContentKind::Empty;
    std::array<unsigned char, 10> id3{};
    std::uint64_t offset = 0;
    if (fileSize >= 10 && ReadAt(fd, 0, id3.data(), id3.size()) && id3[0] == 'I' && id3[1] == 'D' && id3[2] == '3' &&
        id3[3] != 0xFF && id3[4] != 0xFF && (id3[6] | id3[7] | id3[8] | id3[9]) < 0x80) {
        const std::uint64_t size = std::uint64_t{id3[6]} << 21 | std::uint64_t{id3[7]} << 14 |
                                   std::uint64_t{id3[8]} << 7 | std::uint64_t{id3[9]};
        offset = 10 + size + ((id3[5] & 0x10) != 0 ? 10 : 0);
    }
    if (offset >= fileSize)
        return ContentKind::Other;

    std::vector<unsigned char> window(static_cast<std::size_t>(std::min<std::uint64_t>(kSyncWindow + 4, fileSize - offset)));
    if (!ReadAt(fd, offset, window.data(), window.size()))
        return ContentKind::Other;
    if (offset == 0) {
        const ContentKind early =
            EarlyContentKind(std::string_view(reinterpret_cast<const char*>(window.data()), window.size()));
        if (early != ContentKind::Mp3)
            return early;
    }
    for (std::size_t i = 0; i + 4 <= window.size(); ++i) {
        std::uint32_t first = 0;
        const std::uint32_t length = MpegFrameLength(&window[i], &first);
        if (length == 0)
            continue;
        const std::uint64_t next = offset + i + length;
        // A stream of one frame ends exactly there, or in a 128-byte ID3v1 tag.
        if (next == fileSize)
            return ContentKind::Mp3;
        std::array<unsigned char, 4> header{};
        if (next + 4 > fileSize || !ReadAt(fd, next, header.data(), header.size()))
            continue;
        if (fileSize - next == 128 && header[0] == 'T' && header[1] == 'A' && header[2] == 'G')
            return ContentKind::Mp3;
        std::uint32_t second = 0;
        if (MpegFrameLength(header.data(), &second) != 0 && second == first)
            return ContentKind::Mp3;
    }
    return ContentKind::Other;
}

unsigned ContentKindTextId(ContentKind kind)
{
    switch (kind) {
    case ContentKind::WebPage: return IDS_CHECK_WEB_PAGE;
    case ContentKind::Json: return IDS_CHECK_JSON;
    case ContentKind::Xml: return IDS_CHECK_XML;
    case ContentKind::Empty: return IDS_CHECK_EMPTY;
    default: return IDS_CHECK_NOT_MP3;
    }
}
