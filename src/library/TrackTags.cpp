// Tags are read with TagLib's MPEG reader: the play list lists *.mp3 only,
// and reading by content type would let a misnamed file pick another parser.
#include "library/TrackTags.h"

#include <taglib/id3v2framefactory.h>
#include <taglib/mpegfile.h>
#include <taglib/tbytevector.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/tdebuglistener.h>
#include <taglib/tag.h>

#include <cstdio>
#include <mutex>

namespace {

// TagLib prints its complaints about damaged files to stderr; a folder of
// broken files would fill the terminal.
class QuietListener final : public TagLib::DebugListener {
public:
    void printMessage(const TagLib::String&) override {}
};

void SilenceTagLib()
{
    static QuietListener listener;
    static std::once_flag once;
    std::call_once(once, [] { TagLib::setDebugListener(&listener); });
}

std::string Utf8(const TagLib::String& text)
{
    std::string out = text.to8Bit(true);
    // A tag may pad its text with NULs; they would end the cell's text early.
    while (!out.empty() && out.back() == '\0')
        out.pop_back();
    return out;
}

TrackTags FromFile(TagLib::MPEG::File& file)
{
    TrackTags tags;
    if (const TagLib::Tag* tag = file.tag()) {
        tags.title = Utf8(tag->title());
        tags.artist = Utf8(tag->artist());
        tags.album = Utf8(tag->album());
    }
    // Without a valid first frame TagLib has no stream to measure.
    if (file.isValid()) {
        if (const TagLib::AudioProperties* audio = file.audioProperties()) {
            if (audio->bitrate() > 0) {
                tags.lengthSeconds = audio->lengthInSeconds();
                tags.bitrateKbps = audio->bitrate();
            }
        }
    }
    return tags;
}

}  // namespace

TrackTags ReadTrackTags(const std::string& path)
{
    SilenceTagLib();
    try {
        TagLib::MPEG::File file(path.c_str(), true, TagLib::AudioProperties::Average);
        return FromFile(file);
    } catch (...) {
        // TagLib reports failures by state, but an allocation may still throw.
        return {};
    }
}

TrackTags ReadTrackTagsFromBytes(const char* data, std::size_t size)
{
    SilenceTagLib();
    try {
        TagLib::ByteVector bytes(data, static_cast<unsigned int>(size));
        TagLib::ByteVectorStream stream(bytes);
        TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), true,
                                TagLib::AudioProperties::Average);
        return FromFile(file);
    } catch (...) {
        return {};
    }
}

std::string FormatLength(int seconds)
{
    if (seconds < 0)
        return {};
    char text[32];
    if (seconds >= 3600)
        std::snprintf(text, sizeof text, "%d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
    else
        std::snprintf(text, sizeof text, "%d:%02d", seconds / 60, seconds % 60);
    return text;
}

std::string FormatBitrate(int kbps)
{
    return kbps < 0 ? std::string() : std::to_string(kbps);
}
