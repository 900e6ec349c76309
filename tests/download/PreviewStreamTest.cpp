// The preview's streaming path: range requests ahead of libmpg123, against
// nginx and against scripted answers that are no MP3 or break off.
#include "download/Mp3Head.h"
#include "download/PreviewDecoder.h"
#include "platform/WorkerThreads.h"

#include "NginxServer.h"
#include "ProbeReceiver.h"
#include "ScriptedHttpServer.h"
#include "TempDir.h"
#include "ToneMp3.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cmath>
#include <sstream>
#include <thread>

using namespace testing_support;
using namespace std::chrono_literals;

namespace {

struct Decoded {
    PreviewDecoder::State last = PreviewDecoder::State::Waiting;
    std::string pcm;
};

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds timeout = 10s)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// Decodes until the end, a failure, `maxBytes` of samples or 30 seconds.
Decoded DecodeUntil(PreviewDecoder& decoder, std::size_t maxBytes = SIZE_MAX)
{
    Decoded out;
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (out.pcm.size() < maxBytes && std::chrono::steady_clock::now() < deadline) {
        out.last = decoder.Decode(out.pcm, std::min<std::size_t>(maxBytes - out.pcm.size(), 32768), 200ms);
        if (out.last == PreviewDecoder::State::End || out.last == PreviewDecoder::State::Failed)
            break;
    }
    return out;
}

// Sum of the body bytes nginx logged, and whether every answer was a 206.
std::pair<std::uint64_t, bool> LoggedBytes(const std::string& log)
{
    std::istringstream lines(log);
    std::string line;
    std::uint64_t total = 0;
    bool allRanges = true;
    while (std::getline(lines, line)) {
        // ... "GET /x HTTP/1.1" 206 65536 "-" "Tunorva"
        const std::size_t quote = line.find("\" ", line.find("HTTP/1."));
        if (quote == std::string::npos)
            continue;
        int status = 0;
        unsigned long bytes = 0;
        std::sscanf(line.c_str() + quote + 2, "%d %lu", &status, &bytes);
        allRanges = allRanges && status == 206;
        total += bytes;
    }
    return {total, allRanges};
}

class PreviewStreamTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearProxyEnvironment();
        if (!LameAvailable())
            GTEST_SKIP() << "lame is not installed (scripts/setup-debian.sh installs it)";
    }
};

TEST_F(PreviewStreamTest, DecodesEachKindOfMpegStreamAtItsOwnRateWithTitleAndLength)
{
    if (!NginxServer::Available())
        GTEST_SKIP() << "nginx is not installed";
    struct Row {
        const char* name;
        ToneMp3 tone;
        double lengthTolerance;  // share of the true length
    };
    const auto tone = [](int rate, int channels, int kbps, int vbr, bool info) {
        ToneMp3 t;
        t.rate = rate;
        t.channels = channels;
        t.kbps = kbps;
        t.vbrQuality = vbr;
        t.infoTag = info;
        t.seconds = 4.0;
        t.title = "Waterloo";
        t.artist = "Tone Band";
        return t;
    };
    ToneMp3 bigTag = tone(44100, 2, 128, -1, false);
    bigTag.tagPadding = 200000;
    const Row rows[] = {
        {"MPEG-1 CBR with an Info frame", tone(44100, 2, 128, -1, true), 0.02},
        {"MPEG-1 CBR, length from the size", tone(48000, 2, 160, -1, false), 0.02},
        {"MPEG-1 VBR with a Xing header", tone(44100, 2, 0, 4, true), 0.01},
        {"MPEG-2 mono, length from the size", tone(24000, 1, 64, -1, false), 0.02},
        {"MPEG-2.5 mono", tone(11025, 1, 32, -1, true), 0.02},
        {"CBR behind a 200 KB tag, length from the size", bigTag, 0.02},
    };
    TempDir root;
    for (std::size_t i = 0; i < std::size(rows); ++i)
        root.Write("tone" + std::to_string(i) + ".mp3", EncodeToneMp3(rows[i].tone));
    NginxServer server(root.Str());
    ASSERT_TRUE(server.Running()) << server.Error();

    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const Row& row = rows[i];
        SCOPED_TRACE(row.name);
        PreviewDecoder decoder(server.HttpUrl("/tone" + std::to_string(i) + ".mp3"));
        ASSERT_TRUE(decoder.Start());
        // The length is known from the first second on, long before the end.
        Decoded decoded = DecodeUntil(decoder, static_cast<std::size_t>(row.tone.rate * row.tone.channels * 2));
        const std::optional<double> early = decoder.LengthSeconds();
        const Decoded rest = DecodeUntil(decoder);
        decoded.pcm += rest.pcm;
        ASSERT_EQ(rest.last, PreviewDecoder::State::End) << PreviewErrorText(decoder.Error());
        EXPECT_EQ(decoder.OutputFormat().rate, row.tone.rate);
        EXPECT_EQ(decoder.OutputFormat().channels, row.tone.channels);
        EXPECT_EQ(decoder.Title(), "Waterloo");
        const double seconds = static_cast<double>(decoder.FramesDecoded()) / row.tone.rate;
        EXPECT_NEAR(seconds, row.tone.seconds, 0.15);
        EXPECT_EQ(decoded.pcm.size(), decoder.FramesDecoded() * decoder.OutputFormat().BytesPerFrame());
        ASSERT_TRUE(early.has_value());
        EXPECT_NEAR(*early, seconds, seconds * row.lengthTolerance);
        EXPECT_GT(Rms(decoded.pcm), 0.1);
    }
}

