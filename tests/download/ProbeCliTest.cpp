// `tunorva-cli probe`: one block of records per URL, in order; one file at two
// addresses has one head, whatever else its servers send.
#include "CliRun.h"
#include "ScriptedHttpServer.h"

#include "download/Mp3Head.h"
#include "download/MpegFrameHeader.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QStringList>

#include <fstream>
#include <map>
#include <sstream>

using namespace testing_support;

namespace {

TEST(ProbeCli, PrintsEachFilesHeadInOrder)
{
    std::ifstream in(std::string(TUNORVA_TEST_MP3_DIR) + "/vbr-xing.mp3", std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    const std::string file = bytes.str();
    ScriptedHttpServer server([&](const HttpExchange& e) {
        if (e.target == "/page.mp3")
            return ScriptedReply{HttpResponse(200, "<html><body>gone</body></html>")};
        if (e.target == "/whole.mp3")  // ranges ignored: the whole file and more
            return ScriptedReply{HttpResponse(200, file + std::string(100000, '\0'))};
        const std::string range = "bytes 0-16383/" + std::to_string(file.size());
        return ScriptedReply{HttpResponse(206, file.substr(0, 16384), "Content-Range: " + range + "\r\n")};
    });
    ::setenv("no_proxy", "*", 1);
    const CliRun run =
        RunCli({"probe", Q(server.Url("/ranged.mp3")), Q(server.Url("/page.mp3")), Q(server.Url("/whole.mp3"))});
    const std::string& out = run.out;
    EXPECT_EQ(run.exitCode, 0) << out;
    std::vector<std::vector<std::string>> blocks(1);
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        blocks.back().push_back(line);
        if (line.rfind("requests\t", 0) == 0)
            blocks.emplace_back();
    }
    ASSERT_EQ(blocks.size(), 4u) << out;
    const std::vector<std::string>& ranged = blocks[0];
    ASSERT_EQ(ranged.size(), 11u) << out;
    EXPECT_EQ(ranged[0], "size\t" + std::to_string(file.size()));
    EXPECT_EQ(ranged[1], "mp3\tyes");
    EXPECT_EQ(ranged[2].rfind("bitrate\t", 0), 0u);
    EXPECT_EQ(ranged[3], "vbr\tyes");
    EXPECT_EQ(ranged[4], "rate\t44100");
    EXPECT_EQ(ranged[5], "length\t10.000");
    EXPECT_EQ(ranged[6], "title\tRestless Noise");
    EXPECT_EQ(ranged[7], "artist\tTest Band");
    EXPECT_EQ(ranged[8], "album\tProbe Album");
    // The SHA-256 of the bytes asked for.
    const QByteArray asked = QByteArray::fromStdString(file.substr(0, 16384));
    EXPECT_EQ(ranged[9], "head\t" + QCryptographicHash::hash(asked, QCryptographicHash::Sha256).toHex().toStdString());
    EXPECT_EQ(ranged[10], "requests\t1");
    const std::vector<std::string>& page = blocks[1];
    ASSERT_EQ(page.size(), 11u) << out;
    EXPECT_EQ(page[1], "mp3\tno");
    EXPECT_EQ(page[5], "length\t-");
    // The same bytes asked for, the same head; the size is what the server says.
    const std::vector<std::string>& whole = blocks[2];
    ASSERT_EQ(whole.size(), 11u) << out;
    EXPECT_EQ(whole[9], ranged[9]);
    EXPECT_EQ(whole[0], "size\t" + std::to_string(file.size() + 100000));

    for (const QStringList& bad : {QStringList{"probe"}, QStringList{"probe", "--wav"}}) {
        EXPECT_EQ(RunCli(bad).exitCode, 2);
    }
}

std::string ReadMp3(const std::string& name)
{
    std::ifstream in(std::string(TUNORVA_TEST_MP3_DIR) + "/" + name, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string Syncsafe(std::size_t n)
{
    return {static_cast<char>((n >> 21) & 0x7F), static_cast<char>((n >> 14) & 0x7F),
            static_cast<char>((n >> 7) & 0x7F), static_cast<char>(n & 0x7F)};
}

// An ID3v2.4 frame (its size syncsafe) and a tag of such frames, `padding`
// zero bytes after them.
std::string Id3Frame(const char* id, const std::string& body)
{
    return id + Syncsafe(body.size()) + std::string(2, '\0') + body;
}

std::string Id3Tag(const std::string& frames, std::size_t padding = 0)
{
    return std::string("ID3\x04\0\0", 6) + Syncsafe(frames.size() + padding) + frames + std::string(padding, '\0');
}

// The tool's records of each URL, by name.
std::vector<std::map<std::string, std::string>> Blocks(const std::string& out)
{
    std::vector<std::map<std::string, std::string>> blocks(1);
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t tab = line.find('\t');
        blocks.back()[line.substr(0, tab)] = tab == std::string::npos ? "" : line.substr(tab + 1);
        if (line.rfind("requests\t", 0) == 0)
            blocks.emplace_back();
    }
    blocks.pop_back();
    return blocks;
}

// Files as they come from real taggers and servers: a tag with a broken POPM
// frame before a stream of one frame, two tags (the first is the file's), an
// answer of no stated length, and tag texts that a terminal would obey or
// that are no UTF-8 at all.
TEST(ProbeCli, OddFilesTellTheirHeadsAndEveryTextPrintsSafely)
{
    const std::string song = ReadMp3("cbr64.mp3");
    const std::string audio = song.substr(static_cast<std::size_t>(Mp3Head::TagEnd(song)));
    const std::optional<MpegFrameHeader> header = MpegFrameHeader::Read(audio);
    ASSERT_TRUE(header.has_value());
    const std::string oneFrame = audio.substr(0, header->bytes);
    // No end to the e-mail and no rating: a POPM that strict readers refuse.
    const std::string popmFrames = Id3Frame("TIT2", std::string("\3Rated", 6)) + Id3Frame("POPM", "no-terminator");
    const std::string popm = Id3Tag(popmFrames, 2000 - 10 - popmFrames.size() - oneFrame.size()) + oneFrame;
    ASSERT_EQ(popm.size(), 2000u);
    const std::string twoTags = Id3Tag(Id3Frame("TIT2", "\3First")) + Id3Tag(Id3Frame("TIT2", "\3Second")) + audio;
    const std::string unsafe = Id3Tag(Id3Frame("TIT2", "\3a\xE2\x80\xAE" "b\xFF\xFE\x1B[2J\xC2\x9Bz") +
                                      Id3Frame("TPE1", "\3\xE2\x81\xA6" "Band\xE2\x81\xA9")) +
                               audio;
    ScriptedHttpServer server([&](const HttpExchange& e) {
        if (e.target == "/popm.mp3")
            return ScriptedReply{HttpResponse(200, popm)};
        if (e.target == "/two-tags.mp3")
            return ScriptedReply{HttpResponse(200, twoTags)};
        if (e.target == "/unsafe.mp3")
            return ScriptedReply{HttpResponse(200, unsafe)};
        return ScriptedReply{HttpResponse(200, song, {}, false)};  // no length: the body ends with the connection
    });
    ::setenv("no_proxy", "*", 1);
    const CliRun run = RunCli({"probe", Q(server.Url("/popm.mp3")), Q(server.Url("/two-tags.mp3")),
                               Q(server.Url("/unsafe.mp3")), Q(server.Url("/stream.mp3"))});
    EXPECT_EQ(run.exitCode, 0) << run.out;
    auto blocks = Blocks(run.out);
    ASSERT_EQ(blocks.size(), 4u) << run.out;
    const struct {
        std::string size, title, artist;
    } expected[] = {
        {"2000", "Rated", ""},
        {std::to_string(twoTags.size()), "First", ""},
        // Control bytes, bytes that are no UTF-8, C1 and bidirectional controls: %XX.
        {std::to_string(unsafe.size()), "a%E2%80%AEb%FF%FE%1B[2J%C2%9Bz", "%E2%81%A6Band%E2%81%A9"},
        // No size, but the head's facts all the same.
        {"-", "Steady Tone", "Test Band"},
    };
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        SCOPED_TRACE(i);
        auto block = blocks[i];
        EXPECT_EQ(block["size"], expected[i].size);
        EXPECT_EQ(block["mp3"], "yes");
        EXPECT_EQ(block["bitrate"], "64");
        EXPECT_EQ(block["rate"], "44100");
        EXPECT_EQ(block["title"], expected[i].title);
        EXPECT_EQ(block["artist"], expected[i].artist);
    }
    EXPECT_NEAR(std::stod(blocks[0]["length"]), 1152.0 / 44100, 0.001);
    // A stream with no Xing/Info frame tells its length only by its size.
    EXPECT_EQ(blocks[3]["length"], "-");
}

}  // namespace
