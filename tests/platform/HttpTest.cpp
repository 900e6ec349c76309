#include "platform/Http.h"

#include "ScriptedHttpServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace platform;
using namespace testing_support;

namespace {

HttpRequestOptions PageOptions()
{
    HttpRequestOptions options;
    options.headers = {"Accept: text/*", "User-Agent: Tunorva"};
    options.stallTimeoutMs = 5000;
    return options;
}

std::unique_ptr<HttpFile> Open(const ScriptedHttpServer& server, const std::string& object,
                               HttpRequestOptions options = PageOptions())
{
    return std::make_unique<HttpFile>("127.0.0.1", server.Port(), object, std::move(options));
}

TEST(Http, SendsTheHeaderLinesOnceAndReadsTheBodyInFullBlocks)
{
    const std::string body(3000, 'b');
    ScriptedHttpServer server([&](const HttpExchange&) {
        ScriptedReply reply{HttpResponse(200, body, "X-Test:  spaced  \r\n")};
        reply.chunkSize = 700;  // arrives in other pieces than it is read in
        reply.chunkDelayMs = 5;
        return reply;
    });
    auto file = Open(server, "/index.asp?s=abba gold&x=\"<>\"");
    ASSERT_TRUE(file->SendRequest());
    EXPECT_EQ(file->StatusCode(), 200);
    EXPECT_EQ(file->QueryInfo("content-length").value_or(""), "3000");
    EXPECT_EQ(file->QueryInfo("X-TEST").value_or(""), "spaced");
    EXPECT_FALSE(file->QueryInfo("Location"));
    EXPECT_EQ(file->RawHeaders().substr(0, 9), "HTTP/1.1 ");
    EXPECT_EQ(file->RawHeaders().substr(file->RawHeaders().size() - 4), "\r\n\r\n");

    char buffer[1024];
    std::vector<std::size_t> reads;
    while (const std::size_t n = file->Read(buffer, sizeof buffer))
        reads.push_back(n);
    EXPECT_EQ(reads, (std::vector<std::size_t>{1024, 1024, 952}));
    EXPECT_FALSE(file->Failed());

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "/index.asp?s=abba%20gold&x=%22%3C%3E%22");
    EXPECT_EQ(requests[0].HeaderCount("Accept"), 1);
    EXPECT_EQ(requests[0].Header("Accept"), "text/*");
    EXPECT_EQ(requests[0].HeaderCount("User-Agent"), 1);
    EXPECT_EQ(requests[0].Header("User-Agent"), "Tunorva");
}

TEST(Http, ResendsOnTheSameRequestAndLeavesRedirectsAloneUnlessAsked)
{
    int calls = 0;
    ScriptedHttpServer server([&](const HttpExchange&) {
        ++calls;
        if (calls == 1)
            return ScriptedReply{HttpResponse(401, "no")};
        return ScriptedReply{HttpResponse(302, "moved", "Location: http://elsewhere.invalid/\r\n")};
    });
    auto file = Open(server, "/");
    ASSERT_TRUE(file->SendRequest());
    EXPECT_EQ(file->StatusCode(), 401);
    ASSERT_TRUE(file->SendRequest());
    EXPECT_EQ(file->StatusCode(), 302);
    EXPECT_EQ(file->QueryInfo("Location").value_or(""), "http://elsewhere.invalid/");
    EXPECT_EQ(server.RequestCount(), 2u);
}

class EventLog final : public HttpStatusObserver {
public:
    void OnResolvingName(const std::string& host) override { events.push_back("resolving " + host); }
    void OnNameResolved(const std::string& a) override { events.push_back("resolved " + a); }
    void OnConnectingToServer(const std::string& a) override { events.push_back("connecting " + a); }
    void OnConnectedToServer(const std::string& a) override { events.push_back("connected " + a); }
    void OnRedirect(const std::string& url) override { events.push_back("redirect " + url); }
    std::vector<std::string> events;
};

TEST(Http, FollowsRedirectsWhenAskedAndReportsEachStepInOrder)
{
    ScriptedHttpServer target([](const HttpExchange&) { return ScriptedReply{HttpResponse(200, "here")}; });
    ScriptedHttpServer first([&](const HttpExchange&) {
        return ScriptedReply{HttpResponse(302, "", "Location: " + target.Url("/x.mp3") + "\r\n")};
    });
    EventLog log;
    HttpRequestOptions options;
    options.followRedirects = true;
    options.observer = &log;
    auto file = Open(first, "/a.mp3", options);
    ASSERT_TRUE(file->SendRequest());
    EXPECT_EQ(file->StatusCode(), 200);
    EXPECT_EQ(file->QueryInfo("Content-Length").value_or(""), "4");
    const std::vector<std::string> expected{
        "resolving 127.0.0.1", "resolved 127.0.0.1", "connecting 127.0.0.1", "connected 127.0.0.1",
        "redirect " + target.Url("/x.mp3"), "resolved 127.0.0.1", "connecting 127.0.0.1", "connected 127.0.0.1"};
    // A resolver start may or may not be reported again for the second host.
    std::vector<std::string> seen;
    for (const auto& e : log.events) {
        if (!(e.rfind("resolving", 0) == 0 && !seen.empty()))
            seen.push_back(e);
    }
    EXPECT_EQ(seen, expected);
}

