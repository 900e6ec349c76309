#include "Mp3Fixture.h"

#include <taglib/id3v1tag.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <fstream>
#include <stdexcept>

namespace mp3_fixture {

void WriteMp3(const std::string& path, TagKind kind, const Tags& tags, int frames)
{
    {
        // MPEG-1 Layer III, no CRC, 128 kbps, 44.1 kHz, no padding, stereo:
        // 144 * 128000 / 44100 = 417 bytes a frame.
        std::string frame(417, '\0');
        frame[0] = '\xFF';
        frame[1] = '\xFB';
        frame[2] = '\x90';
        frame[3] = '\x00';
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        for (int i = 0; i < frames; ++i)
            out << frame;
        if (!out)
            throw std::runtime_error("cannot write " + path);
    }
    if (kind == TagKind::None)
        return;
    const auto text = [](const std::string& utf8) { return TagLib::String(utf8, TagLib::String::UTF8); };
    TagLib::MPEG::File file(path.c_str(), false);
    TagLib::ID3v2::FrameFactory* factory = TagLib::ID3v2::FrameFactory::instance();
    const TagLib::String::Type oldEncoding = factory->defaultTextEncoding();
    if (kind == TagKind::Id3v23Utf16)
        factory->setDefaultTextEncoding(TagLib::String::UTF16);
    TagLib::Tag* tag = kind == TagKind::Id3v1 ? static_cast<TagLib::Tag*>(file.ID3v1Tag(true))
                                              : static_cast<TagLib::Tag*>(file.ID3v2Tag(true));
    tag->setTitle(text(tags.title));
    tag->setArtist(text(tags.artist));
    tag->setAlbum(text(tags.album));
    const bool saved = kind == TagKind::Id3v1
                           ? file.save(TagLib::MPEG::File::ID3v1, TagLib::File::StripOthers, TagLib::ID3v2::v4,
                                       TagLib::File::DoNotDuplicate)
                           : file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers,
                                       kind == TagKind::Id3v24 ? TagLib::ID3v2::v4 : TagLib::ID3v2::v3,
                                       TagLib::File::DoNotDuplicate);
    factory->setDefaultTextEncoding(oldEncoding);
    if (!saved)
        throw std::runtime_error("cannot tag " + path);
}

}  // namespace mp3_fixture
