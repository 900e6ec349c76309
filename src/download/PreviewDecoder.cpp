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
      m_readAhead(std::max<std::size_t>(options.readAhead, 1)),
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

PreviewDecoder::State PreviewDecoder::Fail(ContentKind kind, std::string detail)
{
    m_error = PreviewError{PreviewFailure::NotMp3, 0, kind, std::move(detail)};
    return State::Failed;
}

bool PreviewDecoder::Feed(std::string_view bytes)
{
    if (!m_decoder->Feed(bytes.data(), bytes.size()))
        return false;
    m_pos += bytes.size();
    return true;
}

// The leading ID3v2 tags. The first, when it fits in the read-ahead, is fed
// to the decoder, which reads its title on its way to the audio. Any other
// is passed over: a later one is an older tag a tagger left in place, and one
// longer than the read-ahead (a tag that claims hundreds of megabytes) is
// jumped over with a range request, its title read from its first bytes. So
// the decoder never holds more than the read-ahead of a tag, and the bytes of
// a long one are never fetched.
bool PreviewDecoder::Take(std::string_view chunk)
{
    while (!m_audioStart && !chunk.empty()) {
        if (m_pos < m_nextTag) {
            // Inside a tag: fed, or dropped where the chunk holds its end.
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), m_nextTag - m_pos));
            if (m_feedTag) {
                if (!Feed(chunk.substr(0, n)))
                    return false;
            } else {
                m_pos += n;
            }
            chunk.remove_prefix(n);
            continue;
        }
        // Where another tag may start, its 10-byte header says whether one does.
        const std::size_t n = std::min(chunk.size(), std::size_t{10} - m_tagHeader.size());
        m_tagHeader.append(chunk.substr(0, n));
        chunk.remove_prefix(n);
        if (m_tagHeader.size() < 10)
            return true;
        std::string header;
        header.swap(m_tagHeader);
        const std::uint64_t tag = Mp3Head::TagEnd(header);
        if (tag == 0) {
            // The audio starts here. The library estimates the length from
            // the size only when it knows it before the first frame, and
            // counts every byte as audio: the tags are left out of it.
            m_audioStart = m_nextTag;
            if (const auto size = m_stream.FileSize(); size && *size > *m_audioStart)
                mpg123_set_filesize(m_decoder->Handle(), static_cast<off_t>(*size - *m_audioStart));
            if (!Feed(header))
                return false;
            break;
        }
        if (++m_tags > kMaxTags)
            return false;
        m_feedTag = m_tags == 1 && tag <= m_readAhead;
        if (m_tags == 1 && !m_feedTag)
            m_title = Mp3Head::Read(header + std::string(chunk), {}, std::nullopt).title;
        m_nextTag += tag;
        if (m_feedTag) {
            if (!Feed(header))
                return false;
            continue;
        }
        m_pos += header.size();
        if (m_nextTag > m_pos + chunk.size()) {
            // Its end lies beyond the bytes at hand: the stream goes there.
            m_pos = m_nextTag;
            m_stream.SkipTo(m_nextTag);
            return true;
        }
    }
    return chunk.empty() || Feed(chunk);
}

PreviewDecoder::State PreviewDecoder::Decode(std::string& pcm, std::size_t maxBytes, std::chrono::milliseconds wait)
{
    if (m_error.kind != PreviewFailure::None || !m_decoder->IsOpen())
        return State::Failed;
    mpg123_handle* mh = m_decoder->Handle();
    const std::size_t start = pcm.size();
    bool waited = false;
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
        if (done > 0)
            m_decodedAt = m_pos;
        if (m_otherFormat)
            done = 0;
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
                return Fail(ContentKind::Other);
            // A stream whose format changes midway goes on in its first
            // one's frames only: the player was opened for that one, and the
            // frames of another are decoded and dropped.
            if (m_format.rate > 0) {
                m_otherFormat = rate != m_format.rate || channels != m_format.channels;
                continue;
            }
            m_format = Format{rate, channels};
            if (auto tags = m_decoder->Id3v2Tags(); tags && !tags->title.empty() && m_title.empty())
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
            return Fail(ContentKind::Other);
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
                return Fail(m_pos == 0 ? ContentKind::Empty : ContentKind::Other);
            return State::End;
        case PreviewStream::State::Failed:
            return State::Failed;
        }
        if (!Take(chunk))
            return Fail(ContentKind::Other);
        // Junk before the first frame, or a stretch without audio later on (a
        // tag or junk in the middle), is not held in the decoder past these
        // bounds: the stream is no MP3, or damaged beyond playing.
        if (m_format.rate == 0 && m_audioStart && m_pos > *m_audioStart + kMaxJunkBytes)
            return Fail(ContentKind::Other);
        if (m_format.rate > 0 && m_pos > m_decodedAt + m_readAhead)
            return Fail(ContentKind::Other, "no audio in the last " + std::to_string(m_readAhead) + " bytes");
    }
}
