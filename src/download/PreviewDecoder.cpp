#include "download/PreviewDecoder.h"

#include "download/Mp3Head.h"
#include "platform/MpegAudioDecoder.h"

#include <mpg123.h>

#include <algorithm>
#include <utility>

namespace {

// Stream bytes given to the decoder at a time: a few frames, so that the
// read-ahead stays with the stream and not inside libmpg123.
constexpr std::size_t kFeedBytes = 16u << 10;
// Samples decoded per call into the library.
constexpr std::size_t kReadBytes = 64u << 10;

}  // namespace

PreviewDecoder::PreviewDecoder(std::string url, PreviewStream::Options options)
    : m_stream(std::move(url), options),
      // Every rate the library decodes, kept as the file has it; always
      // 16-bit signed samples, mono or stereo as the file is.
      m_decoder(std::make_unique<platform::MpegAudioDecoder>(
          platform::MpegAudioDecoder::Options{.readTags = true, .signed16Samples = true}))
{
}

PreviewDecoder::~PreviewDecoder() = default;

bool PreviewDecoder::Start()
{
    if (!m_decoder->IsOpen()) {
        m_error = PreviewError{PreviewFailure::NotMp3, 0, ContentKind::Other, "libmpg123 could not be set up"};
        return false;
    }
    return m_stream.Start();
}

PreviewError PreviewDecoder::Error() const
{
    return m_error.kind != PreviewFailure::None ? m_error : m_stream.Error();
}

std::optional<double> PreviewDecoder::LengthSeconds() const
{
    if (!m_decoder->IsOpen() || m_format.rate <= 0)
        return std::nullopt;
    const off_t samples = mpg123_length(m_decoder->Handle());
    if (samples <= 0)
        return std::nullopt;
    return static_cast<double>(samples) / static_cast<double>(m_format.rate);
}

PreviewDecoder::State PreviewDecoder::Decode(std::string& pcm, std::size_t maxBytes, std::chrono::milliseconds wait)
{
    if (m_error.kind != PreviewFailure::None || !m_decoder->IsOpen())
        return State::Failed;
    mpg123_handle* mh = m_decoder->Handle();
    const std::size_t start = pcm.size();
    bool waited = false;
    const auto fail = [this](ContentKind kind) {
        m_error = PreviewError{PreviewFailure::NotMp3, 0, kind, {}};
        return State::Failed;
    };
    for (;;) {
        const std::size_t produced = pcm.size() - start;
        std::size_t room = std::min(maxBytes - produced, kReadBytes);
        if (m_format.rate > 0)
            room -= room % m_format.BytesPerFrame();
        if (room == 0)
            return produced > 0 ? State::Pcm : State::Waiting;
        pcm.resize(start + produced + room);
        std::size_t done = 0;
        const int result = mpg123_read(mh, pcm.data() + start + produced, room, &done);
        pcm.resize(start + produced + done);
        if (m_format.rate > 0)
            m_frames += done / m_format.BytesPerFrame();
        switch (result) {
        case MPG123_NEW_FORMAT: {
            long rate = 0;
            int channels = 0;
            int encoding = 0;
            if (mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK || rate <= 0 ||
                (channels != 1 && channels != 2))
                return fail(ContentKind::Other);
            // A stream whose format changes midway goes on in its first one's
            // frames only; the player was opened for that one.
            if (m_format.rate > 0 && (rate != m_format.rate || channels != m_format.channels)) {
                m_error = PreviewError{PreviewFailure::NotMp3, 0, ContentKind::Other, "the sample format changed"};
                return produced > 0 ? State::Pcm : State::Failed;
            }
            m_format = Format{rate, channels};
            if (auto tags = m_decoder->Id3v2Tags(); tags && !tags->title.empty())
                m_title = std::move(tags->title);
            continue;
        }
        case MPG123_OK:
            continue;
        case MPG123_DONE:
            return pcm.size() > start ? State::Pcm : State::End;
        case MPG123_NEED_MORE:
            break;
        default:
            // A decoder error before the first frame: no MP3; after it, the
            // stream is damaged beyond what the decoder resyncs over.
            if (pcm.size() > start)
                return State::Pcm;
            return fail(ContentKind::Other);
        }
        if (pcm.size() > start)
            return State::Pcm;
        std::string chunk;
        const PreviewStream::State state = m_stream.Read(chunk, kFeedBytes, waited ? std::chrono::milliseconds(0) : wait);
        waited = true;
        switch (state) {
        case PreviewStream::State::Data:
            break;
        case PreviewStream::State::Waiting:
            return State::Waiting;
        case PreviewStream::State::End:
            if (m_format.rate == 0)
                return fail(m_fed == 0 ? ContentKind::Empty : ContentKind::Other);
            return State::End;
        case PreviewStream::State::Failed:
            return State::Failed;
        }
        if (m_first.size() < 10) {
            m_first.append(chunk, 0, std::min(chunk.size(), 10 - m_first.size()));
            // An ID3v2 tag of any size comes before the first frame.
            if (m_first.size() == 10)
                m_tagEnd = Mp3Head::TagEnd(m_first);
        }
        // The library estimates the length from the size only when it knows
        // the size before the first frame (an answer states it before its
        // first byte arrives), and counts every byte as audio: a tag with a
        // cover picture is left out of it.
        if (!m_sizeSet && m_first.size() == 10) {
            if (const auto size = m_stream.FileSize(); size && *size > m_tagEnd)
                mpg123_set_filesize(mh, static_cast<off_t>(*size - m_tagEnd));
            m_sizeSet = true;
        }
        if (!m_decoder->Feed(chunk.data(), chunk.size()))
            return fail(ContentKind::Other);
        m_fed += chunk.size();
        if (m_format.rate == 0 && m_fed > m_tagEnd + kMaxJunkBytes)
            return fail(ContentKind::Other);
    }
}
