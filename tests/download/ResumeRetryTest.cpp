// Downloads that keep their work: resuming a part file with a range, the
// server's answers to it, retries after waits, and the content check.
#include "DownloadFixture.h"

#include "download/Mp3Check.h"
#include "download/RateLimiter.h"
#include "download/ResumeState.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <thread>

using namespace download_testing;

namespace {

const std::string kETag = "\"v1\"";

// A server that does ranges as a real one does: 206 for a range whose
// If-Range matches `etag`, the whole file otherwise.
ScriptedReply RangeReply(const HttpExchange& request, const std::string& body, const std::string& etag)
{
    const std::string range = request.Header("Range");
    const std::string validators = "ETag: " + etag + "\r\n";
    if (range.rfind("bytes=", 0) != 0 || (!request.Header("If-Range").empty() && request.Header("If-Range") != etag))
        return ScriptedReply{HttpResponse(200, body, validators)};
    const std::size_t from = std::stoul(range.substr(6));
    if (from >= body.size())
        return ScriptedReply{HttpResponse(416, "", "Content-Range: bytes */" + std::to_string(body.size()) + "\r\n")};
    return ScriptedReply{HttpResponse(206, body.substr(from),
                                      validators + "Content-Range: bytes " + std::to_string(from) + "-" +
                                          std::to_string(body.size() - 1) + "/" + std::to_string(body.size()) + "\r\n")};
}

class ResumeTest : public DownloadTest {
protected:
    // What an earlier run left: the first `size` bytes and the record of
    // where they came from.
    void LeavePartFile(const std::string& url, const std::string& body, std::size_t size, const std::string& etag = kETag)
    {
        m_dir.Write(".song.mp3.part", body.substr(0, size));
        ResumeState state;
        state.strUrl = url;
        state.strETag = etag;
        state.nLength = body.size();
        ASSERT_TRUE(SaveResumeState(m_dir.File(".song.mp3.part.info"), state));
    }

