#include "platform/MpegAudioDecoder.h"

#include <mpg123.h>

#include <cstring>
#include <mutex>

namespace platform {

namespace {

void InitOnce()
{
    // Needed by libmpg123 before 1.27, harmless since.
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
}

}  // namespace

void MpegAudioDecoder::Delete::operator()(mpg123_handle_struct* handle) const
{
    mpg123_close(handle);
    mpg123_delete(handle);
}

MpegAudioDecoder::MpegAudioDecoder() : MpegAudioDecoder(Options{}) {}

MpegAudioDecoder::MpegAudioDecoder(const Options& options)
{
    InitOnce();
    int error = MPG123_OK;
    std::unique_ptr<mpg123_handle_struct, Delete> handle(mpg123_new(nullptr, &error));
    if (!handle)
        return;
    // Quiet: a broken stream is an answer here, not something to print.
    long flags = MPG123_QUIET;
    if (!options.readTags)
        flags |= MPG123_SKIP_ID3V2;
    if (mpg123_param(handle.get(), MPG123_ADD_FLAGS, flags, 0) != MPG123_OK ||
        mpg123_param(handle.get(), MPG123_RESYNC_LIMIT, options.resyncLimit, 0) != MPG123_OK)
        return;
    if (options.signed16Samples) {
        if (mpg123_format_none(handle.get()) != MPG123_OK)
            return;
        const long* rates = nullptr;
        std::size_t count = 0;
        mpg123_rates(&rates, &count);
        for (std::size_t i = 0; i < count; ++i) {
            if (mpg123_format(handle.get(), rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16) != MPG123_OK)
                return;
        }
    }
    if (mpg123_open_feed(handle.get()) != MPG123_OK)
        return;
    m_handle = std::move(handle);
}

bool MpegAudioDecoder::Restart()
{
    if (!m_handle)
        return false;
    mpg123_close(m_handle.get());
    return mpg123_open_feed(m_handle.get()) == MPG123_OK;
}

MpegAudioDecoder::~MpegAudioDecoder() = default;

bool MpegAudioDecoder::Feed(const void* bytes, std::size_t size)
{
    return m_handle && mpg123_feed(m_handle.get(), static_cast<const unsigned char*>(bytes), size) == MPG123_OK;
}

MpegAudioDecoder::Step MpegAudioDecoder::DecodeFrame()
{
    if (!m_handle)
        return Step::Error;
    for (;;) {
        off_t frame = 0;
        unsigned char* audio = nullptr;
        std::size_t bytes = 0;
        switch (mpg123_decode_frame(m_handle.get(), &frame, &audio, &bytes)) {
        case MPG123_OK: return Step::Frame;
        case MPG123_NEW_FORMAT: continue;  // the format is known now; the frame follows
        case MPG123_NEED_MORE: return Step::NeedMore;
        default: return Step::Error;
        }
    }
}

std::int64_t MpegAudioDecoder::FramePosition() const
{
    return m_handle ? static_cast<std::int64_t>(mpg123_framepos(m_handle.get())) : -1;
}

int MpegAudioDecoder::FrameBytes() const
{
    mpg123_frameinfo info{};
    return m_handle && mpg123_info(m_handle.get(), &info) == MPG123_OK ? info.framesize : 0;
}

int MpegAudioDecoder::Bitrate() const
{
    mpg123_frameinfo info{};
    return m_handle && mpg123_info(m_handle.get(), &info) == MPG123_OK ? info.bitrate : 0;
}

long MpegAudioDecoder::SampleRate() const
{
    mpg123_frameinfo info{};
    return m_handle && mpg123_info(m_handle.get(), &info) == MPG123_OK ? info.rate : 0;
}

std::optional<MpegAudioDecoder::Tags> MpegAudioDecoder::Id3v2Tags() const
{
    mpg123_id3v1* v1 = nullptr;
    mpg123_id3v2* v2 = nullptr;
    if (!m_handle || (mpg123_meta_check(m_handle.get()) & MPG123_ID3) == 0 ||
        mpg123_id3(m_handle.get(), &v1, &v2) != MPG123_OK || v2 == nullptr)
        return std::nullopt;
    const auto text = [](const mpg123_string* field) {
        return field != nullptr && field->p != nullptr ? std::string(field->p, ::strnlen(field->p, field->fill))
                                                       : std::string();
    };
    return Tags{text(v2->title), text(v2->artist), text(v2->album)};
}

}  // namespace platform
