#pragma once

#include <string>

// Small MP3 files for the tag tests: silent MPEG-1 Layer III frames at
// 128 kbps, 44.1 kHz, tagged by TagLib itself.
namespace mp3_fixture {

enum class TagKind { None, Id3v1, Id3v23, Id3v24, Id3v23Utf16 };

struct Tags {
    std::string title;   // UTF-8
    std::string artist;
    std::string album;
};

// `frames` frames of 417 bytes each (100 frames: 2.6 s).
void WriteMp3(const std::string& path, TagKind kind, const Tags& tags, int frames = 100);

}  // namespace mp3_fixture
