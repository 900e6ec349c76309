// `tunorva-cli preview`: the window's streaming path written to a WAV file.
#include "CliRun.h"
#include "NginxServer.h"
#include "ScriptedHttpServer.h"
#include "TempDir.h"
#include "ToneMp3.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// The value of the record `name` in the tool's output; "" when missing.
std::string Record(const std::string& out, const std::string& name)
{
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(name + "\t", 0) == 0)
            return line.substr(name.size() + 1);
    }
    return {};
}

struct Wav {
    int channels = 0;
    int rate = 0;
    int bits = 0;
    std::string data;
};

std::uint32_t Le(const std::string& bytes, std::size_t at, int count)
{
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

std::optional<Wav> ReadWav(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    if (bytes.size() < 44 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 8, "WAVEfmt ") != 0 ||
        Le(bytes, 20, 2) != 1 || bytes.compare(36, 4, "data") != 0 || Le(bytes, 4, 4) != bytes.size() - 8 ||
        Le(bytes, 40, 4) != bytes.size() - 44)
        return std::nullopt;
    Wav wav;
    wav.channels = static_cast<int>(Le(bytes, 22, 2));
    wav.rate = static_cast<int>(Le(bytes, 24, 4));
    wav.bits = static_cast<int>(Le(bytes, 34, 2));
    wav.data = bytes.substr(44);
    return wav;
}

std::uint64_t LoggedBodyBytes(const std::string& log)
{
    std::istringstream lines(log);
    std::string line;
    std::uint64_t total = 0;
    while (std::getline(lines, line)) {
        const std::size_t quote = line.find("\" ", line.find("HTTP/1."));
        int status = 0;
        unsigned long long bytes = 0;
        if (quote != std::string::npos && std::sscanf(line.c_str() + quote + 2, "%d %llu", &status, &bytes) == 2)
            total += bytes;
    }
    return total;
}

TEST(PreviewCliTest, WritesTheFirstSecondsAtTheFilesRateFetchingLittleMoreThanItDecodes)
{
    if (!NginxServer::Available() || !LameAvailable())
        GTEST_SKIP() << "nginx or lame is not installed";
    ToneMp3 mono;
    mono.rate = 24000;
    mono.channels = 1;
    mono.kbps = 48;
    mono.seconds = 5.0;
    mono.title = "Waterloo";
    ToneMp3 stereo;
    stereo.seconds = 2.0;
    stereo.infoTag = false;
    TempDir root;
    root.Write("mono.mp3", EncodeToneMp3(mono));
    // 400 seconds, 6.4 MB: far more than ten seconds and the read-ahead.
    const std::string longFile = RepeatMp3Audio(EncodeToneMp3(stereo), 200);
    root.Write("long.mp3", longFile);
    NginxServer server(root.Str());
    ASSERT_TRUE(server.Running()) << server.Error();
    TempDir out;

    CliRun run = RunCli({"preview", Q(server.HttpUrl("/mono.mp3")), "--wav", Q(out.File("mono.wav")), "--seconds", "2"});
    ASSERT_EQ(run.exitCode, 0) << run.out;
    EXPECT_EQ(Record(run.out, "title"), "Waterloo");
    EXPECT_EQ(Record(run.out, "rate"), "24000");
    EXPECT_EQ(Record(run.out, "seconds"), "2.000");
    EXPECT_NEAR(std::stod(Record(run.out, "length")), 5.0, 0.1);
    std::optional<Wav> wav = ReadWav(out.File("mono.wav"));
    ASSERT_TRUE(wav.has_value());
    EXPECT_EQ(wav->rate, 24000);
    EXPECT_EQ(wav->channels, 1);
    EXPECT_EQ(wav->bits, 16);
    EXPECT_EQ(wav->data.size(), 2u * 24000 * 2);
    EXPECT_GT(Rms(wav->data), 0.1);

    // Ten seconds by default; what was fetched is what was decoded (16 KB a
    // second at 128 kbit/s) plus at most the 4 MiB read-ahead.
    const std::uint64_t loggedBefore = LoggedBodyBytes(server.AccessLog());
    run = RunCli({"preview", Q(server.HttpUrl("/long.mp3")), "--wav", Q(out.File("long.wav"))});
    ASSERT_EQ(run.exitCode, 0) << run.out;
    wav = ReadWav(out.File("long.wav"));
    ASSERT_TRUE(wav.has_value());
    EXPECT_EQ(wav->rate, 44100);
    EXPECT_EQ(wav->data.size(), 10u * 44100 * 4);
    const std::uint64_t bound = (4u << 20) + 10 * 16000 + (64u << 10);
    EXPECT_LE(std::stoull(Record(run.out, "fetched")), bound);
    EXPECT_LE(LoggedBodyBytes(server.AccessLog()) - loggedBefore, bound);
    EXPECT_LT(bound, longFile.size());
}

TEST(PreviewCliTest, AnswersThatAreNoMp3AndBadArgumentsLeaveNoWav)
{
    ScriptedHttpServer server([](const HttpExchange& request) {
        if (request.target == "/page.mp3")
            return ScriptedReply{HttpResponse(200, "<!DOCTYPE html><html><body>Sorry</body></html>",
                                              "Content-Type: text/html\r\n")};
        return ScriptedReply{HttpResponse(500, "broken")};
    });
    TempDir out;
    for (const char* path : {"/page.mp3", "/error.mp3"}) {
        SCOPED_TRACE(path);
        const CliRun run = RunCli({"preview", Q(server.Url(path)), "--wav", Q(out.File("x.wav"))});
        EXPECT_EQ(run.exitCode, 1) << run.out;
        EXPECT_FALSE(Record(run.out, "error").empty()) << run.out;
        EXPECT_TRUE(fs::is_empty(out.Path()));
    }
    // A WAV already there stays as it was.
    out.Write("old.wav", "old");
    EXPECT_EQ(RunCli({"preview", Q(server.Url("/page.mp3")), "--wav", Q(out.File("old.wav"))}).exitCode, 1);
    std::ifstream old(out.File("old.wav"));
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(old)), {}), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(out.Path()), fs::directory_iterator()), 1);

    const QString url = Q(server.Url("/song.mp3"));
    const QString wav = Q(out.File("bad.wav"));
    const QStringList bad[] = {
        {"preview"},
        {"preview", url},
        {"preview", url, "--wav"},
        {"preview", "--wav", wav},
        {"preview", url, "--wav", wav, "--seconds", "0"},
        {"preview", url, "--wav", wav, "--seconds", "ten"},
        {"preview", url, "--wav", wav, "--seconds", "601"},
        {"preview", url, "--wav", wav, "--seconds", "-5"},
        {"preview", url, "--wav", wav, "--volume", "3"},
    };
    const std::size_t requests = server.RequestCount();
    for (const QStringList& args : bad)
        EXPECT_EQ(RunCli(args).exitCode, 2) << args.join(' ').toStdString();
    EXPECT_EQ(server.RequestCount(), requests);
    EXPECT_FALSE(fs::exists(out.File("bad.wav")));
}

}  // namespace
