// A download whose server fails for good goes on from its part file at
// another address of the same file.
#include "DownloadFixture.h"

namespace download_testing {
namespace {

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
    // The second server was asked for the missing half only, without the
    // first server's validator.
    const auto requests = second.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Header("Range"), "bytes=" + std::to_string(half) + "-");
    EXPECT_EQ(requests[0].HeaderCount("If-Range"), 0);
    EXPECT_EQ(seen.back(), "finished 0");
}

}  // namespace
}  // namespace download_testing