TEST_F(PreviewStreamTest, FetchesNoFurtherAheadThanItsReadAheadAndRefillsAsItPlays)
{
    if (!NginxServer::Available())
        GTEST_SKIP() << "nginx is not installed";
    ToneMp3 tone;
    tone.seconds = 2.0;
    tone.infoTag = false;
    const std::string mp3 = RepeatMp3Audio(EncodeToneMp3(tone), 40);  // 80 s, about 1.3 MB
    TempDir root;
    root.Write("long.mp3", mp3);
    NginxServer server(root.Str());
    ASSERT_TRUE(server.Running()) << server.Error();

    PreviewStream::Options options;
    options.readAhead = 256u << 10;
    options.firstPiece = 64u << 10;
    options.piece = 96u << 10;
    PreviewDecoder decoder(server.HttpUrl("/long.mp3"), options);
    ASSERT_TRUE(decoder.Start());
    // One second of sound takes 16 KB of the file, and the decoder is fed in
    // 16 KiB steps.
    const std::size_t second = 44100 * 4;
    ASSERT_EQ(DecodeUntil(decoder, second).pcm.size(), second);
    ASSERT_TRUE(WaitFor([&] { return decoder.Stream().BytesReceived() >= options.readAhead; }));
    const auto [logged, allRanges] = LoggedBytes(server.AccessLog());
    EXPECT_TRUE(allRanges) << server.AccessLog();
    const std::uint64_t consumedAtMost = 2 * (16u << 10) + 16000;
    EXPECT_LE(decoder.Stream().BytesReceived(), options.readAhead + consumedAtMost);
    EXPECT_LE(logged, options.readAhead + consumedAtMost);
    EXPECT_EQ(decoder.Stream().FileSize(), mp3.size());

    // Playing on, it fetches the rest piece by piece to the end.
    const Decoded rest = DecodeUntil(decoder);
    EXPECT_EQ(rest.last, PreviewDecoder::State::End) << PreviewErrorText(decoder.Error());
    // Each copy carries the encoder's padding: the length is that of the bytes at 128 kbit/s.
    EXPECT_NEAR(static_cast<double>(decoder.FramesDecoded()) / 44100, mp3.size() * 8.0 / 128000, 0.1);
    EXPECT_EQ(decoder.Stream().BytesReceived(), mp3.size());
}