TEST(Http, ReportsCutOffBodiesAndSilentServersAsFailures)
{
    ScriptedHttpServer cut([](const HttpExchange&) {
        std::string reply = HttpResponse(200, std::string(5000, 'c'));
        reply.resize(reply.size() - 3000);
        return ScriptedReply{reply};
    });
    auto file = Open(cut, "/");
    ASSERT_TRUE(file->SendRequest());
    char buffer[1024];
    std::size_t total = 0;
    while (const std::size_t n = file->Read(buffer, sizeof buffer))
        total += n;
    EXPECT_EQ(total, 2000u);
    EXPECT_TRUE(file->Failed());
    EXPECT_NE(file->ErrorCode(), 0);

    ScriptedHttpServer silent([](const HttpExchange&) {
        ScriptedReply reply;
        reply.closeAtOnce = true;
        return reply;
    });
    auto nothing = Open(silent, "/");
    EXPECT_FALSE(nothing->SendRequest());
    EXPECT_FALSE(nothing->ErrorText().empty());
    EXPECT_EQ(nothing->Read(buffer, sizeof buffer), 0u);

    // Nobody listens on a port the system just handed out and took back.
    std::uint16_t freePort = 0;
    {
        ScriptedHttpServer gone([](const HttpExchange&) { return ScriptedReply{}; });
        freePort = gone.Port();
    }
    HttpFile refused("127.0.0.1", freePort, "/", PageOptions());
    EXPECT_FALSE(refused.SendRequest());
}

TEST(Http, StopEndsAWaitingReadPromptly)
{
    ScriptedHttpServer slow([](const HttpExchange&) {
        ScriptedReply reply{HttpResponse(200, std::string(100, 's')).substr(0, 80)};
        reply.holdOpen = true;
        return reply;
    });
    std::stop_source stop;
    HttpRequestOptions options = PageOptions();
    options.stopToken = stop.get_token();
    auto file = Open(slow, "/", options);
    ASSERT_TRUE(file->SendRequest());
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop.request_stop();
    });
    char buffer[1024];
    const auto started = std::chrono::steady_clock::now();
    std::size_t total = 0;
    while (const std::size_t n = file->Read(buffer, sizeof buffer))
        total += n;
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
    EXPECT_TRUE(file->Failed());
    EXPECT_LT(total, 100u);
}

// One byte every 20 ms: a header line takes longer than the stall timer to
// complete, the whole answer longer than the total deadline.
ScriptedReply Drip(const std::string& bytes)
{
    ScriptedReply reply{bytes};
    reply.chunkSize = 1;
    reply.chunkDelayMs = 20;
    return reply;
}

TEST(Http, AnyByteKeepsARequestAliveButNotBeyondItsTotalTime)
{
    const std::string answer = "HTTP/1.1 200 OK\r\nX-Long: " + std::string(40, 'x') +
                               "\r\nContent-Length: 5\r\nConnection: close\r\n\r\nhello";
    ScriptedHttpServer drip([&](const HttpExchange&) { return Drip(answer); });

    HttpRequestOptions patient = PageOptions();
    patient.stallTimeoutMs = 400;
    auto slow = Open(drip, "/", patient);
    ASSERT_TRUE(slow->SendRequest()) << slow->ErrorText();
    char buffer[16];
    EXPECT_EQ(slow->Read(buffer, sizeof buffer), 5u);
    EXPECT_FALSE(slow->Failed());

    HttpRequestOptions bounded = PageOptions();
    bounded.totalTimeoutMs = 500;
    const auto started = std::chrono::steady_clock::now();
    auto late = Open(drip, "/", bounded);
    EXPECT_FALSE(late->SendRequest());
    EXPECT_EQ(late->ErrorCode(), 28) << "timed out";
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));

    // The deadline holds while the body is read, too: the head comes in the
    // first piece, the body would take six seconds more.
    ScriptedHttpServer body([](const HttpExchange&) {
        ScriptedReply reply{"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + std::string(1000, 'b')};
        reply.chunkSize = 50;
        reply.chunkDelayMs = 300;
        return reply;
    });
    bounded.totalTimeoutMs = 1500;
    auto reading = Open(body, "/", bounded);
    ASSERT_TRUE(reading->SendRequest());
    std::size_t total = 0;
    while (const std::size_t n = reading->Read(buffer, sizeof buffer))
        total += n;
    EXPECT_TRUE(reading->Failed());
    EXPECT_LT(total, 1000u);
}

}  // namespace
