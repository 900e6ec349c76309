#include "download/Mp3Head.h"

#include "download/ContentKind.h"
#include "download/MpegFrameHeader.h"
#include "platform/MpegAudioDecoder.h"

#include <mpg123.h>
#include <openssl/evp.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tbytevectorstream.h>
#include <xxhash.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

// A decoder costs more to make than a head costs to read: each probe worker
// keeps one, restarted for every head. Junk or padding before the first
// frame may fill the whole head.
platform::MpegAudioDecoder* ThreadDecoder()
{
    thread_local platform::MpegAudioDecoder decoder(
        {.resyncLimit = static_cast<long>(Mp3Head::kBytes), .readTags = true});
    return decoder.Restart() ? &decoder : nullptr;
}

std::string Hex(const unsigned char* bytes, std::size_t count)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(2 * count);
    for (std::size_t i = 0; i < count; ++i) {
        hex += kHex[bytes[i] >> 4];
        hex += kHex[bytes[i] & 0xF];
    }
    return hex;
}

// SHA-256 in hex, by OpenSSL: Qt's own takes ten times as long.
std::string Sha256Hex(std::string_view first, std::string_view second)
{
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1 ||
        EVP_DigestUpdate(context.get(), first.data(), first.size()) != 1 ||
        EVP_DigestUpdate(context.get(), second.data(), second.size()) != 1 ||
        EVP_DigestFinal_ex(context.get(), digest, &length) != 1)
        return {};
    return Hex(digest, length);
}

// XXH3's 128-bit hash of both parts in turn, in hex, in its canonical
// (big-endian) byte order.
std::string Xxh128Hex(std::string_view first, std::string_view second)
{
    XXH128_hash_t hash{};
    if (second.empty()) {
        hash = XXH3_128bits(first.data(), first.size());
    } else {
        std::unique_ptr<XXH3_state_t, decltype(&XXH3_freeState)> state(XXH3_createState(), &XXH3_freeState);
        if (!state || XXH3_128bits_reset(state.get()) != XXH_OK ||
            XXH3_128bits_update(state.get(), first.data(), first.size()) != XXH_OK ||
            XXH3_128bits_update(state.get(), second.data(), second.size()) != XXH_OK)
            return {};
        hash = XXH3_128bits_digest(state.get());
    }
    XXH128_canonical_t canonical;
    XXH128_canonicalFromHash(&canonical, hash);
    return Hex(canonical.digest, sizeof canonical.digest);
}

bool StartsWith(std::string_view bytes, std::string_view prefix)
{
    return bytes.size() >= prefix.size() && bytes.compare(0, prefix.size(), prefix) == 0;
}

// A Fraunhofer VBRI header sits 32 bytes after the first frame's header and
// holds the stream's frame count; libmpg123 reads only the Xing/Info header.
std::optional<std::uint32_t> VbriFrames(const unsigned char* body, std::size_t bytes)
{
    constexpr std::size_t kOffset = 32;
    if (body == nullptr || bytes < kOffset + 18 || std::memcmp(body + kOffset, "VBRI", 4) != 0)
        return std::nullopt;
    const unsigned char* frames = body + kOffset + 14;
    return (std::uint32_t{frames[0]} << 24) | (std::uint32_t{frames[1]} << 16) | (std::uint32_t{frames[2]} << 8) |
           std::uint32_t{frames[3]};
}

// A stream of one frame, which the decoder does not trust without a next
// header to see: its header tells all there is.
void ReadSingleFrame(std::string_view stream, Mp3Head& head)
{
    const std::optional<MpegFrameHeader> frame = SingleFrameStream(stream);
    if (!frame)
        return;
    head.mp3 = true;
    head.version = frame->version;
    head.layer = frame->layer;
    head.rate = frame->rate;
    head.channels = frame->channels;
    head.bitrate = frame->bitrate;
    head.seconds = static_cast<double>(frame->samples) / static_cast<double>(frame->rate);
}