TEST_F(PreviewStreamTest, AnswersThatAreNoMp3OrBreakOffEndTheStreamWithTheirReason)
{
    ToneMp3 tone;
    tone.seconds = 8.0;
    const std::string mp3 = EncodeToneMp3(tone);
    ASSERT_GT(mp3.size(), 100000u);
    const std::string page = "<!DOCTYPE html>\n<html><head><title>Not here</title></head><body>" +
                             std::string(3000, 'x') + "</body></html>";
    struct Row {
        const char* name;
        std::function<ScriptedReply(const HttpExchange&)> answer;
        PreviewFailure kind;
        int code;
        ContentKind content;
        bool playsFirst;  // sound came before the failure
    };
    const Row rows[] = {
        {"a web page", [&](const HttpExchange&) { return ScriptedReply{HttpResponse(200, page, "Content-Type: text/html\r\n")}; },
         PreviewFailure::NotMp3, 0, ContentKind::WebPage, false},
        {"a server error", [](const HttpExchange&) { return ScriptedReply{HttpResponse(500, "oops")}; },
         PreviewFailure::ServerError, 500, ContentKind::Mp3, false},
        {"no such file", [](const HttpExchange&) { return ScriptedReply{HttpResponse(404, "gone")}; },
         PreviewFailure::ServerError, 404, ContentKind::Mp3, false},
        {"bytes that are no MPEG audio",
         [](const HttpExchange& request) { return ServeRange(request, std::string(200000, '\0')); },
         PreviewFailure::NotMp3, 0, ContentKind::Other, false},
        {"an empty file", [](const HttpExchange&) { return ScriptedReply{HttpResponse(200, "")}; },
         PreviewFailure::NotMp3, 0, ContentKind::Empty, false},
        {"no answer at all", [](const HttpExchange&) {
             ScriptedReply reply;
             reply.closeAtOnce = true;
             return reply;
         },
         PreviewFailure::NoConnection, 52, ContentKind::Mp3, false},
        {"a connection dropped halfway through the second piece",
         [&](const HttpExchange& request) {
             ScriptedReply reply = ServeRange(request, mp3);
             if (request.Header("Range").rfind("bytes=0-", 0) != 0)
                 reply.bytes.resize(reply.bytes.size() / 2);
             return reply;
         },
         PreviewFailure::ConnectionLost, 18, ContentKind::Mp3, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedHttpServer server(row.answer);
        PreviewDecoder decoder(server.Url("/song.mp3"));
        ASSERT_TRUE(decoder.Start());
        const Decoded decoded = DecodeUntil(decoder);
        ASSERT_EQ(decoded.last, PreviewDecoder::State::Failed);
        const PreviewError error = decoder.Error();
        EXPECT_EQ(error.kind, row.kind);
        EXPECT_EQ(error.code, row.code);
        EXPECT_EQ(error.content, row.content);
        EXPECT_FALSE(PreviewErrorText(error).empty());
        if (row.playsFirst)
            EXPECT_GT(Rms(decoded.pcm), 0.1);
        else
            EXPECT_TRUE(decoded.pcm.empty());
    }
}

TEST_F(PreviewStreamTest, ServersThatAnswerRangesLooselyArePlayedToTheEnd)
{
    ToneMp3 tone;
    const std::string mp3 = EncodeToneMp3(tone);
    struct Row {
        const char* name;
        std::function<ScriptedReply(const HttpExchange&)> answer;
        std::size_t requests;
    };
    const Row rows[] = {
        {"the whole file for every range", [&](const HttpExchange&) { return ScriptedReply{HttpResponse(200, mp3)}; }, 1},
        {"a range stated as asked, past the end of the file",
         [&](const HttpExchange& request) {
             ScriptedReply reply = ServeRange(request, mp3);
             const std::string asked = request.Header("Range").substr(6);
             const std::string stated = "Content-Range: bytes " + asked + "/" + std::to_string(mp3.size());
             const std::size_t at = reply.bytes.find("Content-Range: ");
             reply.bytes.replace(at, reply.bytes.find("\r\n", at) - at, stated);
             return reply;
         },
         1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedHttpServer server(row.answer);
        PreviewDecoder decoder(server.Url("/song.mp3"));
        ASSERT_TRUE(decoder.Start());
        const Decoded decoded = DecodeUntil(decoder);
        EXPECT_EQ(decoded.last, PreviewDecoder::State::End) << PreviewErrorText(decoder.Error());
        EXPECT_NEAR(static_cast<double>(decoder.FramesDecoded()) / 44100, tone.seconds, 0.1);
        EXPECT_EQ(server.RequestCount(), row.requests);
        EXPECT_EQ(decoder.Stream().FileSize(), mp3.size());
    }
}

// A preview stopped while its server says nothing lets its worker go at once.
TEST_F(PreviewStreamTest, StoppingWhileTheServerIsSilentEndsTheWorkerPromptly)
{
    ScriptedHttpServer server([](const HttpExchange&) {
        ScriptedReply reply;
        reply.holdOpen = true;
        return reply;
    });
    ASSERT_TRUE(platform::WaitForWorkers(5s));
    {
        PreviewDecoder decoder(server.Url("/song.mp3"));
        ASSERT_TRUE(decoder.Start());
        ASSERT_TRUE(server.WaitForRequests(1, 5s));
        std::string pcm;
        EXPECT_EQ(decoder.Decode(pcm, 4096, 100ms), PreviewDecoder::State::Waiting);
        EXPECT_EQ(platform::RunningWorkerCount(), 1);
    }
    const auto stopped = std::chrono::steady_clock::now();
    EXPECT_TRUE(platform::WaitForWorkers(2s));
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, 1s);
}

// A file of `size` bytes that is never held whole: `bytes(from, count)` makes
// the part asked for. Only ranges are answered, at most 1 MiB each.
ScriptedReply ServeMadeRange(const HttpExchange& request, std::uint64_t size,
                             const std::function<std::string(std::uint64_t, std::size_t)>& bytes)
{
    std::uint64_t from = 0;
    std::uint64_t to = 0;
    if (std::sscanf(request.Header("Range").c_str(), "bytes=%" SCNu64 "-%" SCNu64, &from, &to) != 2 || to < from ||
        to - from >= (1u << 20))
        return ScriptedReply{HttpResponse(500, "ranges of at most 1 MiB only")};
    if (from >= size)
        return ScriptedReply{HttpResponse(416, "")};
    to = std::min(to, size - 1);
    const std::string header = "Content-Range: bytes " + std::to_string(from) + "-" + std::to_string(to) + "/" +
                               std::to_string(size) + "\r\n";
    return ScriptedReply{HttpResponse(206, bytes(from, static_cast<std::size_t>(to - from + 1)), header)};
}

// A tag that claims 256 MiB (the most a tag can declare) and holds it, its
// title first and padding after: the preview jumps over it with one range
// request, holds no more of it than its first piece and still shows the
// title; what the file holds bounds nothing but what is played.
TEST_F(PreviewStreamTest, ATagLongerThanTheReadAheadIsJumpedOverNotFetched)
{
    ToneMp3 tone;
    tone.seconds = 4.0;
    tone.infoTag = false;  // the length comes from the size, less the tag
    const std::string audio = EncodeToneMp3(tone);
    ASSERT_GT(audio.size(), 10000u);
    const std::uint64_t declared = (1u << 28) - 1;
    std::string tagStart = std::string("ID3\x03\0\0\x7F\x7F\x7F\x7F", 10);
    const std::string title("\0Huge Tag", 9);
    tagStart += std::string("TIT2\0\0\0", 7) + static_cast<char>(title.size()) + std::string(2, '\0') + title;
    const std::uint64_t tagEnd = Mp3Head::TagEnd(tagStart);
    ASSERT_EQ(tagEnd, 10 + declared);
    const std::uint64_t size = tagEnd + audio.size();
    const auto bytes = [&](std::uint64_t from, std::size_t count) {
        std::string out(count, '\0');
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint64_t at = from + i;
            if (at < tagStart.size())
                out[i] = tagStart[at];
            else if (at >= tagEnd)
                out[i] = audio[at - tagEnd];
        }
        return out;
    };
    ScriptedHttpServer server([&](const HttpExchange& request) { return ServeMadeRange(request, size, bytes); }, 50);

    PreviewDecoder decoder(server.Url("/huge-tag.mp3"));
    ASSERT_TRUE(decoder.Start());
    const Decoded decoded = DecodeUntil(decoder);
    ASSERT_EQ(decoded.last, PreviewDecoder::State::End) << PreviewErrorText(decoder.Error());
    EXPECT_EQ(decoder.Title(), "Huge Tag");
    EXPECT_NEAR(static_cast<double>(decoder.FramesDecoded()) / tone.rate, tone.seconds, 0.15);
    ASSERT_TRUE(decoder.LengthSeconds().has_value());
    EXPECT_NEAR(*decoder.LengthSeconds(), tone.seconds, tone.seconds * 0.02);
    EXPECT_GT(Rms(decoded.pcm), 0.1);
    // The first piece, perhaps some of the next one that was under way, then
    // the audio from where the tag ends.
    const PreviewStream::Options options;
    EXPECT_LE(decoder.Stream().BytesReceived(), options.firstPiece + options.piece + audio.size());
    EXPECT_LE(decoder.Stream().Requests(), 3);
    const auto requests = server.Requests();
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(requests.back().Header("Range").rfind("bytes=" + std::to_string(tagEnd) + "-", 0), 0u)
        << requests.back().Header("Range");
}

