#include "download/Mp3Check.h"

#include "download/Mp3Head.h"
#include "download/MpegFrameHeader.h"
#include "platform/MpegAudioDecoder.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Junk that encoders and tag writers leave between the tags and the first
// frame is passed over this far.
constexpr std::size_t kJunkBytes = 64 * 1024;
// A stream is audio when the decoder makes this many frames of it (noise
// rarely gives two in a row), or when it is shorter and its frames run to
// its end.
constexpr int kFramesNeeded = 4;
// Bytes handed to the decoder at a time; after the junk, this much more is
// enough for kFramesNeeded frames of any bitrate, free format included.
constexpr std::size_t kFeedBlock = 16 * 1024;
constexpr std::size_t kFrameBytes = 32 * 1024;
// The first bytes that name a format.
constexpr std::size_t kSignatureBytes = 1024;

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

// Whether the stream from `offset` to the end is one whole frame (and maybe an
// ID3v1 tag): the decoder makes none of it, as it waits for a next header.
bool IsSingleFrame(int fd, std::uint64_t offset, std::uint64_t fileSize)
{
    constexpr std::size_t kLongestFrame = 4096;
    if (fileSize - offset > kLongestFrame)
        return false;
    std::string stream(static_cast<std::size_t>(fileSize - offset), '\0');
    return ReadAt(fd, offset, reinterpret_cast<unsigned char*>(stream.data()), stream.size()) &&
           SingleFrameStream(stream).has_value();
}

// Whether libmpg123 plays the stream that starts at `offset`: kFramesNeeded
// frames, or all of a shorter stream. Reads a block at a time and at most the junk allowance and a
// few frames, whatever the file's size.
bool DecodesAsMpegAudio(int fd, std::uint64_t offset, std::uint64_t fileSize)
{
    platform::MpegAudioDecoder::Options options;
    options.resyncLimit = static_cast<long>(kJunkBytes);
    platform::MpegAudioDecoder decoder(options);
    if (!decoder.IsOpen())
        return false;
    const std::uint64_t end = std::min(fileSize, offset + kJunkBytes + kFrameBytes);
    std::vector<unsigned char> block(kFeedBlock);
    std::uint64_t fed = offset;
    int frames = 0;
    std::int64_t lastFrameEnd = 0;
    for (;;) {
        const platform::MpegAudioDecoder::Step step = decoder.DecodeFrame();
        if (step == platform::MpegAudioDecoder::Step::Frame) {
            lastFrameEnd = decoder.FramePosition() + decoder.FrameBytes();
            if (++frames == kFramesNeeded)
                return true;
            continue;
        }
        if (step == platform::MpegAudioDecoder::Step::Error || fed >= end)
            break;
        const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), end - fed));
        if (!ReadAt(fd, fed, block.data(), size) || !decoder.Feed(block.data(), size))
            return false;
        fed += size;
    }
    // A stream shorter than kFramesNeeded frames, read to its end: two
    // frames in a row, or one that runs to the end or to an ID3v1 tag.
    if (fed < fileSize)
        return false;
    if (frames == 0)
        return IsSingleFrame(fd, offset, fileSize);
    if (frames >= 2)
        return true;
    const std::uint64_t streamEnd = offset + static_cast<std::uint64_t>(std::max<std::int64_t>(lastFrameEnd, 0));
    if (streamEnd >= fileSize)
        return true;
    std::array<unsigned char, 3> tag{};
    return fileSize - streamEnd == 128 && ReadAt(fd, streamEnd, tag.data(), tag.size()) && tag[0] == 'T' &&
           tag[1] == 'A' && tag[2] == 'G';
}

}  // namespace

ContentKind CheckMp3File(int fd, std::uint64_t fileSize)
{
    if (fileSize == 0)
        return ContentKind::Empty;
    std::array<unsigned char, kSignatureBytes> head{};
    const std::size_t headSize = static_cast<std::size_t>(std::min<std::uint64_t>(head.size(), fileSize));
    if (!ReadAt(fd, 0, head.data(), headSize))
        return ContentKind::Other;
    const std::string_view headText(reinterpret_cast<const char*>(head.data()), headSize);
    if (const ContentKind early = EarlyContentKind(headText); early != ContentKind::Mp3)
        return early;
    if (IsOtherFormat(headText))
        return ContentKind::Other;

    // Tags are passed over by their declared sizes, so that a tag of any
    // size (a cover picture of megabytes) costs nothing to read.
    std::uint64_t offset = 0;
    std::array<unsigned char, 10> id3{};
    while (offset + id3.size() <= fileSize && ReadAt(fd, offset, id3.data(), id3.size())) {
        const std::string_view header(reinterpret_cast<const char*>(id3.data()), id3.size());
        const std::uint64_t tag = Mp3Head::TagEnd(header);
        if (tag == 0)
            break;
        offset += tag;
    }
    if (offset >= fileSize)
        return ContentKind::Other;
    if (offset > 0) {
        const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(head.size(), fileSize - offset));
        if (!ReadAt(fd, offset, head.data(), size) ||
            IsOtherFormat(std::string_view(reinterpret_cast<const char*>(head.data()), size)))
            return ContentKind::Other;
    }
    return DecodesAsMpegAudio(fd, offset, fileSize) ? ContentKind::Mp3 : ContentKind::Other;
}
