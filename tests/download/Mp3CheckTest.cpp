// The MP3 check against real encoder output (tests/download/data: lame, a
// CBR stream and a free-format one) in the shapes real files come in.
#include "TempDir.h"

#include "download/Mp3Check.h"
#include "download/MpegFrameHeader.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

using testing_support::TempDir;

namespace {

std::string Fixture(const std::string& name)
{
    std::ifstream in(std::string(TUNORVA_TEST_DATA) + "/" + name, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// An ID3v2 tag of `version` (3 or 4) with `size` bytes of frames.
std::string Id3v2(char version, std::uint32_t size)
{
    std::string tag = std::string("ID3") + version + std::string(2, '\0');
    for (int shift : {21, 14, 7, 0})
        tag += static_cast<char>((size >> shift) & 0x7F);
    std::string frames = "TIT2";
    frames += std::string("\0\0\0\x05\0\0\x03Song", 11);
    frames.resize(size, '\0');
    return tag + frames;
}

// An ID3v2.3 tag, `size` bytes in all, whose POPM frame is broken (its
// e-mail has no end and the rating is missing), as some taggers write it.
std::string TagWithBrokenPopm(std::size_t size)
{
    std::string frames("TIT2\0\0\0\x05\0\0\0Song", 15);
    frames += std::string("POPM\0\0\0\x0D\0\0", 10) + "no-terminator";
    frames.resize(size - 10, '\0');
    std::string tag = std::string("ID3\x03\0\0", 6);
    for (int shift : {21, 14, 7, 0})
        tag += static_cast<char>((frames.size() >> shift) & 0x7F);
    return tag + frames;
}

// A zip archive holding `content` uncompressed ("stored").
std::string StoredZip(const std::string& content)
{
    std::string zip("PK\x03\x04\x0A\0\0\0\0\0\0\0\0\0", 14);
    zip += std::string(12, '\0');   // CRC and sizes, left to the central directory
    zip += std::string("\x05\0\0\0", 4);
    zip += "a.mp3" + content;
    return zip;
}

ContentKind Check(const TempDir& dir, const std::string& bytes)
{
    dir.Write("f", bytes);
    const int fd = ::open(dir.File("f").c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_GE(fd, 0);
    const ContentKind kind = CheckMp3File(fd, bytes.size());
    ::close(fd);
    return kind;
}

}  // namespace

TEST(Mp3CheckTest, WhatADecoderPlaysIsKeptAndOtherFormatsAreNot)
{
    const std::string cbr = Fixture("tone-64k.mp3");
    const std::string free = Fixture("tone-free.mp3");
    ASSERT_GT(cbr.size(), 1000u);
    ASSERT_GT(free.size(), 1000u);
    std::string noise(20000, '\0');
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<char>((i * 7919 + (i >> 5) * 104729) >> 3);
    const struct {
        const char* name;
        std::string bytes;
        ContentKind kind;
    } cases[] = {
        {"a CBR stream", cbr, ContentKind::Mp3},
        {"a free-format stream", free, ContentKind::Mp3},
        {"4,100 bytes of padding", Id3v2(3, 100) + std::string(4100, '\0') + cbr, ContentKind::Mp3},
        {"5,000 bytes of padding", std::string(5000, '\0') + cbr, ContentKind::Mp3},
        {"20,000 bytes of junk", Id3v2(4, 50) + noise + cbr, ContentKind::Mp3},
        {"64 KiB of padding", std::string(64 * 1024, '\0') + free, ContentKind::Mp3},
        {"a v2.3 tag then a v2.4 tag", Id3v2(3, 600) + Id3v2(4, 900) + cbr, ContentKind::Mp3},
        {"three tags and padding", Id3v2(3, 10) + Id3v2(4, 10) + Id3v2(3, 10) + std::string(3000, '\0') + free,
         ContentKind::Mp3},
        {"a tag over a megabyte", Id3v2(3, 3 << 20) + cbr, ContentKind::Mp3},
        {"a stored zip of an MP3", StoredZip(cbr), ContentKind::Other},
        {"a RIFF wave of MPEG audio", "RIFF\x10\0\0\0WAVEfmt " + cbr, ContentKind::Other},
        {"Ogg", "OggS" + cbr, ContentKind::Other},
        {"FLAC", "fLaC" + cbr, ContentKind::Other},
        {"MP4", std::string("\0\0\0\x20" "ftypM4A ", 12) + cbr, ContentKind::Other},
        {"PDF", "%PDF-1.4\n" + cbr, ContentKind::Other},
        {"PNG", "\x89PNG\r\n\x1A\n" + cbr, ContentKind::Other},
        {"GIF", "GIF89a" + cbr, ContentKind::Other},
        {"JPEG", "\xFF\xD8\xFF\xE0" + cbr, ContentKind::Other},
        {"a container behind a tag", Id3v2(3, 20) + StoredZip(cbr), ContentKind::Other},
        {"HTML", "\n<!DOCTYPE html><html>" + cbr, ContentKind::WebPage},
        {"JSON", "{\"a\":1}" + cbr, ContentKind::Json},
        {"noise", noise, ContentKind::Other},
        {"a tag and nothing else", Id3v2(3, 2000), ContentKind::Other},
        {"a cut-off stream's first bytes", cbr.substr(0, 300), ContentKind::Other},
    };
    TempDir dir;
    for (const auto& c : cases)
        EXPECT_EQ(Check(dir, c.bytes), c.kind) << c.name;
}

// A stream of one frame gives the decoder no next header to trust it by: the
// frame's own header and length decide.
TEST(Mp3CheckTest, OneWholeFrameToTheEndIsMp3)
{
    const std::string cbr = Fixture("tone-64k.mp3");
    const std::optional<MpegFrameHeader> header = MpegFrameHeader::Read(cbr);
    ASSERT_TRUE(header.has_value());
    const std::string frame = cbr.substr(0, header->bytes);
    const std::string id3v1 = "TAG" + std::string(125, ' ');
    const struct {
        const char* name;
        std::string bytes;
        ContentKind kind;
    } cases[] = {
        {"a 2,000-byte file: a tag with a broken POPM, one frame", TagWithBrokenPopm(2000 - frame.size()) + frame,
         ContentKind::Mp3},
        {"one frame alone", frame, ContentKind::Mp3},
        {"one frame and an ID3v1 tag", frame + id3v1, ContentKind::Mp3},
        {"one frame cut short", TagWithBrokenPopm(500) + frame.substr(0, frame.size() - 1), ContentKind::Other},
        {"one frame and a stray byte", TagWithBrokenPopm(500) + frame + "x", ContentKind::Other},
        {"a frame header alone", frame.substr(0, 4), ContentKind::Other},
    };
    TempDir dir;
    for (const auto& c : cases)
        EXPECT_EQ(Check(dir, c.bytes), c.kind) << c.name;
}
