#include "platform/Files.h"
#include "platform/WorkerThreads.h"
#include "search/NavigateToMp3.h"
#include "resources/Messages.h"

#include "RecordingReceiver.h"
#include "ScriptedHttpServer.h"
#include "ScriptedResponder.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

using namespace testing_support;
using Record = RecordingReceiver::Record;

namespace {

constexpr std::chrono::seconds kWait{10};

std::string Anchor(const std::string& target)
{
    return "<a href=\"" + target + "\">x</a>\n";
}

// A gate a scripted reply waits at until the test opens it.
class Gate {
public:
    void Open()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    void Wait()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, kWait, [this] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
};

class NavigatorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::SetProgramDirForTesting(m_dir.Str());
        m_receiver.onMessage = [this](const Record& r) {
            if (onMessage)
                onMessage(r);
        };
    }
    void TearDown() override
    {
        EXPECT_TRUE(platform::WaitForWorkers(kWait));
        platform::SetProgramDirForTesting("");
    }

    // The messages of a search without the fetch steps, as readable lines.
    std::vector<std::string> SearchRecords() const
    {
        std::vector<std::string> out;
        for (const Record& r : m_receiver.Records()) {
            if (r.message == WM_MP3_FOUND)
                out.push_back("mp3 " + r.text);
            else if (r.message == WM_PAGE_RESULT)
                out.push_back("page " + r.text + " " + std::to_string(r.value));
            else if (r.message == WM_PAGE_FINISHED)
                out.push_back("finished");
            else if (r.message != WM_FETCH_STEP)
                out.push_back("other " + std::to_string(r.message));
        }
        return out;
    }

    TempDir m_dir;
    RecordingReceiver m_receiver;
    ScriptedResponder m_responder;
    std::function<void(const Record&)> onMessage;
};

std::string Mp3(const std::string& url) { return "mp3 " + url; }
std::string Result(const std::string& url, int found) { return "page " + url + " " + std::to_string(found); }
std::string Finished() { return "finished"; }

TEST_F(NavigatorTest, WalksAChainOfPagesInTextOrder)
{
    Gate secondPage;
    ScriptedHttpServer* self = nullptr;
    ScriptedHttpServer server([&](const HttpExchange& request) {
        const std::string base = self->Url("/index.asp?s=abba&start=");
        std::string body;
        if (request.target == "/index.asp?s=abba&Start=1") {
            body = Anchor("a.mp3") + Anchor(base + "1") + Anchor("http://files.invalid/b.MP3") + Anchor(base + "11") +
                   Anchor(base + "21") + Anchor("A.mp3") + Anchor("about.html");
        } else if (request.target == "/index.asp?s=abba&start=11") {
            secondPage.Wait();
            body = Anchor(base + "1") + Anchor(base + "21") + Anchor("c.mp3");
        } else {
            body = Anchor(base + "1") + Anchor("d.txt");
        }
        return ScriptedReply{HttpResponse(200, body)};
    });
    self = &server;
    const std::string first = server.Url("/index.asp?s=abba&Start=1");
    const std::string second = server.Url("/index.asp?s=abba&start=11");
    const std::string third = server.Url("/index.asp?s=abba&start=21");

    // The next page's worker is running (held at the server) when the first
    // page reports its result.
    std::atomic<int> workersAtResult{0};
    onMessage = [&](const Record& r) {
        if (r.message == WM_PAGE_RESULT && r.text == first) {
            workersAtResult = platform::RunningWorkerCount();
            secondPage.Open();
        }
    };
    {
        CNavigateToMp3 navigator;
        navigator.StartNavigation(first);
        ASSERT_TRUE(m_receiver.WaitFor(WM_PAGE_FINISHED, 3, kWait));
        ASSERT_TRUE(platform::WaitForWorkers(kWait));
    }
    EXPECT_EQ(workersAtResult, 2);

    const std::vector<std::string> expected = {
        // Links resolve against the page and keep their case.
        Mp3(server.Url("/a.mp3")), Mp3("http://files.invalid/b.MP3"), Mp3(server.Url("/A.mp3")), Result(first, 1),
        Finished(), Mp3(server.Url("/c.mp3")), Result(second, 1), Finished(),
        Result(third, -1), Finished(),
    };
    EXPECT_EQ(SearchRecords(), expected);
    EXPECT_EQ(server.RequestCount(), 3u);
    EXPECT_TRUE(m_responder.Texts().empty());
}