// The format, bitrate and length from the stream's first frames, fed to
// libmpg123 from memory. `streamSize` counts the bytes from the first of
// `audio` to the end of the file.
// `tag`: the file's whole ID3v2 tag, fed first so that the decoder reads its
// title, artist and album on its way to the audio.
void ReadStream(std::string_view tag, std::string_view audio, std::optional<std::uint64_t> streamSize,
                Mp3Head& head)
{
    platform::MpegAudioDecoder* decoder = audio.empty() ? nullptr : ThreadDecoder();
    if (decoder == nullptr)
        return;
    mpg123_handle* mh = decoder->Handle();
    // The library counts every byte of the size as audio, whatever tag it
    // reads first: it is told the stream's own.
    if (streamSize && *streamSize <= static_cast<std::uint64_t>(INT64_MAX))
        mpg123_set_filesize(mh, static_cast<off_t>(*streamSize));
    if (!decoder->Feed(tag.data(), tag.size()) || !decoder->Feed(audio.data(), audio.size()))
        return;

    bool first = true;
    int firstBitrate = 0;
    std::optional<std::uint32_t> vbriFrames;
    bool lengthInHeader = false;  // a Xing, Info or VBRI header counts the frames
    // A few frames tell the format, and whether bitrates change without a
    // header saying so; the rest of the head adds nothing.
    constexpr int kFramesLookedAt = 16;
    for (int frames = 0; frames < kFramesLookedAt; ++frames) {
        const int rc = mpg123_framebyframe_next(mh);
        if (rc != MPG123_OK && rc != MPG123_NEW_FORMAT)
            break;
        mpg123_frameinfo2 info{};
        if (mpg123_info(mh, &info) != MPG123_OK)
            break;
        if (first) {
            first = false;
            head.mp3 = true;
            head.version = info.version == MPG123_1_0 ? 1 : info.version == MPG123_2_0 ? 2 : 25;
            head.layer = info.layer;
            head.rate = info.rate;
            head.channels = info.mode == MPG123_M_MONO ? 1 : 2;
            head.bitrate = firstBitrate = info.bitrate;
            head.vbr = info.vbr != MPG123_CBR;
            unsigned long header = 0;
            unsigned char* body = nullptr;
            std::size_t bytes = 0;
            if (mpg123_framedata(mh, &header, &body, &bytes) == MPG123_OK)
                vbriFrames = VbriFrames(body, bytes);
            if (vbriFrames)
                head.vbr = true;
            // A VBR header, or the encoder's Info frame (its delay is known),
            // speaks for the whole stream: the frames after it add nothing.
            long delay = -1;
            lengthInHeader =
                head.vbr || (mpg123_getstate(mh, MPG123_ENC_DELAY, &delay, nullptr) == MPG123_OK && delay >= 0);
            if (lengthInHeader)
                break;
        } else if (info.bitrate != firstBitrate && !vbriFrames) {
            // No header says so, but the frames' bitrates differ.
            head.vbr = true;
        }
    }
    if (!tag.empty()) {
        if (auto tags = decoder->Id3v2Tags()) {
            head.title = std::move(tags->title);
            head.artist = std::move(tags->artist);
            head.album = std::move(tags->album);
        }
    }
    if (!head.mp3 && streamSize && audio.size() >= *streamSize) {
        ReadSingleFrame(audio.substr(0, static_cast<std::size_t>(*streamSize)), head);
        return;
    }
    if (!head.mp3 || head.rate <= 0)
        return;

    off_t samples = -1;
    if (vbriFrames)
        samples = static_cast<off_t>(*vbriFrames) * mpg123_spf(mh);
    else
        samples = mpg123_length(mh);
    // Without a header, the length is the size over the bitrate: with no
    // size it is unknown, whatever the library makes of the bytes it has.
    if (samples > 0 && (lengthInHeader || streamSize))
        head.seconds = static_cast<double>(samples) / static_cast<double>(head.rate);
    // The average of a variable bitrate: the stream's bytes (the size the
    // server gave, less the tags) over its length, whatever the VBR header
    // counts; without a size it is unknown, as the first frame's is no average.
    if (head.vbr)
        head.bitrate = streamSize && head.seconds > 0
                           ? static_cast<int>(static_cast<double>(*streamSize) * 8.0 / head.seconds / 1000.0 + 0.5)
                           : 0;
}

