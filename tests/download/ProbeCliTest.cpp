// `tunorva-cli probe`: one block of records per URL, in order; one file at two
// addresses has one head, whatever else its servers send.
#include "CliRun.h"
#include "ScriptedHttpServer.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QStringList>

#include <fstream>
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

}  // namespace