// Frames of a second sample format halfway (24 kHz stereo, then 22.05 kHz
// mono) are dropped: the preview goes on in the first format to the end.
TEST_F(PreviewStreamTest, FramesOfAnotherSampleFormatAreDroppedAndTheFirstGoesOn)
{
    ToneMp3 first;
    first.rate = 24000;
    first.channels = 2;
    first.kbps = 64;
    first.seconds = 2.0;
    first.infoTag = false;
    ToneMp3 second = first;
    second.rate = 22050;
    second.channels = 1;
    second.kbps = 32;
    const std::string a = EncodeToneMp3(first);
    const std::string b = EncodeToneMp3(second);
    const std::string mp3 = a + b + a;
    ScriptedHttpServer server([&](const HttpExchange& request) { return ServeRange(request, mp3); });
    PreviewDecoder decoder(server.Url("/changes.mp3"));
    ASSERT_TRUE(decoder.Start());
    const Decoded decoded = DecodeUntil(decoder);
    EXPECT_EQ(decoded.last, PreviewDecoder::State::End) << PreviewErrorText(decoder.Error());
    EXPECT_EQ(decoder.OutputFormat().rate, 24000);
    EXPECT_EQ(decoder.OutputFormat().channels, 2);
    EXPECT_NEAR(static_cast<double>(decoder.FramesDecoded()) / 24000, 2 * first.seconds, 0.2);
    EXPECT_EQ(decoded.pcm.size(), decoder.FramesDecoded() * 4);
}