void ReadTags(std::string_view bytes, Mp3Head& head)
{
    // A tag cut off where the head ends still gives the frames before the cut.
    TagLib::ByteVector data(bytes.data(), static_cast<unsigned>(bytes.size()));
    TagLib::ByteVectorStream stream(data);
    TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag(false);
    if (tag == nullptr)
        return;
    head.title = tag->title().to8Bit(true);
    head.artist = tag->artist().to8Bit(true);
    head.album = tag->album().to8Bit(true);
}

}  // namespace

std::uint64_t Mp3Head::TagEnd(std::string_view head)
{
    if (head.size() < 10 || !StartsWith(head, "ID3"))
        return 0;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(head[i]); };
    // The size is four 7-bit bytes; a set top bit means no tag.
    if (byte(3) == 0xFF || byte(4) == 0xFF || ((byte(6) | byte(7) | byte(8) | byte(9)) & 0x80) != 0)
        return 0;
    const std::uint64_t size = (std::uint64_t{byte(6)} << 21) | (std::uint64_t{byte(7)} << 14) |
                               (std::uint64_t{byte(8)} << 7) | std::uint64_t{byte(9)};
    const bool footer = byte(3) == 4 && (byte(5) & 0x10) != 0;
    return 10 + size + (footer ? 10 : 0);
}

bool Mp3Head::PlainlyNotMp3(std::string_view head)
{
    if (IsOtherFormat(head))
        return true;
    // Text: a page, an XML document or JSON, after blanks and a byte-order mark.
    std::string_view text = head;
    if (StartsWith(text, "\xEF\xBB\xBF"))
        text.remove_prefix(3);
    const std::size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos)
        return false;
    const char c = text[start];
    return c == '<' || c == '{' || c == '[';
}

Mp3Head Mp3Head::Read(std::string_view head, std::string_view afterTag, std::optional<std::uint64_t> fileSize,
                      bool withDigest)
{
    Mp3Head facts;
    facts.known = true;
    const std::string_view first = head.substr(0, std::min(head.size(), kBytes));
    facts.fingerprint = Xxh128Hex(first, afterTag);
    if (withDigest)
        facts.digest = Sha256Hex(first, afterTag);

    if (PlainlyNotMp3(first)) {
        facts.notMp3 = true;
        return facts;
    }
    // The texts are the first tag's: a second tag behind it is an older one
    // that a tagger left in place, and not the file's. A tag that the head
    // holds whole is read by the decoder on its way to the audio; one cut off
    // where the head ends (a cover picture) by TagLib, which still gives the
    // frames before the cut.
    const std::uint64_t tagEnd = TagEnd(first);
    const bool tagInHead = tagEnd > 0 && tagEnd < first.size() && afterTag.empty();
    if (tagEnd > 0 && !tagInHead)
        ReadTags(first.substr(0, static_cast<std::size_t>(std::min<std::uint64_t>(tagEnd, first.size()))), facts);
    // The audio starts where the tags end: in the head itself, or in the
    // second range fetched where the first tag ends. Further tags there are
    // passed over by their sizes.
    std::string_view audio;
    if (!afterTag.empty())
        audio = afterTag;
    else if (tagEnd < first.size())
        audio = first.substr(static_cast<std::size_t>(tagEnd));
    std::uint64_t audioStart = tagEnd;
    for (std::uint64_t next = TagEnd(audio); next > 0; next = TagEnd(audio)) {
        if (next >= audio.size()) {
            audio = {};
            break;
        }
        audio.remove_prefix(static_cast<std::size_t>(next));
        audioStart += next;
    }
    std::optional<std::uint64_t> streamSize;
    if (fileSize && *fileSize >= audioStart)
        streamSize = *fileSize - audioStart;
    const std::string_view tag = tagInHead ? first.substr(0, static_cast<std::size_t>(tagEnd)) : std::string_view();
    ReadStream(tag, audio, streamSize, facts);
    return facts;
}
