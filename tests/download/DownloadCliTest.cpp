// `tunorva-cli download` across runs: a kill -9 in the middle leaves only the
// part file, and the next run asks for the missing bytes and completes the
// song byte for byte; waits before retries are printed as records.
#include "CliRun.h"
#include "DownloadTestData.h"
#include "ScriptedHttpServer.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>

#include <signal.h>

#include <atomic>
#include <filesystem>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

bool Has(const std::string& out, const std::string& line)
{
    return out.find(line + "\n") != std::string::npos;
}

// Serves ranges with an ETag, slowly, so that a kill lands mid-body.
ScriptedReply RangeReply(const HttpExchange& request, const std::string& body)
{
    const std::string etag = "ETag: \"song-1\"\r\n";
    const std::string range = request.Header("Range");
    ScriptedReply reply;
    if (range.rfind("bytes=", 0) == 0 && request.Header("If-Range") == "\"song-1\"") {
        const std::size_t from = std::stoul(range.substr(6));
        reply.bytes = HttpResponse(206, body.substr(from),
                                   etag + "Content-Range: bytes " + std::to_string(from) + "-" +
                                       std::to_string(body.size() - 1) + "/" + std::to_string(body.size()) + "\r\n");
    } else {
        reply.bytes = HttpResponse(200, body, etag);
    }
    reply.chunkSize = 32 * 1024;
    reply.chunkDelayMs = 10;
    return reply;
}

TEST(DownloadCli, AKilledRunLeavesThePartFileAndTheNextRunCompletesIt)
{
    TempDir dir;
    const std::string body = PatternBody(2 << 20);
    ScriptedHttpServer server([&](const HttpExchange& request) { return RangeReply(request, body); });
    const std::string part = dir.File(".song.mp3.part");

    QProcess first;
    first.start(QStringLiteral(TUNORVA_CLI), {"download", Q(server.Url("/song.mp3")), Q(dir.Str())});
    ASSERT_TRUE(first.waitForStarted(10000));
    // Killed once about a third has arrived.
    for (int i = 0; i < 1000 && !(fs::exists(part) && fs::file_size(part) > body.size() / 3); ++i)
        first.waitForFinished(10);
    ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
    first.waitForFinished(10000);
    ASSERT_TRUE(fs::exists(part));
    EXPECT_FALSE(fs::exists(dir.File("song.mp3"))) << "nothing under the song's name";
    const std::uintmax_t kept = fs::file_size(part);
    ASSERT_LT(kept, body.size());

    const CliRun second = RunCli({"download", Q(server.Url("/song.mp3")), Q(dir.Str())});
    EXPECT_EQ(second.exitCode, 0) << second.out;
    EXPECT_TRUE(Has(second.out, "resume\t" + std::to_string(kept))) << second.out;
    EXPECT_TRUE(Has(second.out, "check\tok"));
    EXPECT_TRUE(ReadWhole(dir.File("song.mp3")) == body) << "byte for byte";
    EXPECT_FALSE(fs::exists(part));
    EXPECT_FALSE(fs::exists(part + ".info"));
    const auto requests = server.Requests();
    EXPECT_EQ(requests.back().Header("Range"), "bytes=" + std::to_string(kept) + "-") << "only the missing bytes";
}

TEST(DownloadCli, RetriesAreRecordedAndTheOptionsAreChecked)
{
    TempDir dir;
    const std::string body = PatternBody(3000);
    std::atomic<int> requests{0};
    ScriptedHttpServer server([&](const HttpExchange& request) {
        if (request.target == "/down.mp3" || ++requests <= 2)
            return ScriptedReply{HttpResponse(503, "busy")};
        return ScriptedReply{HttpResponse(200, body)};
    });
    CliRun run = RunCli({"download", Q(server.Url("/song.mp3")), Q(dir.Str()), "--retry-wait-ms", "20"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(Has(run.out, "retry\t1\t5\t20\tThe server answered 503")) << run.out;
    EXPECT_TRUE(Has(run.out, "retry\t2\t5\t40\tThe server answered 503")) << run.out;

    run = RunCli({"download", Q(server.Url("/down.mp3")), Q(dir.Str()), "--retries", "0"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out.find("retry\t"), std::string::npos);
    EXPECT_TRUE(Has(run.out, "error\tThe server answered 503"));

    for (const QStringList& args : {QStringList{"download", "u", "d", "--retries", "x"},
                                    QStringList{"download", "u", "d", "--retry-wait-ms", "-1"},
                                    QStringList{"download", "u", "d", "--limit-rate"}}) {
        EXPECT_EQ(RunCli(args).exitCode, 2) << args.join(' ').toStdString();
    }
}

// The campaign's case: the first server sends 500,000 bytes, resets and
// then no longer has the file; the mirror has a file of the same size and
// head with another tail. The song is the mirror's file whole, never the
// first server's head spliced onto the mirror's tail.
TEST(DownloadCli, AMirrorWithAnotherTailGivesItsWholeFileNeverASplice)
{
    const std::string body = PatternBody(961152);
    std::string other = body;
    for (std::size_t i = 300000; i < other.size(); ++i) {
        if (i % 417 >= 4)
            other[i] = static_cast<char>(other[i] ^ 0x33);
    }
    for (const bool validators : {true, false}) {
        SCOPED_TRACE(validators ? "with validators" : "without validators");
        TempDir dir;
        ScriptedHttpServer first([&](const HttpExchange& request) {
            if (!request.Header("Range").empty())
                return ScriptedReply{HttpResponse(404, "gone")};
            ScriptedReply reply{"HTTP/1.1 200 OK\r\n" + std::string(validators ? "ETag: \"a\"\r\n" : "") +
                                "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body.substr(0, 500000)};
            reply.resetAfterSend = true;
            return reply;
        });
        ScriptedHttpServer mirror([&](const HttpExchange& request) {
            const std::string etag = validators ? "ETag: \"b\"\r\n" : "";
            const std::string range = request.Header("Range");
            if (range.rfind("bytes=", 0) != 0)
                return ScriptedReply{HttpResponse(200, other, etag)};
            const std::size_t from = std::stoul(range.substr(6));
            return ScriptedReply{HttpResponse(206, other.substr(from),
                                              etag + "Content-Range: bytes " + std::to_string(from) + "-" +
                                                  std::to_string(other.size() - 1) + "/" +
                                                  std::to_string(other.size()) + "\r\n")};
        });
        const CliRun run = RunCli({"download", Q(first.Url("/song.mp3")), Q(dir.Str()), "--retries", "1",
                                   "--retry-wait-ms", "10", "--mirror", Q(mirror.Url("/song.mp3"))});
        EXPECT_EQ(run.exitCode, 0) << run.out;
        EXPECT_TRUE(Has(run.out, "source\t" + mirror.Url("/song.mp3"))) << run.out;
        EXPECT_TRUE(ReadWhole(dir.File("song.mp3")) == other) << "the mirror's file, byte for byte";
        EXPECT_EQ(fs::directory_iterator(dir.Path())->path().filename(), "song.mp3");
    }
}

}  // namespace