    void ExpectOnlyTheSong(const std::string& body)
    {
        EXPECT_TRUE(ReadWhole(m_dir.File("song.mp3")) == body) << "byte for byte";
        EXPECT_EQ(Files(), std::vector<std::string>{"song.mp3"}) << "the part file and its record are gone";
    }
};

TEST_F(ResumeTest, APartFileIsResumedOrStartedOverAsTheServerAnswers)
{
    const std::string body = PatternBody(200 * 1024);
    struct Case {
        const char* name;
        std::size_t kept;
        std::string serverETag;  // the ETag the server has now
        bool ignoresRanges;
        std::vector<std::string> expected;  // after the status texts
        std::size_t bytesAsked;  // body bytes the server was asked for
    } cases[] = {
        {"byte-exact resume", 100000, kETag, false, {"resume 100000", "checked", "done"}, body.size() - 100000},
        {"changed ETag", 100000, "\"v2\"", false, {"restart the file on the server has changed", "checked", "done"},
         body.size()},
        {"200 to a range", 100000, kETag, true, {"restart the server sent the whole file", "checked", "done"},
         body.size()},
        {"416 at the end", body.size(), kETag, false, {"checked", "done"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<std::size_t> asked{0};
        ScriptedHttpServer server([&](const HttpExchange& request) {
            if (c.ignoresRanges)
                return ScriptedReply{HttpResponse(200, body)};
            ScriptedReply reply = RangeReply(request, body, c.serverETag);
            const std::size_t head = reply.bytes.find("\r\n\r\n") + 4;
            asked += reply.bytes.size() - head;
            return reply;
        });
        const std::string url = server.Url("/song.mp3");
        LeavePartFile(url, body, c.kept);
        std::vector<std::string> seen;
        for (const std::string& line : Download(url)) {
            if (line != "Getting file information" && line != "Retrieving the file" && line.rfind("size", 0) != 0 && line != "finished 0")
                seen.push_back(line);
        }
        EXPECT_EQ(seen, c.expected);
        ExpectOnlyTheSong(body);
        ASSERT_EQ(server.RequestCount(), 1u) << "one request, whatever the answer";
        const HttpExchange request = server.Requests()[0];
        EXPECT_EQ(request.Header("Range"), "bytes=" + std::to_string(c.kept) + "-");
        EXPECT_EQ(request.Header("If-Range"), kETag);
        if (!c.ignoresRanges) {
            EXPECT_EQ(asked, c.bytesAsked);
        }
        fs::remove(m_dir.File("song.mp3"));
    }
}

// The part file holds the old version's bytes and its record the old ETag;
// the server now has another version, and answers a range without saying
// it is the same file. The song must be the new version whole, never the
// old bytes with the new ones spliced on.
TEST_F(ResumeTest, AnAnswerThatDoesNotNameThePartFilesVersionStartsOver)
{
    const std::string v1 = PatternBody(100 * 1024);
    std::string v2 = v1;
    v2[10] = static_cast<char>(v2[10] ^ 0x5A);  // inside the first frame
    const std::string length = std::to_string(v1.size());
    const struct {
        const char* name;
        std::size_t kept;
        std::function<std::string(std::size_t from)> ranged;  // the answer to a range from `from`
        std::string restart;
    } cases[] = {
        {"206 without validators", 50000,
         [&](std::size_t from) {
             return HttpResponse(206, v2.substr(from),
                                 "Content-Range: bytes " + std::to_string(from) + "-" +
                                     std::to_string(v2.size() - 1) + "/" + length + "\r\n");
         },
         "restart the file on the server has changed"},
        {"416 with another ETag", v1.size(),
         [&](std::size_t) { return HttpResponse(416, "", "ETag: \"v2\"\r\nContent-Range: bytes */" + length + "\r\n"); },
         "restart the part file does not fit the file on the server"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedHttpServer server([&](const HttpExchange& request) {
            const std::string range = request.Header("Range");
            if (range.empty())
                return ScriptedReply{HttpResponse(200, v2, "ETag: \"v2\"\r\n")};
            return ScriptedReply{c.ranged(std::stoul(range.substr(6)))};
        });
        const std::string url = server.Url("/song.mp3");
        LeavePartFile(url, v1, c.kept);
        const auto seen = Download(url);
        EXPECT_NE(std::find(seen.begin(), seen.end(), c.restart), seen.end());
        EXPECT_EQ(seen.back(), "finished 0");
        ExpectOnlyTheSong(v2);
        fs::remove(m_dir.File("song.mp3"));
    }
}

TEST_F(ResumeTest, ARecordIsNeverReadOrWrittenThroughALinkOrAFifo)
{
    const std::string body = PatternBody(60 * 1024);
    ScriptedHttpServer server([&](const HttpExchange& request) { return RangeReply(request, body, kETag); });
    const std::string url = server.Url("/song.mp3");
    const std::string record = m_dir.File(".song.mp3.part.info");

    // A link planted in the record's place, to a file outside the folder.
    TempDir outside;
    outside.Write("victim", "mine");
    fs::create_symlink(outside.File("victim"), record);
    EXPECT_EQ(Download(url).back(), "finished 0");
    EXPECT_EQ(ReadWhole(outside.File("victim")), "mine") << "nothing written through the link";
    ExpectOnlyTheSong(body);
    fs::remove(m_dir.File("song.mp3"));

    // Beside a part file, a link to a record elsewhere or a FIFO is no
    // record: the part file starts over, and nothing waits on the FIFO.
    for (const char* kind : {"link", "fifo"}) {
        SCOPED_TRACE(kind);
        LeavePartFile(url, body, 30000);
        if (kind[0] == 'l') {
            fs::rename(record, outside.File("record"));
            fs::create_symlink(outside.File("record"), record);
        } else {
            fs::remove(record);
            ASSERT_EQ(::mkfifo(record.c_str(), 0600), 0);
        }
        auto download = std::async(std::launch::async, [&] { return Download(url); });
        if (download.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            ADD_FAILURE() << "the download waits on its record";
            ::close(::open(record.c_str(), O_WRONLY | O_NONBLOCK));
        }
        const auto seen = download.get();
        EXPECT_NE(std::find(seen.begin(), seen.end(), "restart the part file has no record of its source"), seen.end());
        ExpectOnlyTheSong(body);
        fs::remove(m_dir.File("song.mp3"));
    }
}

// A part file left by a killed run starts over when nothing can show that
// its bytes are of the file the server has now, and the restart says why.
TEST_F(ResumeTest, APartFileThatCannotBeCheckedStartsOverAndSaysWhy)
{
    const std::string body = PatternBody(100 * 1024);
    ScriptedHttpServer server([&](const HttpExchange&) { return ScriptedReply{HttpResponse(200, body)}; });
    const std::string url = server.Url("/song.mp3");
    const struct {
        const char* name;
        bool record;  // the part file has a record, without ETag or date
        const char* restart;
    } cases[] = {
        {"no validators", true, "restart the server gives no way to check that the file is unchanged"},
        {"no record", false, "restart the part file has no record of its source"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LeavePartFile(url, body, 60 * 1024, "");
        if (!c.record)
            fs::remove(m_dir.File(".song.mp3.part.info"));
        const auto seen = Download(url);
        EXPECT_NE(std::find(seen.begin(), seen.end(), c.restart), seen.end()) << ::testing::PrintToString(seen);
        ExpectOnlyTheSong(body);
        fs::remove(m_dir.File("song.mp3"));
    }
    EXPECT_EQ(server.Requests()[0].Header("Range"), "") << "nothing is asked of bytes that cannot be checked";
}

TEST_F(ResumeTest, TheFiguresGoOnFromThePartFile)
{
    const std::string body = PatternBody(100 * 1024);
    ScriptedHttpServer server([&](const HttpExchange& request) { return RangeReply(request, body, kETag); });
    const std::string url = server.Url("/song.mp3");
    LeavePartFile(url, body, 50 * 1024);
    const auto seen = Download(url, nullptr, true);
    const auto at = [&](const std::string& line) { return std::find(seen.begin(), seen.end(), line) - seen.begin(); };
    EXPECT_LT(at("size 102400"), at("resume 51200"));
    EXPECT_LT(at("resume 51200"), at("progress 51200")) << "the row shows 50 % at once";
    EXPECT_LT(at("progress 51200"), at("progress 52224")) << "and counts on from there";
    EXPECT_EQ(std::count_if(seen.begin(), seen.end(), [](const std::string& l) { return l.rfind("progress", 0) == 0; }),
              51) << "one message per whole percent from 50 to 100";
    ExpectOnlyTheSong(body);
}

// A 206 is held to its Content-Range: bytes past the range asked for fail
// the try, and none of that try's bytes stays in the part file.
TEST_F(ResumeTest, BytesPastTheRangeFailTheTryAndAreNeverWritten)
{
    m_options.retry = RetryPolicy{1, 10};
    const std::string body = PatternBody(300000);
    const std::size_t kept = 100000;
    const std::string range = "ETag: " + kETag + "\r\nContent-Range: bytes " + std::to_string(kept) + "-" +
                              std::to_string(body.size() - 1) + "/" + std::to_string(body.size()) + "\r\n";
    struct Case {
        const char* name;
        std::string wrongBody;
        bool mendsItself;  // the next answer is right
    } cases[] = {
        {"more bytes after the range", body.substr(kept) + PatternBody(50000), true},
        {"the whole file under a range's header", body, true},
        {"always too long", body.substr(kept) + "x", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<int> requests{0};
        ScriptedHttpServer server([&](const HttpExchange& request) {
            if (++requests == 1 || !c.mendsItself)
                return ScriptedReply{HttpResponse(206, c.wrongBody, range)};
            return RangeReply(request, body, kETag);
        });
        const std::string url = server.Url("/song.mp3");
        LeavePartFile(url, body, kept);
        const auto seen = Download(url);
        EXPECT_EQ(std::count(seen.begin(), seen.end(), "Retrying in 1 sec (try 1 of 1): The server answered 206"), 1);
        if (c.mendsItself) {
            ExpectOnlyTheSong(body);
        } else {
            EXPECT_EQ(seen.back(), "finished 1");
            EXPECT_FALSE(fs::exists(m_dir.File("song.mp3")));
            EXPECT_EQ(fs::file_size(m_dir.File(".song.mp3.part")), kept);
        }
        fs::remove(m_dir.File("song.mp3"));
    }
}

// A length the server states but does not have (961 KB said to be 5 GB) is
// not waited for: the download ends where the server's bytes end, and the
// file is checked there.
TEST_F(ResumeTest, AStatedLengthBeyondTheServersBytesEndsWhereTheBytesEnd)
{
    m_options.retry = RetryPolicy{2, 10};
    const std::string body = PatternBody(300000);
    const std::size_t kept = 100000;
    const std::string claimed = "5000000000";
    for (const bool cutShort : {false, true}) {
        SCOPED_TRACE(cutShort ? "a range to the stated end, cut short" : "a range to the real end");
        ScriptedHttpServer server([&](const HttpExchange& request) {
            if (request.Header("Range").empty())
                return ScriptedReply{HttpResponse(200, body, "ETag: " + kETag + "\r\n")};
            const std::size_t from = std::stoul(request.Header("Range").substr(6));
            if (from >= body.size())
                return ScriptedReply{HttpResponse(416, "", "Content-Range: bytes */" + std::to_string(body.size()) + "\r\n")};
            const std::string last = cutShort ? "4999999999" : std::to_string(body.size() - 1);
            std::string reply = HttpResponse(206, body.substr(from),
                                             "ETag: " + kETag + "\r\nContent-Range: bytes " + std::to_string(from) + "-" +
                                                 last + "/" + claimed + "\r\n");
            if (cutShort)
                reply.replace(reply.find("Content-Length: "), reply.find("\r\n", reply.find("Content-Length: ")) -
                                                                 reply.find("Content-Length: "),
                              "Content-Length: " + std::to_string(5000000000ull - from));
            return ScriptedReply{reply};
        });
        const std::string url = server.Url("/song.mp3");
        // A record of a first answer that stated no length.
        m_dir.Write(".song.mp3.part", body.substr(0, kept));
        ResumeState state;
        state.strUrl = url;
        state.strETag = kETag;
        ASSERT_TRUE(SaveResumeState(m_dir.File(".song.mp3.part.info"), state));
        const auto seen = Download(url);
        EXPECT_NE(std::find(seen.begin(), seen.end(), "size " + claimed), seen.end());
        EXPECT_NE(std::find(seen.begin(), seen.end(), "checked"), seen.end());
        EXPECT_EQ(std::count_if(seen.begin(), seen.end(), [](const std::string& l) { return l.rfind("restart", 0) == 0; }),
                  0) << "the part file is kept";
        EXPECT_EQ(seen.back(), "finished 0");
        ExpectOnlyTheSong(body);
        EXPECT_LE(server.RequestCount(), 3u);
        fs::remove(m_dir.File("song.mp3"));
    }
}

// What a killed run left in the folder goes at the next run's first
// download there: half-written records, and records without a part file
// (beside a finished song). A live writer's record and a part file's own
// record stay.
TEST_F(ResumeTest, ARunRemovesWhatAKilledRunLeftInItsFolder)
{
    const std::string body = PatternBody(40000);
    ScriptedHttpServer server([&](const HttpExchange& request) { return RangeReply(request, body, kETag); });
    m_dir.Write(".tunorva-a1B2c3", "url=http://x/\n");
    m_dir.Write(".tunorva-d4E5f6", "url=http://x/\n");
    m_dir.Write(".old.mp3.part.info", "url=http://x/old.mp3\n");
    m_dir.Write("old.mp3", body);
    m_dir.Write(".held.mp3.part", "abc");
    m_dir.Write(".held.mp3.part.info", "url=http://x/held.mp3\n");
    m_dir.Write(".tunorva-seven77", "");
    const int held = ::open(m_dir.File(".tunorva-d4E5f6").c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0) << "a writer that is still alive";
    const auto seen = Download(server.Url("/song.mp3"));
    ::close(held);
    EXPECT_EQ(seen.back(), "finished 0");
    auto names = Files();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".held.mp3.part", ".held.mp3.part.info", ".tunorva-d4E5f6",
                                               ".tunorva-seven77", "old.mp3", "song.mp3"}));
}

TEST_F(ResumeTest, FailedTriesAreTriedAgainAfterGrowingWaitsAndResume)
{
    m_options.retry = RetryPolicy{3, 10};
    const std::string body = PatternBody(120 * 1024);
    std::atomic<int> requests{0};
    ScriptedHttpServer server([&](const HttpExchange& request) {
        switch (++requests) {
        case 1: return ScriptedReply{HttpResponse(503, "busy")};
        case 2: {
            // Half the file, then a reset.
            std::string head = HttpResponse(200, body, "ETag: " + kETag + "\r\n");
            head.resize(head.size() - body.size() / 2);
            return ScriptedReply{head, 0, 0, 0, false, false, false, true};
        }
        default: return RangeReply(request, body, kETag);
        }
    });
    const auto seen = Download(server.Url("/song.mp3"));
    const std::vector<std::string> retries(seen.begin(), std::find(seen.begin(), seen.end(), "checked"));
    EXPECT_EQ(std::count(retries.begin(), retries.end(), "Retrying in 1 sec (try 1 of 3): The server answered 503"), 1);
    EXPECT_EQ(std::count(retries.begin(), retries.end(),
                         "Retrying in 1 sec (try 2 of 3): An error occurred while downloading the file, Error:56"),
              1);
    EXPECT_EQ(std::count(retries.begin(), retries.end(), "resume " + std::to_string(body.size() / 2)), 1);
    EXPECT_EQ(seen.back(), "finished 0");
    ExpectOnlyTheSong(body);
    ASSERT_EQ(server.RequestCount(), 3u);
    EXPECT_EQ(server.Requests()[2].Header("Range"), "bytes=" + std::to_string(body.size() / 2) + "-");
}

TEST_F(ResumeTest, RetryAfterIsHonouredAndOnlyPassingFailuresAreRetried)
{
    m_options.retry = RetryPolicy{2, 10};
    const std::string body = PatternBody(4000);
    std::atomic<int> requests{0};
    ScriptedHttpServer busy([&](const HttpExchange&) {
        return ++requests == 1 ? ScriptedReply{HttpResponse(429, "slow down", "Retry-After: 1\r\n")}
                               : ScriptedReply{HttpResponse(200, body)};
    });
    const auto start = std::chrono::steady_clock::now();
    const auto seen = Download(busy.Url("/song.mp3"));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(950));
    EXPECT_EQ(std::count(seen.begin(), seen.end(), "Retrying in 1 sec (try 1 of 2): The server answered 429"), 1);
    EXPECT_EQ(seen.back(), "finished 0");
    fs::remove(m_dir.File("song.mp3"));

    // A 404, a refused login and a web page are final at once.
    for (const std::string& reply : {HttpResponse(404, "gone"), HttpResponse(401, "who"),
                                     HttpResponse(200, "<!DOCTYPE html><html><body>Not here</body></html>")}) {
        ScriptedHttpServer final([&](const HttpExchange&) { return ScriptedReply{reply}; });
        const auto once = Download(final.Url("/song.mp3"));
        EXPECT_EQ(final.RequestCount(), 1u) << reply.substr(0, 12);
        EXPECT_EQ(once.back(), "finished 1");
        EXPECT_TRUE(Files().empty()) << "no bytes of a song, no part file";
    }

    // After the last try the row fails as without retries.
    ScriptedHttpServer down([&](const HttpExchange&) { return ScriptedReply{HttpResponse(500, "broken")}; });
    const auto failed = Download(down.Url("/song.mp3"));
    EXPECT_EQ(down.RequestCount(), 3u);
    EXPECT_EQ(failed[failed.size() - 2], "failed The server answered 500");
}

TEST_F(ResumeTest, AWebPageStopsEarlyAndAnMp3WithALargeTagPasses)
{
    // A large page, sent slowly: the download ends after its first bytes.
    std::string page = "<!DOCTYPE html>\n<html><head><title>Download</title></head><body>";
    page.resize(2 << 20, 'x');
    ScriptedHttpServer web([&](const HttpExchange&) {
        ScriptedReply reply{HttpResponse(200, page)};
        reply.chunkSize = 16 * 1024;
        reply.chunkDelayMs = 5;
        return reply;
    });
    const auto seen = Download(web.Url("/song.mp3"));
    EXPECT_EQ(seen[seen.size() - 2], "failed The server sent a web page, not an MP3 file");
    EXPECT_TRUE(web.WaitForClientGone(std::chrono::seconds(5))) << "the rest is not fetched";
    EXPECT_TRUE(Files().empty());

    // An ID3v2 tag of 300 KiB, declared in its syncsafe size, before the frames.
    const std::uint32_t tagSize = 300 * 1024;
    std::string song = "ID3\x04";
    song += '\0';
    song += '\0';
    for (int shift : {21, 14, 7, 0})
        song += static_cast<char>((tagSize >> shift) & 0x7F);
    song += std::string(tagSize, '\xFF');  // tag bytes that look like sync words
    song += PatternBody(50000);
    ScriptedHttpServer tagged([&](const HttpExchange&) { return ScriptedReply{HttpResponse(200, song)}; });
    EXPECT_EQ(Download(tagged.Url("/song.mp3")).back(), "finished 0");
    EXPECT_TRUE(ReadWhole(m_dir.File("song.mp3")) == song);
}

TEST(Mp3CheckTest, WhatArrivedIsNamed)
{
    const std::string frames = PatternBody(5000);
    std::string id3 = std::string("ID3\x03\0\0\0\0\0\x0A", 10) + std::string(10, 'T');
    std::string padded = frames;
    padded[2] = '\x92';  // padding bit: the second frame is one byte later
    const struct {
        const char* name;
        std::string bytes;
        ContentKind kind;
    } cases[] = {
        {"frames", frames, ContentKind::Mp3},
        {"tag then frames", id3 + frames, ContentKind::Mp3},
        {"junk before the first frame", std::string(100, '\0') + frames, ContentKind::Mp3},
        {"padding moves the second frame", padded.substr(0, 417) + padded.substr(416), ContentKind::Mp3},
        {"one sync word, no second frame", frames.substr(0, 4) + std::string(2000, 'a'), ContentKind::Other},
        {"tag longer than the file", std::string("ID3\x03\0\0\0\x7F\x7F\x7F", 10) + frames, ContentKind::Other},
        {"web page", "  <html><body>x</body></html>", ContentKind::WebPage},
        {"doctype", "\xEF\xBB\xBF<!doctype HTML>", ContentKind::WebPage},
        {"json", "{\"error\": \"not found\"}", ContentKind::Json},
        {"xml", "<?xml version=\"1.0\"?><Error/>", ContentKind::Xml},
        {"empty", "", ContentKind::Empty},
        {"text", "Access denied", ContentKind::Other},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dir.Write("f", c.bytes);
        const int fd = ::open(dir.File("f").c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(CheckMp3File(fd, c.bytes.size()), c.kind);
        ::close(fd);
    }
}

TEST(RetryPolicyTest, WaitsAndRetryAfter)
{
    const RetryPolicy policy;
    EXPECT_EQ(policy.WaitMs(1, std::nullopt), 2000u);
    EXPECT_EQ(policy.WaitMs(3, std::nullopt), 8000u);
    EXPECT_EQ(policy.WaitMs(5, std::nullopt), 32000u);
    EXPECT_EQ(policy.WaitMs(2, 7000), 7000u);
    EXPECT_EQ(policy.WaitMs(2, 600000), RetryPolicy::kMaxRetryAfterMs);
    const std::time_t now = 1700000000;  // Tue, 14 Nov 2023 22:13:20 GMT
    EXPECT_EQ(ParseRetryAfter("120", now), 120000u);
    EXPECT_EQ(ParseRetryAfter("Tue, 14 Nov 2023 22:13:50 GMT", now), 30000u);
    EXPECT_EQ(ParseRetryAfter("Tue, 14 Nov 2023 22:00:00 GMT", now), 0u);
    EXPECT_EQ(ParseRetryAfter("soon", now), std::nullopt);
    EXPECT_EQ(ParseRetryAfter("-5", now), std::nullopt);
    EXPECT_EQ(ParseContentRange("bytes 100-199/200")->nFirst, 100u);
    EXPECT_EQ(ParseContentRange("bytes 100-199/*")->nTotal, 0u);
    EXPECT_FALSE(ParseContentRange("bytes 100-99/200"));
    EXPECT_FALSE(ParseContentRange("bytes 100-200/200"));
    EXPECT_FALSE(ParseContentRange("items 1-2/3"));
}

TEST_F(ResumeTest, TheSpeedLimitHoldsWithinTenPercent)
{
    const std::string body = PatternBody(1536 * 1024);
    ScriptedHttpServer server([&](const HttpExchange&) { return ScriptedReply{HttpResponse(200, body)}; });
    m_options.limiter = std::make_shared<RateLimiter>();
    m_options.limiter->SetLimit(512 * 1024);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Download(server.Url("/song.mp3")).back(), "finished 0");
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double rate = static_cast<double>(body.size()) / seconds;
    EXPECT_GT(rate, 512 * 1024 * 0.9);
    EXPECT_LT(rate, 512 * 1024 * 1.1);
}

}  // namespace