TEST_F(NavigatorTest, APageLeavesItsConnectionToTheNextPageOfItsChain)
{
    ScriptedHttpServer* self = nullptr;
    ScriptedHttpServer server(
        [&](const HttpExchange& request) {
            const int page = request.target.back() - '0';  // "/?start=N"
            std::string body = Anchor(std::to_string(page) + ".mp3");
            if (page < 4)
                body += Anchor(self->Url("/?start=" + std::to_string(page + 1)));
            ScriptedReply reply{"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                                std::to_string(body.size()) + "\r\n\r\n" + body};
            reply.keepAlive = true;
            return reply;
        },
        10);
    self = &server;
    {
        CNavigateToMp3 navigator;
        navigator.StartNavigation(server.Url("/?start=1"));
        ASSERT_TRUE(m_receiver.WaitFor(WM_PAGE_FINISHED, 4, kWait));
        ASSERT_TRUE(platform::WaitForWorkers(kWait));
    }
    EXPECT_EQ(m_receiver.Count(WM_MP3_FOUND), 4u);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 4u);
    for (const HttpExchange& request : requests)
        EXPECT_EQ(request.connection, 0) << request.target;
}

TEST_F(NavigatorTest, AFailingPageEndsTheChain)
{
    ScriptedHttpServer* self = nullptr;
    ScriptedHttpServer server([&](const HttpExchange& request) {
        ScriptedReply reply;
        if (request.target == "/?start=1")
            reply.bytes = HttpResponse(200, Anchor("x.mp3") + Anchor(self->Url("/?start=2")));
        else
            reply.closeAtOnce = true;
        return reply;
    });
    self = &server;
    {
        CNavigateToMp3 navigator;
        navigator.StartNavigation(server.Url("/?start=1"));
        ASSERT_TRUE(m_receiver.WaitFor(WM_PAGE_FINISHED, 2, kWait));
        ASSERT_TRUE(platform::WaitForWorkers(kWait));
    }
    const std::vector<std::string> expected = {
        Mp3(server.Url("/x.mp3")), Result(server.Url("/?start=1"), 1), Finished(),
        Result(server.Url("/?start=2"), -1), Finished(),
    };
    EXPECT_EQ(SearchRecords(), expected);
    EXPECT_EQ(server.RequestCount(), 2u);
}

TEST_F(NavigatorTest, EmptyUrlAndUnreachablePages)
{
    {
        CNavigateToMp3 navigator;
        navigator.StartNavigation("");
        EXPECT_EQ(platform::RunningWorkerCount(), 0);
        navigator.StartNavigation("ftp://127.0.0.1/index.asp?start=1");
        ASSERT_TRUE(m_receiver.WaitFor(WM_PAGE_FINISHED, 1, kWait));
    }
    const std::vector<std::string> expected = {Result("ftp://127.0.0.1/index.asp?start=1", -1), Finished()};
    EXPECT_EQ(SearchRecords(), expected);
    EXPECT_EQ(m_receiver.Count(WM_FETCH_STEP), 0u);
}

TEST_F(NavigatorTest, ReleasingTheHandleStopsItsChain)
{
    Gate held;
    ScriptedHttpServer* self = nullptr;
    ScriptedHttpServer server([&](const HttpExchange& request) {
        if (request.target == "/?start=1")
            return ScriptedReply{HttpResponse(200, Anchor("one.mp3") + Anchor(self->Url("/?start=2")))};
        // The second page sends its head and a little of the body, then stalls.
        const std::string body = Anchor("two.mp3") + Anchor(self->Url("/?start=3"));
        ScriptedReply reply{"HTTP/1.1 200 OK\r\nContent-Length: 5000\r\nConnection: close\r\n\r\n" + body};
        reply.holdOpen = true;
        return reply;
    });
    self = &server;

    auto navigator = std::make_unique<CNavigateToMp3>();
    navigator->StartNavigation(server.Url("/?start=1"));
    ASSERT_TRUE(m_receiver.WaitFor(WM_PAGE_FINISHED, 1, kWait));
    ASSERT_TRUE(server.WaitForRequests(2, kWait));
    // The second page's worker is blocked reading its body.
    navigator.reset();
    const std::size_t recorded = SearchRecords().size();
    ASSERT_TRUE(platform::WaitForWorkers(kWait));

    EXPECT_EQ(SearchRecords().size(), recorded);
    const std::vector<std::string> expected = {
        Mp3(server.Url("/one.mp3")), Result(server.Url("/?start=1"), 1), Finished(),
    };
    EXPECT_EQ(SearchRecords(), expected);
    EXPECT_EQ(server.RequestCount(), 2u);
}

