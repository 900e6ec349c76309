#include "download/PreviewDecoder.h"

#include <mpg123.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// Stream bytes given to the decoder at a time: a few frames, so that the
// read-ahead stays with the stream and not inside libmpg123.
constexpr std::size_t kFeedBytes = 16u << 10;
// Samples decoded per call into the library.
constexpr std::size_t kReadBytes = 64u << 10;

}  // namespace

struct PreviewDecoder::Handle {
    mpg123_handle* mh = nullptr;
    ~Handle()
    {
        if (mh != nullptr)
            mpg123_delete(mh);
    }
};

PreviewDecoder::PreviewDecoder(std::string url, PreviewStream::Options options)
    : m_stream(std::move(url), options), m_handle(std::make_unique<Handle>())
{
    int error = MPG123_OK;
    mpg123_handle* mh = mpg123_new(nullptr, &error);
    if (mh == nullptr)
        return;
    m_handle->mh = mh;
    // Every rate the library decodes, kept as the file has it; always 16-bit
    // signed samples, mono or stereo as the file is.
    bool ok = mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0) == MPG123_OK && mpg123_format_none(mh) == MPG123_OK;
    const long* rates = nullptr;
    std::size_t count = 0;
    mpg123_rates(&rates, &count);
    for (std::size_t i = 0; ok && i < count; ++i)
        ok = mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16) == MPG123_OK;
    if (!ok || mpg123_open_feed(mh) != MPG123_OK) {
        mpg123_delete(mh);
        m_handle->mh = nullptr;
    }
}

PreviewDecoder::~PreviewDecoder() = default;

bool PreviewDecoder::Start()
{
    if (m_handle->mh == nullptr) {
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
    if (m_handle->mh == nullptr || m_format.rate <= 0)
        return std::nullopt;
    const off_t samples = mpg123_length(m_handle->mh);
    if (samples <= 0)
        return std::nullopt;
    return static_cast<double>(samples) / static_cast<double>(m_format.rate);
}

void PreviewDecoder::ReadMeta()
{
    mpg123_handle* mh = m_handle->mh;
    if ((mpg123_meta_check(mh) & MPG123_NEW_ID3) == 0)
        return;
    mpg123_id3v1* v1 = nullptr;
    mpg123_id3v2* v2 = nullptr;
    if (mpg123_id3(mh, &v1, &v2) != MPG123_OK || v2 == nullptr || v2->title == nullptr || v2->title->p == nullptr)
        return;
    // A text frame may hold several strings, each ending in a zero byte.
    m_title.assign(v2->title->p, strnlen(v2->title->p, v2->title->fill));
}

PreviewDecoder::State PreviewDecoder::Decode(std::string& pcm, std::size_t maxBytes, std::chrono::milliseconds wait)
{
    if (m_error.kind != PreviewFailure::None || m_handle->mh == nullptr)
        return State::Failed;
    mpg123_handle* mh = m_handle->mh;
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
            ReadMeta();
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
            const auto* b = reinterpret_cast<const unsigned char*>(m_first.data());
            if (m_first.size() == 10 && std::memcmp(b, "ID3", 3) == 0 && (b[6] | b[7] | b[8] | b[9]) < 0x80) {
                m_tagEnd = 10 + (std::uint64_t{b[6]} << 21 | std::uint64_t{b[7]} << 14 | std::uint64_t{b[8]} << 7 |
                                 std::uint64_t{b[9]});
                if ((b[5] & 0x10) != 0)
                    m_tagEnd += 10;  // a footer
            }
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
        if (mpg123_feed(mh, reinterpret_cast<const unsigned char*>(chunk.data()), chunk.size()) != MPG123_OK)
            return fail(ContentKind::Other);
        m_fed += chunk.size();
        if (m_format.rate == 0 && m_fed > m_tagEnd + kMaxJunkBytes)
            return fail(ContentKind::Other);
    }
}
