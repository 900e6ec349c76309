#include "library/TrackTags.h"

#include "Mp3Fixture.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>

using mp3_fixture::TagKind;
using mp3_fixture::WriteMp3;

namespace {

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

TEST(TrackTags, ReadsEachTagKindFromFileAndMemory)
{
    struct Case {
        const char* label;
        TagKind kind;
        mp3_fixture::Tags tags;
    };
    const Case cases[] = {
        {"id3v1", TagKind::Id3v1, {"Blue Hour", "The Lanterns", "Night Songs"}},
        {"id3v23", TagKind::Id3v23, {"Blue Hour", "The Lanterns", "Night Songs"}},
        {"id3v24 non-Latin", TagKind::Id3v24, {"Café Żółw", "Иван", "東京"}},
        {"id3v23 UTF-16", TagKind::Id3v23Utf16, {"Über Straße", "Åsa", "アルバム"}},
        {"no tag", TagKind::None, {}},
    };
    testing_support::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string path = dir.File("song.mp3");
        WriteMp3(path, c.kind, c.tags);
        const TrackTags expected{c.tags.title, c.tags.artist, c.tags.album, 2, 128};
        EXPECT_EQ(ReadTrackTags(path), expected);
        const std::string bytes = ReadAll(path);
        EXPECT_EQ(ReadTrackTagsFromBytes(bytes.data(), bytes.size()), expected);
    }
}

TEST(TrackTags, Utf16TagIsReallyWrittenAsUtf16)
{
    // Guards the fixture: without it the UTF-16 case above would test Latin-1.
    testing_support::TempDir dir;
    const std::string path = dir.File("wide.mp3");
    WriteMp3(path, TagKind::Id3v23Utf16, {"Ab", "", ""});
    const std::string bytes = ReadAll(path);
    EXPECT_NE(bytes.find(std::string("\xFF\xFE" "A\0b\0", 6)), std::string::npos);
}

TEST(TrackTags, UnreadableFilesGiveEmptyTags)
{
    testing_support::TempDir dir;
    const TrackTags empty;
    EXPECT_EQ(ReadTrackTags(dir.File("missing.mp3")), empty);
    EXPECT_EQ(ReadTrackTags(dir.Str()), empty);  // a folder
    dir.Write("empty.mp3", "");
    EXPECT_EQ(ReadTrackTags(dir.File("empty.mp3")), empty);
    dir.Write("text.mp3", "<html>not found</html>");
    EXPECT_EQ(ReadTrackTags(dir.File("text.mp3")), empty);
    EXPECT_EQ(ReadTrackTagsFromBytes(nullptr, 0), empty);

    // A tag that claims more bytes than the file has, and every cut of a
    // tagged file: whatever comes back, nothing crashes.
    const std::string path = dir.File("tagged.mp3");
    WriteMp3(path, TagKind::Id3v24, {"Title", "Artist", "Album"}, 4);
    std::string bytes = ReadAll(path);
    for (std::size_t cut = 0; cut < bytes.size(); cut += 7)
        (void)ReadTrackTagsFromBytes(bytes.data(), cut);
    std::mt19937 random(18);
    for (int round = 0; round < 200; ++round) {
        std::string damaged = bytes;
        for (int i = 0; i < 8; ++i)
            damaged[random() % damaged.size()] = static_cast<char>(random());
        (void)ReadTrackTagsFromBytes(damaged.data(), damaged.size());
    }
}

TEST(TrackTags, FormatsLengthAndBitrate)
{
    const std::pair<int, const char*> lengths[] = {
        {-1, ""}, {0, "0:00"}, {9, "0:09"}, {61, "1:01"}, {599, "9:59"}, {3599, "59:59"}, {3600, "1:00:00"}, {3725, "1:02:05"},
    };
    for (const auto& [seconds, text] : lengths)
        EXPECT_EQ(FormatLength(seconds), text) << seconds;
    EXPECT_EQ(FormatBitrate(-1), "");
    EXPECT_EQ(FormatBitrate(320), "320");
}