TEST_F(NavigatorTest, StopBetweenPagesSendsNoFurtherRequest)
{
    ScriptedHttpServer* self = nullptr;
    CNavigateToMp3 navigator;
    ScriptedHttpServer server([&](const HttpExchange& request) {
        const int page = request.target.back() - '0';
        return ScriptedReply{HttpResponse(200, Anchor("p.mp3") + Anchor(self->Url("/?start=" + std::to_string(page + 1))))};
    });
    self = &server;
    // Stop while the first page reports its first file: the page goes quiet
    // and starts no next page.
    onMessage = [&](const Record& r) {
        if (r.message == WM_MP3_FOUND)
            navigator.Stop();
    };
    navigator.StartNavigation(server.Url("/?start=1"));
    ASSERT_TRUE(platform::WaitForWorkers(kWait));
    EXPECT_EQ(server.RequestCount(), 1u);
    const std::vector<std::string> expected = {Mp3(server.Url("/p.mp3"))};
    EXPECT_EQ(SearchRecords(), expected);

    // A handle that was stopped starts nothing either.
    navigator.StartNavigation(server.Url("/?start=1"));
    ASSERT_TRUE(platform::WaitForWorkers(kWait));
    EXPECT_EQ(server.RequestCount(), 1u);
}

TEST_F(NavigatorTest, AChainEndsWhereItsNextRequestWouldRepeatOne)
{
    // Every page links on with a longer fragment, which would make each value
    // sort after the last ("1#a" < "1#aa" ...) were links not resolved: the
    // fragment goes, so page f, which links to itself, has no next page, and
    // p leads to q, whose link back to p is not followed.
    ScriptedHttpServer* self = nullptr;
    std::atomic<int> served{0};
    ScriptedHttpServer server(
        [&](const HttpExchange& request) {
            const std::string fragment = "#" + std::string(static_cast<std::size_t>(++served), 'a');
            std::string next = "/p?start=1";
            if (request.target == "/f?start=1")
                next = "/f?start=1";
            else if (request.target == "/p?start=1")
                next = "/q?start=1";
            return ScriptedReply{HttpResponse(200, Anchor(self->Url(next + fragment)))};
        },
        50);
    self = &server;
    {
        CNavigateToMp3 navigator;
        navigator.StartNavigation(server.Url("/f?start=1"));
        ASSERT_TRUE(platform::WaitForWorkers(kWait));
        EXPECT_EQ(server.RequestCount(), 1u);
        EXPECT_EQ(navigator.FirstPageRead(), std::optional<bool>(true));

        navigator.StartNavigation(server.Url("/p?start=1"));
        ASSERT_TRUE(platform::WaitForWorkers(kWait));
        EXPECT_EQ(server.RequestCount(), 2u) << "f, then p once";
    }
    EXPECT_EQ(m_receiver.Count(WM_PAGE_FINISHED), 2u);
}

TEST_F(NavigatorTest, APageGivesAtMostItsCapOfLinks)
{
    std::string body;
    for (std::size_t i = 0; i < CNavigateToMp3::kMaxLinksPerPage + 3; ++i)
        body += "<a href='" + std::to_string(i) + ".mp3'>";
    ScriptedHttpServer server([&](const HttpExchange&) { return ScriptedReply{HttpResponse(200, body)}; });
    const std::string url = server.Url("/?start=1");
    {
        CNavigateToMp3 navigator;
        navigator.StartNavigation(url);
        ASSERT_TRUE(m_receiver.WaitFor(WM_PAGE_FINISHED, 1, kWait));
    }
    EXPECT_EQ(m_receiver.Count(WM_MP3_FOUND), CNavigateToMp3::kMaxLinksPerPage);
    const auto capped = m_receiver.Records(WM_PAGE_CAPPED);
    ASSERT_EQ(capped.size(), 1u);
    EXPECT_EQ(m_receiver.Records(WM_MP3_FOUND).back().text,
              server.Url("/" + std::to_string(CNavigateToMp3::kMaxLinksPerPage - 1) + ".mp3"));
}

TEST_F(NavigatorTest, FirstPageReadSaysWhetherTheWalkCouldStart)
{
    CNavigateToMp3 navigator;
    EXPECT_EQ(navigator.FirstPageRead(), std::nullopt);
    navigator.StartNavigation("http://127.0.0.1:1/?start=1");
    ASSERT_TRUE(platform::WaitForWorkers(kWait));
    EXPECT_EQ(navigator.FirstPageRead(), std::optional<bool>(false));
}

}  // namespace
