#include "download/HttpDownloadInfo.h"

#include "ProbeReceiver.h"
#include "ScriptedHttpServer.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

class ProbeTest : public ::testing::Test {
protected:
    void SetUp() override { ClearProxyEnvironment(); }

    // Probes `url` on this thread and gives the status texts and sizes in
    // the order the main frame saw them, "size N" for a size.
    std::vector<std::string> Probe(const std::string& url, std::stop_token token = {})
    {
        DownloadItem item;
        item.nItem = 7;
        item.strUrl = url;
        item.strFileName = "song.mp3";
        item.nSearchId = 42;
        ProbeReceiver receiver;  // a fresh main window per probe
        ProbeThreadProc(item, token);
        std::vector<std::string> seen;
        for (const auto& r : receiver.Records()) {
            if (r.message == WM_FILE_STATUS || r.message == WM_FILE_SIZE_PROBED) {
                EXPECT_EQ(r.item.nItem, 7);
                EXPECT_EQ(r.item.nSearchId, 42u);
            }
            if (r.message == WM_FILE_STATUS)
                seen.push_back(r.text);
            else if (r.message == WM_FILE_SIZE_PROBED)
                seen.push_back("size " + (r.sizeKnown ? std::to_string(r.value) : "-"));
            else if (r.message == WM_PROBE_FINISHED)
                seen.push_back("finished " + std::to_string(r.failed));
            else
                seen.push_back("message " + std::to_string(r.message));
        }
        return seen;
    }

    static std::vector<std::string> Connected(std::vector<std::string> tail)
    {
        std::vector<std::string> all{"Resolving name: 127.0.0.1", "Resolved name to 127.0.0.1",
                                     "Connecting to 127.0.0.1", "Connected to 127.0.0.1"};
        all.insert(all.end(), tail.begin(), tail.end());
        return all;
    }
};

TEST_F(ProbeTest, ReportsTheConnectionStepsAndTheLengthWhateverTheStatus)
{
    struct Case {
        const char* name;
        std::string reply;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases{
        {"length 123", HttpResponse(200, std::string(123, 'x')), Connected({"size 123", "Avaliable"})},
        {"404 with a length", HttpResponse(404, "not here"), Connected({"The server answered 404"})},
        // No size, and not available; but the status ends, and the head
        // is read from the body's first bytes.
        {"no length", HttpResponse(200, std::string(20000, 'x'), {}, false), Connected({"size -", "Size unknown"})},
        {"length beyond 32 bits",
         "HTTP/1.1 200 OK\r\nContent-Length: 5000000000\r\nConnection: close\r\n\r\n" + std::string(20000, 'x'),
         Connected({"size 5000000000", "Avaliable"})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedHttpServer server([&](const HttpExchange&) {
            ScriptedReply reply{c.reply};
            reply.holdOpen = true;  // the probe must not wait for a body
            return reply;
        });
        EXPECT_EQ(Probe(server.Url("/dl/Song%20One.mp3")), c.expected);
        const auto requests = server.Requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].method, "GET");
        EXPECT_EQ(requests[0].target, "/dl/Song%20One.mp3");
        EXPECT_EQ(requests[0].Header("User-Agent"), "Tunorva");
        EXPECT_EQ(requests[0].Header("Accept"), "*/*");
    }
}

TEST_F(ProbeTest, FollowsRedirectsAndSaysWhereTo)
{
    ScriptedHttpServer target([](const HttpExchange&) { return ScriptedReply{HttpResponse(200, "12345")}; });
    ScriptedHttpServer first([&](const HttpExchange&) {
        return ScriptedReply{HttpResponse(302, "", "Location: " + target.Url("/real.mp3") + "\r\n")};
    });
    const auto seen = Probe(first.Url("/moved.mp3"));
    ASSERT_GE(seen.size(), 3u);
    EXPECT_NE(std::find(seen.begin(), seen.end(), "Redirecting to " + target.Url("/real.mp3")), seen.end());
    EXPECT_EQ(std::vector<std::string>(seen.end() - 2, seen.end()), (std::vector<std::string>{"size 5", "Avaliable"}));
    EXPECT_EQ(target.RequestCount(), 1u);
}

TEST_F(ProbeTest, PutsHttpInFrontOfAUrlWithoutScheme)
{
    ScriptedHttpServer server([](const HttpExchange&) { return ScriptedReply{HttpResponse(200, "abc")}; });
    EXPECT_EQ(Probe(server.HostPort() + "/music/song.mp3"), Connected({"size 3", "Avaliable"}));
    ASSERT_EQ(server.RequestCount(), 1u);
    EXPECT_EQ(server.Requests()[0].target, "/music/song.mp3");
}

TEST_F(ProbeTest, AnUnresolvableHostStaysAtResolvingAndShowsNothingElse)
{
    ProbeReceiver receiver;
    CHttpDownloadInfo info;
    info.m_item.nItem = 3;
    info.m_strUrl = "http://probe-host.invalid/song.mp3";
    info.Start();
    const auto records = receiver.Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].message, WM_FILE_STATUS);
    EXPECT_EQ(records[0].text, "Resolving name: probe-host.invalid");
    // Posted with a copy of the probe's item.
    EXPECT_EQ(records[0].item.nItem, 3);
    // The failure is posted to the main frame, which does nothing with it.
    EXPECT_EQ(records[1].message, WM_PROBE_FINISHED);
    EXPECT_EQ(records[1].failed, 1);
    EXPECT_EQ(info.m_strError, "An error occurred connecting to the server, Error:6");
}

TEST_F(ProbeTest, UrlsThatCannotBeProbedEndWithoutContactingAnything)
{
    ScriptedHttpServer server([](const HttpExchange&) { return ScriptedReply{HttpResponse(200, "abc")}; });
    struct Case {
        std::string url;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases{
        {"", {}},                                         // does not parse even with "http://"
        {"http://", {}},
        {"ftp://" + server.HostPort() + "/x.mp3", {"finished 1"}},  // a service HTTP cannot open
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(Probe(c.url), c.expected);
    }
    EXPECT_EQ(server.RequestCount(), 0u);
}

TEST_F(ProbeTest, AProbeOfAStoppedSearchSendsNothing)
{
    ScriptedHttpServer server([](const HttpExchange&) { return ScriptedReply{HttpResponse(200, "abc")}; });
    std::stop_source search;
    search.request_stop();
    EXPECT_TRUE(Probe(server.Url("/a.mp3"), search.get_token()).empty());
    EXPECT_EQ(server.RequestCount(), 0u);
}


TEST(ProbeStop, AStopDuringTheProbeDropsEverythingAfterIt)
{
    ClearProxyEnvironment();
    ScriptedHttpServer server([](const HttpExchange&) { return ScriptedReply{HttpResponse(200, "abc")}; });
    for (const unsigned stopAt : {WM_FILE_STATUS, WM_FILE_SIZE_PROBED}) {
        SCOPED_TRACE(stopAt);
        ProbeReceiver receiver;
        std::stop_source search;
        // A new search starts while the main frame handles this message.
        receiver.onMessage = [&](const ProbeReceiver::Record& r) {
            if (r.message == stopAt)
                search.request_stop();
        };
        DownloadItem item;
        item.strUrl = server.Url("/a.mp3");
        ProbeThreadProc(item, search.get_token());
        // Nothing after the message during which the search was stopped.
        const auto records = receiver.Records();
        ASSERT_FALSE(records.empty());
        EXPECT_EQ(records.back().message, stopAt);
        EXPECT_EQ(records.size(), stopAt == WM_FILE_STATUS ? 1u : 5u);
    }
}

}  // namespace