// A server that trickles its bytes never lets a request's own stall time-out
// fire; a stream too slow to ever play ends at that time-out all the same.
TEST_F(PreviewStreamTest, AServerThatTricklesEndsThePreviewAtTheStallTimeOut)
{
    ToneMp3 tone;
    const std::string mp3 = EncodeToneMp3(tone);
    ScriptedHttpServer server([&](const HttpExchange& request) {
        ScriptedReply reply = ServeRange(request, mp3);
        reply.chunkSize = 1;
        reply.chunkDelayMs = 50;  // 20 bytes a second, headers and all
        return reply;
    });
    PreviewStream::Options options;
    options.stallTimeoutMs = 1500;
    PreviewDecoder decoder(server.Url("/slow.mp3"), options);
    ASSERT_TRUE(decoder.Start());
    const Decoded decoded = DecodeUntil(decoder);
    ASSERT_EQ(decoded.last, PreviewDecoder::State::Failed);
    EXPECT_EQ(decoder.Error().kind, PreviewFailure::ConnectionLost);
    EXPECT_EQ(decoder.Error().code, 28);
    EXPECT_TRUE(decoded.pcm.empty());
    // The worker lets go of the request.
    EXPECT_TRUE(server.WaitForClientGone(5s));
}

// What began over TLS is not fetched in the clear: a redirect from https: to
// http: ends the preview before the plain request is made.
TEST_F(PreviewStreamTest, ARedirectFromHttpsToHttpIsRefused)
{
    if (!NginxServer::Available())
        GTEST_SKIP() << "nginx is not installed";
    ToneMp3 tone;
    TempDir root;
    root.Write("song.mp3", EncodeToneMp3(tone));
    NginxServer server(root.Str());
    ASSERT_TRUE(server.Running()) << server.Error();
    ::setenv("SSL_CERT_FILE", server.CaFile().c_str(), 1);
    {
        // Over TLS all the way, it plays.
        PreviewDecoder secure(server.HttpsUrl("/redirect?to=" + server.HttpsUrl("/song.mp3")));
        ASSERT_TRUE(secure.Start());
        EXPECT_EQ(DecodeUntil(secure).last, PreviewDecoder::State::End) << PreviewErrorText(secure.Error());
    }
    const auto songRequests = [&] {
        const std::string log = server.AccessLog();
        std::size_t count = 0;
        for (std::size_t at = log.find("GET /song.mp3 "); at != std::string::npos; at = log.find("GET /song.mp3 ", at + 1))
            ++count;
        return count;
    };
    const std::size_t before = songRequests();
    PreviewDecoder decoder(server.HttpsUrl("/redirect?to=" + server.HttpUrl("/song.mp3")));
    ASSERT_TRUE(decoder.Start());
    const Decoded decoded = DecodeUntil(decoder);
    ::unsetenv("SSL_CERT_FILE");
    ASSERT_EQ(decoded.last, PreviewDecoder::State::Failed);
    EXPECT_EQ(decoder.Error().kind, PreviewFailure::InsecureRedirect);
    EXPECT_EQ(PreviewErrorText(decoder.Error()), "Refused: the secure address redirects to unencrypted HTTP");
    EXPECT_TRUE(decoded.pcm.empty());
    EXPECT_EQ(songRequests(), before) << server.AccessLog();
}

}  // namespace
