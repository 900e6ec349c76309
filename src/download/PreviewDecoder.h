#pragma once

#include "download/PreviewStream.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {
class MpegAudioDecoder;
}

// A found file's sound as it streams: the PreviewStream's bytes decoded by
// libmpg123 into interleaved signed 16-bit samples at the file's own sample
// rate and channel count. The window plays what it gives; tunorva-cli writes
// it to a WAV file. One thread uses it at a time.
class PreviewDecoder final {
public:
    struct Format {
        long rate = 0;     // Hz; 0 until the first frame has been read
        int channels = 0;  // 1 or 2
        std::size_t BytesPerFrame() const { return static_cast<std::size_t>(channels) * 2; }
    };

    enum class State {
        Pcm,      // samples were added
        Waiting,  // nothing to decode yet; the stream is fetching
        End,      // the whole file has been decoded
        Failed,   // see Error()
    };

    explicit PreviewDecoder(std::string url, PreviewStream::Options options = {});
    ~PreviewDecoder();
    PreviewDecoder(const PreviewDecoder&) = delete;
    PreviewDecoder& operator=(const PreviewDecoder&) = delete;

    // Starts fetching; false (Error() set) when the URL cannot be fetched.
    bool Start();

    // Appends whole sample frames, at most `maxBytes`, to `pcm`. While
    // nothing can be decoded it waits up to `wait` for the stream; a wait
    // of 0 never blocks (the window's timer).
    State Decode(std::string& pcm, std::size_t maxBytes, std::chrono::milliseconds wait);

    Format OutputFormat() const { return m_format; }
    // The ID3v2 title (UTF-8), empty when the stream has none (yet).
    const std::string& Title() const { return m_title; }
    // The whole file's playing time, once the stream's size or a VBR header
    // tells it.
    std::optional<double> LengthSeconds() const;
    // Sample frames handed out so far.
    std::uint64_t FramesDecoded() const { return m_frames; }
    PreviewError Error() const;
    const PreviewStream& Stream() const { return m_stream; }

    // Bytes after the ID3v2 tags that may go by without an MPEG audio frame
    // before the stream counts as no MP3.
    static constexpr std::size_t kMaxJunkBytes = 64u << 10;
    // Leading ID3v2 tags looked at; more end the stream as no MP3.
    static constexpr int kMaxTags = 16;

private:
    // Hands the stream's next bytes to the decoder, passing over the leading
    // tags (see the .cpp); false when the stream cannot be MP3.
    bool Take(std::string_view chunk);
    bool Feed(std::string_view bytes);
    State Fail(ContentKind kind, std::string detail = {});

    PreviewStream m_stream;
    std::size_t m_readAhead = 0;
    std::unique_ptr<platform::MpegAudioDecoder> m_decoder;
    Format m_format;
    bool m_otherFormat = false;          // the frames now decoded are of another format, and dropped
    std::string m_title;
    std::uint64_t m_frames = 0;
    std::uint64_t m_pos = 0;             // the stream offset of the next byte taken from the stream
    std::uint64_t m_decodedAt = 0;       // m_pos when the decoder last gave samples
    // The leading tags: where the next one may start, its first 10 bytes as
    // they come, how many there were, and where the audio starts once they
    // have all gone by.
    std::uint64_t m_nextTag = 0;
    std::string m_tagHeader;
    int m_tags = 0;
    bool m_feedTag = false;              // the tag at hand goes to the decoder
    std::optional<std::uint64_t> m_audioStart;
    PreviewError m_error;                // the decoder's own failure
};
