#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct mpg123_handle_struct;

namespace platform {

// An MPEG audio decoder (libmpg123) that is handed the stream's bytes as
// they are read, instead of opening a file or a URL itself: the caller
// decides how much of a stream is read, and from where.
class MpegAudioDecoder final {
public:
    struct Options {
        // How far the decoder looks past junk for the first frame and for a
        // frame after a broken one.
        long resyncLimit = 1024;
        // ID3v2 tags in the stream are read (for their frames) rather than
        // only skipped.
        bool readTags = false;
        // Samples come out as 16-bit signed integers at the stream's own
        // rate and channels, rather than as the library likes best.
        bool signed16Samples = false;
    };

    enum class Step {
        Frame,     // a frame was decoded
        NeedMore,  // every byte fed so far has been used
        Error,     // the stream cannot be decoded any further
    };

    MpegAudioDecoder();
    explicit MpegAudioDecoder(const Options& options);
    ~MpegAudioDecoder();
    MpegAudioDecoder(const MpegAudioDecoder&) = delete;
    MpegAudioDecoder& operator=(const MpegAudioDecoder&) = delete;

    // False when libmpg123 could not make a decoder; every other call then fails.
    bool IsOpen() const { return m_handle != nullptr; }

    // Forgets the stream fed so far, to be fed another from its first byte:
    // much cheaper than a new decoder.
    bool Restart();

    // Hands over the next bytes of the stream; the decoder keeps a copy.
    bool Feed(const void* bytes, std::size_t size);
    // Decodes the next frame of what has been fed (a change of format on the
    // way is taken in its stride).
    Step DecodeFrame();

    // Of the frame decoded last: where it starts in the stream fed (its
    // first byte is 0) and its length with its header; -1 and 0 before the
    // first frame.
    std::int64_t FramePosition() const;
    int FrameBytes() const;
    // Its bitrate in kbit/s (0 for a free-format stream) and sample rate.
    int Bitrate() const;
    long SampleRate() const;

    // The texts of the ID3v2 tag read so far (with Options::readTags), in
    // UTF-8; each ends at its first NUL, whatever the tag says of its length.
    struct Tags {
        std::string title;
        std::string artist;
        std::string album;
    };
    std::optional<Tags> Id3v2Tags() const;

    // The libmpg123 handle, for the library's other readers (tags, length).
    mpg123_handle_struct* Handle() const { return m_handle.get(); }

private:
    struct Delete {
        void operator()(mpg123_handle_struct* handle) const;
    };
    std::unique_ptr<mpg123_handle_struct, Delete> m_handle;
};

}  // namespace platform
