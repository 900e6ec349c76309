// A download whose server fails for good goes on from its part file at
// another address of the same file, once that address has sent back the
// part file's last bytes; an address that fails in any way hands over to
// the next.
#include "DownloadFixture.h"

#include "download/ResumeState.h"

namespace download_testing {
namespace {

void EmptyFolder(const TempDir& dir)
{
    for (const auto& entry : fs::directory_iterator(dir.Path()))
        fs::remove_all(entry.path());
}

ScriptedReply Dropped()
{
    ScriptedReply reply;
    reply.closeAtOnce = true;
    return reply;
}

TEST_F(DownloadTest, AFailedSourceHandsThePartFileToTheNextOne)
{
    const std::string body = PatternBody(200000);
    const std::size_t half = body.size() / 2;
    // The first server sends half the file, then drops every connection.
    ScriptedHttpServer first([&](const HttpExchange& e) {
        if (!e.Header("Range").empty())
            return Dropped();
        ScriptedReply reply{"HTTP/1.1 200 OK\r\nETag: \"first\"\r\nContent-Length: " + std::to_string(body.size()) +
                            "\r\n\r\n" + body.substr(0, half)};
        reply.resetAfterSend = true;
        return reply;
    });
    // A server that is down, and one that no longer has the file: the
    // download passes both by, the second without a retry.
    ScriptedHttpServer down([](const HttpExchange&) { return Dropped(); });
    ScriptedHttpServer gone([](const HttpExchange&) { return ScriptedReply{HttpResponse(404, "gone")}; });
    ScriptedHttpServer second([&](const HttpExchange& e) {
        std::size_t from = 0;
        if (std::sscanf(e.Header("Range").c_str(), "bytes=%zu-", &from) != 1)
            return ScriptedReply{HttpResponse(200, body, "ETag: \"second\"\r\n")};
        return ScriptedReply{HttpResponse(206, body.substr(from),
                                          "ETag: \"second\"\r\nContent-Range: bytes " + std::to_string(from) + "-" +
                                              std::to_string(body.size() - 1) + "/" + std::to_string(body.size()) +
                                              "\r\n")};
    });
    m_options.retry = RetryPolicy{1, 10};
    m_otherSources = {"ftp://127.0.0.1/song.mp3", down.Url("/song.mp3"), gone.Url("/song.mp3"),
                      second.Url("/mirror/song.mp3")};
    const auto seen = Download(first.Url("/song.mp3"));

    EXPECT_EQ(ReadWhole(m_dir.Path() / "song.mp3"), body);
    const auto at = [&](const std::string& line) { return std::find(seen.begin(), seen.end(), line) - seen.begin(); };
    ASSERT_LT(at("source " + down.Url("/song.mp3")), at("source " + gone.Url("/song.mp3")));
    ASSERT_LT(at("source " + gone.Url("/song.mp3")), at("source " + second.Url("/mirror/song.mp3")));
    EXPECT_EQ(gone.RequestCount(), 1u);
    EXPECT_LT(at("source " + second.Url("/mirror/song.mp3")), at("done"));
    EXPECT_EQ(std::count_if(seen.begin(), seen.end(), [](const std::string& s) { return s.rfind("restart", 0) == 0; }),
              0);
    // The second server was asked for the missing half only, from the part
    // file's last 64 KiB on (which it must send back unchanged), without
    // the first server's validator.
    const auto requests = second.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Header("Range"), "bytes=" + std::to_string(half - CHttpDownload::kConfirmBytes) + "-");
    EXPECT_EQ(requests[0].HeaderCount("If-Range"), 0);
    EXPECT_EQ(seen.back(), "finished 0");
}

// A server with ranges: 206 from any "bytes=N-", 416 past its end, the
// whole file otherwise; `validators` go with every answer.
ScriptedReply ServeRanges(const HttpExchange& e, const std::string& body, const std::string& validators)
{
    std::size_t from = 0;
    if (std::sscanf(e.Header("Range").c_str(), "bytes=%zu-", &from) != 1)
        return ScriptedReply{HttpResponse(200, body, validators)};
    if (from >= body.size())
        return ScriptedReply{HttpResponse(416, "", "Content-Range: bytes */" + std::to_string(body.size()) + "\r\n")};
    return ScriptedReply{HttpResponse(206, body.substr(from),
                                      validators + "Content-Range: bytes " + std::to_string(from) + "-" +
                                          std::to_string(body.size() - 1) + "/" + std::to_string(body.size()) +
                                          "\r\n")};
}

// The same file with other bytes from `at` on (frame headers kept, so both
// pass as MP3), as a site's copy with its own tags or its own cut.
std::string OtherTail(const std::string& body, std::size_t at)
{
    std::string other = body;
    for (std::size_t i = at; i < other.size(); ++i) {
        if (i % 417 >= 4)
            other[i] = static_cast<char>(other[i] ^ 0x5A);
    }
    return other;
}

// The first server sends `sent` bytes of `body` and closes the connection
// (every byte arrives, the body is cut short); later it no longer has the
// file.
ScriptedHttpServer::Script SendsThenGone(const std::string& body, std::size_t sent, const std::string& validators)
{
    return [&body, sent, validators](const HttpExchange& e) {
        if (!e.Header("Range").empty())
            return ScriptedReply{HttpResponse(404, "gone")};
        return ScriptedReply{"HTTP/1.1 200 OK\r\n" + validators + "Content-Length: " + std::to_string(body.size()) +
                             "\r\n\r\n" + body.substr(0, sent)};
    };
}

// The part file's bytes came from the first server; a mirror found by size
// and head may hold another file. The song is one server's file whole.
TEST_F(DownloadTest, ANextSourceMustSendBackThePartFilesEndBeforeItAddsToIt)
{
    const std::string body = PatternBody(700000);
    const std::size_t sent = 500000;
    struct Case {
        const char* name;
        std::string mirrorBody;
        bool validators;
        bool startsOver;
    } cases[] = {
        {"the same file", body, true, false},
        {"the same file, no validators", body, false, false},
        {"another tail", OtherTail(body, 300000), true, true},
        {"another tail, no validators", OtherTail(body, 300000), false, true},
        // Differs only beyond the part file: the song is the mirror's whole.
        {"another last tag", OtherTail(body, 690000), true, false},
        {"shorter than the part file", body.substr(0, 450000), true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EmptyFolder(m_dir);
        const std::string first = c.validators ? "ETag: \"a\"\r\nLast-Modified: Mon, 01 Jan 2024 00:00:00 GMT\r\n" : "";
        const std::string second = c.validators ? "ETag: \"b\"\r\n" : "";
        ScriptedHttpServer a(SendsThenGone(body, sent, first));
        ScriptedHttpServer b([&](const HttpExchange& e) { return ServeRanges(e, c.mirrorBody, second); });
        m_options.retry = RetryPolicy{1, 10};
        m_otherSources = {b.Url("/song.mp3")};
        const auto seen = Download(a.Url("/song.mp3"));

        EXPECT_TRUE(ReadWhole(m_dir.Path() / "song.mp3") == c.mirrorBody) << "byte for byte the mirror's file";
        EXPECT_EQ(Files(), std::vector<std::string>{"song.mp3"});
        EXPECT_EQ(seen.back(), "finished 0");
        const auto requests = b.Requests();
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ(requests[0].Header("Range"), "bytes=" + std::to_string(sent - CHttpDownload::kConfirmBytes) + "-");
        const bool restarted = std::any_of(seen.begin(), seen.end(),
                                           [](const std::string& s) { return s.rfind("restart", 0) == 0; });
        EXPECT_EQ(restarted, c.startsOver);
        if (c.startsOver) {
            ASSERT_EQ(requests.size(), 2u);
            EXPECT_EQ(requests[1].HeaderCount("Range"), 0) << "the mirror's file from its first byte";
        }
    }
}

// Whatever makes the second of three addresses unusable, the third gets
// the download, and the part file with it.
TEST_F(DownloadTest, AnAddressThatFailsForGoodHandsTheDownloadToTheNext)
{
    const std::string body = PatternBody(300000);
    const std::size_t sent = 150000;
    ScriptedHttpServer loop([](const HttpExchange& e) {
        return ScriptedReply{HttpResponse(302, "", "Location: " + e.target + "\r\n")};
    });
    ScriptedHttpServer page([](const HttpExchange&) {
        return ScriptedReply{HttpResponse(200, "<!DOCTYPE html><html><body>Not here</body></html>",
                                          "Content-Type: text/html\r\n")};
    });
    ScriptedHttpServer packed([](const HttpExchange&) {
        return ScriptedReply{HttpResponse(200, "xxxx", "Content-Encoding: gzip\r\n")};
    });
    struct Case {
        const char* name;
        std::string second;
    } cases[] = {
        {"a redirect loop", loop.Url("/song.mp3")},
        {"a blank address", ""},
        {"an address that cannot be parsed", "http://[::1/song.mp3"},
        {"another service", "ftp://127.0.0.1/song.mp3"},
        {"a web page", page.Url("/song.mp3")},
        {"a compressed answer", packed.Url("/song.mp3")},
        {"an address too long for any server", "http://127.0.0.1:1/" + std::string(kMaxAddressBytes, 'x')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EmptyFolder(m_dir);
        ScriptedHttpServer first(SendsThenGone(body, sent, "ETag: \"a\"\r\n"));
        ScriptedHttpServer third([&](const HttpExchange& e) { return ServeRanges(e, body, "ETag: \"c\"\r\n"); });
        m_otherSources = {c.second, third.Url("/song.mp3")};
        const auto seen = Download(first.Url("/song.mp3"));
        EXPECT_TRUE(ReadWhole(m_dir.Path() / "song.mp3") == body);
        EXPECT_EQ(seen.back(), "finished 0");
        ASSERT_EQ(third.RequestCount(), 1u) << "the part file went on at the third address";
        EXPECT_EQ(third.Requests()[0].Header("Range"),
                  "bytes=" + std::to_string(sent - CHttpDownload::kConfirmBytes) + "-");
    }
    EXPECT_LE(loop.RequestCount(), 11u) << "a loop is cut off by the redirect limit";
}

// A Retry after the download moved on starts where the list says it got
// to; bytes whose record names an earlier address stay when the address
// tried sends back their end, and go when it does not.
TEST_F(DownloadTest, APartFileFromAnEarlierAddressIsKeptWhenItsEndMatches)
{
    const std::string body = PatternBody(300000);
    const std::size_t kept = 200000;
    for (const bool same : {true, false}) {
        SCOPED_TRACE(same ? "the same file" : "another file");
        EmptyFolder(m_dir);
        const std::string mirror = same ? body : OtherTail(body, 100000);
        ScriptedHttpServer loop([](const HttpExchange& e) {
            return ScriptedReply{HttpResponse(302, "", "Location: " + e.target + "\r\n")};
        });
        ScriptedHttpServer third([&](const HttpExchange& e) { return ServeRanges(e, mirror, "ETag: \"c\"\r\n"); });
        m_dir.Write(".song.mp3.part", body.substr(0, kept));
        ResumeState record;
        record.strUrl = "http://127.0.0.1:1/first/song.mp3";
        record.strETag = "\"a\"";
        record.nLength = body.size();
        ASSERT_TRUE(SaveResumeState(m_dir.File(".song.mp3.part.info"), record));
        m_otherSources = {third.Url("/song.mp3")};
        const auto seen = Download(loop.Url("/song.mp3"));
        EXPECT_TRUE(ReadWhole(m_dir.Path() / "song.mp3") == mirror);
        EXPECT_EQ(Files(), std::vector<std::string>{"song.mp3"});
        const auto requests = third.Requests();
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ(requests[0].Header("Range"), "bytes=" + std::to_string(kept - CHttpDownload::kConfirmBytes) + "-");
        EXPECT_EQ(requests.size(), same ? 1u : 2u);
    }
}

}  // namespace
}  // namespace download_testing
