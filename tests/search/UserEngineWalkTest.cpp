// The walks over the user's engines against a scripted server: numbered
// pages, linked pages, feed pages, and where each of them stops.
#include "RecordingReceiver.h"
#include "ScriptedHttpServer.h"
#include "TempDir.h"

#include "platform/Files.h"
#include "platform/WorkerThreads.h"
#include "search/UserEngineWalk.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

constexpr auto kWait = std::chrono::seconds(10);

class UserEngineWalkTest : public ::testing::Test {
protected:
    void SetUp() override { platform::SetProgramDirForTesting(m_program.Str()); }
    void TearDown() override
    {
        EXPECT_TRUE(CUserEngineWalk::WaitForWalks(kWait));
        EXPECT_TRUE(platform::WaitForWorkers(kWait));
        platform::SetProgramDirForTesting("");
    }

    // Walks `engine` for "abba" / "gold" to its end.
    void Walk(UserEngine engine)
    {
        CUserEngineWalk walk(0, std::move(engine));
        ASSERT_TRUE(walk.Start("abba", "gold"));
        ASSERT_TRUE(m_receiver.WaitFor(WM_USER_ENGINE_ENDED, 1, kWait));
        EXPECT_FALSE(walk.IsRunning());
        m_firstPageRead = walk.FirstPageRead();
    }

    std::vector<std::string> Texts(unsigned message) const
    {
        std::vector<std::string> out;
        for (const auto& r : m_receiver.Records(message))
            out.push_back(r.text);
        return out;
    }

    static UserEngine Engine(UserEngine::Kind kind, const std::string& templ)
    {
        UserEngine engine;
        engine.shortName = "T";
        engine.kind = kind;
        engine.templ = templ;
        return engine;
    }

    TempDir m_program;
    RecordingReceiver m_receiver;
    std::optional<bool> m_firstPageRead;
};

}  // namespace

TEST_F(UserEngineWalkTest, NumberedPagesEndAtThePageWithNothingNewOrAtTheCap)
{
    // Page n links files n and n+1: every page brings one new file until page 3.
    ScriptedHttpServer server([](const HttpExchange& r) {
        const int page = std::atoi(r.target.substr(r.target.find("i=") + 2).c_str());
        const int file = std::min(page, 41);
        return ScriptedReply{HttpResponse(200, "<a href='/f" + std::to_string(std::min(file, 3)) + ".mp3'>a</a>" +
                                                   "<a href='/f" + std::to_string(std::min(file + 1, 3)) + ".mp3'>b</a>")};
    });
    UserEngine engine = Engine(UserEngine::Kind::Html, server.Url("/s?q={searchTerms}&i={startIndex}"));
    engine.indexOffset = 0;
    engine.count = 1;
    Walk(engine);
    // Pages 0..3: page 3 repeats page 2's files and ends the walk, still reported.
    EXPECT_EQ(Texts(WM_USER_ENGINE_PAGE),
              (std::vector<std::string>{server.Url("/s?q=abba%20gold&i=0"), server.Url("/s?q=abba%20gold&i=1"),
                                        server.Url("/s?q=abba%20gold&i=2"), server.Url("/s?q=abba%20gold&i=3")}));
    EXPECT_EQ(m_receiver.Count(WM_USER_ENGINE_FOUND), 8u);
    EXPECT_EQ(m_receiver.Count(WM_USER_ENGINE_FIRST_PAGE), 1u);
    EXPECT_EQ(m_firstPageRead, true);

    // A site that always has something new stops at the cap.
    ScriptedHttpServer endless([](const HttpExchange& r) {
        return ScriptedReply{HttpResponse(200, "<a href='/x" + r.target.substr(r.target.find("p=") + 2) + ".mp3'>x</a>")};
    });
    RecordingReceiver fresh;
    CUserEngineWalk walk(3, Engine(UserEngine::Kind::Html, endless.Url("/s?p={startPage}")));
    ASSERT_TRUE(walk.Start("a", ""));
    ASSERT_TRUE(fresh.WaitFor(WM_USER_ENGINE_ENDED, 1, kWait));
    EXPECT_EQ(endless.RequestCount(), static_cast<std::size_t>(CUserEngineWalk::kMaxPages));
    EXPECT_EQ(fresh.Records(WM_USER_ENGINE_ENDED)[0].value, 3);
}

TEST_F(UserEngineWalkTest, LinkedPagesFollowTheStartLinkAndFeedsTheirNextPage)
{
    ScriptedHttpServer server([&](const HttpExchange& r) {
        if (r.target.rfind("/s", 0) == 0) {
            // Two pages, the second linking back to the first: no page is asked for twice.
            const bool first = r.target.find("start=2") == std::string::npos;
            return ScriptedReply{HttpResponse(200, first ? "<a href='/a.mp3'>a</a><a href='/s?start=2'>next</a>"
                                                         : "<a href='/b.mp3'>b</a><a href='/s?start=1'>1</a>"
                                                           "<a href='/s?start=2#again'>2</a>")};
        }
        if (r.target == "/feed")
            return ScriptedReply{HttpResponse(200, "<rss><channel><atom:link xmlns:atom='http://www.w3.org/2005/Atom' "
                                                   "rel='next' href='/feed2'/><item><enclosure url='/e/1' "
                                                   "type='audio/mpeg'/></item></channel></rss>")};
        if (r.target == "/feed2")  // names the first page as its next: the walk ends
            return ScriptedReply{HttpResponse(200, "<feed xmlns='http://www.w3.org/2005/Atom'><link rel='next' "
                                                   "href='/feed'/><entry><link rel='enclosure' href='/e/2.mp3'/>"
                                                   "</entry></feed>")};
        return ScriptedReply{HttpResponse(404, "")};
    });
    Walk(Engine(UserEngine::Kind::Html, server.Url("/s?q={searchTerms}&start=1")));
    EXPECT_EQ(Texts(WM_USER_ENGINE_FOUND), (std::vector<std::string>{server.Url("/a.mp3"), server.Url("/b.mp3")}));
    EXPECT_EQ(server.RequestCount(), 2u);

    RecordingReceiver feed;
    {
        CUserEngineWalk walk(1, Engine(UserEngine::Kind::Feed, server.Url("/feed")));
        ASSERT_TRUE(walk.Start("abba", ""));
        ASSERT_TRUE(feed.WaitFor(WM_USER_ENGINE_ENDED, 1, kWait));
    }
    const auto found = feed.Records(WM_USER_ENGINE_FOUND);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].text, server.Url("/e/1"));
    EXPECT_EQ(found[0].name, "1.mp3");
    EXPECT_EQ(found[1].name, "2.mp3");
    EXPECT_EQ(server.RequestCount(), 4u);

    // A feed that cannot be read ends at once, its first page not read.
    RecordingReceiver missing;
    CUserEngineWalk walk(2, Engine(UserEngine::Kind::Feed, server.Url("/gone")));
    ASSERT_TRUE(walk.Start("abba", ""));
    ASSERT_TRUE(missing.WaitFor(WM_USER_ENGINE_ENDED, 1, kWait));
    EXPECT_EQ(walk.FirstPageRead(), false);
    EXPECT_EQ(missing.Count(WM_USER_ENGINE_FIRST_PAGE), 1u);
    EXPECT_EQ(missing.Count(WM_USER_ENGINE_FOUND), 0u);
}

TEST_F(UserEngineWalkTest, AFeedAfterABlankLineIsWalkedAndOneThatCannotBeReadSaysSo)
{
    ScriptedHttpServer server([&](const HttpExchange& r) {
        if (r.target == "/blank")
            return ScriptedReply{HttpResponse(200, "\n\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<rss><channel><item>"
                                                   "<enclosure url='/e/1.mp3' type='audio/mpeg'/></item></channel></rss>")};
        if (r.target == "/page")
            return ScriptedReply{HttpResponse(200, "<html><body>Moved</body></html>")};
        return ScriptedReply{HttpResponse(404, "")};
    });
    UserEngine blank = Engine(UserEngine::Kind::Feed, server.Url("/blank"));
    Walk(blank);
    EXPECT_EQ(Texts(WM_USER_ENGINE_FOUND), (std::vector<std::string>{server.Url("/e/1.mp3")}));
    ASSERT_EQ(m_receiver.Records(WM_USER_ENGINE_ENDED).size(), 1u);
    EXPECT_EQ(m_receiver.Records(WM_USER_ENGINE_ENDED)[0].text, "");

    for (const char* target : {"/page", "/gone"}) {
        RecordingReceiver receiver;
        UserEngine engine = Engine(UserEngine::Kind::Feed, server.Url(target));
        engine.shortName = "Pod Show";
        CUserEngineWalk walk(0, engine);
        ASSERT_TRUE(walk.Start("abba", ""));
        ASSERT_TRUE(receiver.WaitFor(WM_USER_ENGINE_ENDED, 1, kWait));
        const std::string problem = receiver.Records(WM_USER_ENGINE_ENDED)[0].text;
        EXPECT_NE(problem.find("Pod Show"), std::string::npos) << target << ": " << problem;
        EXPECT_NE(problem.find(std::string(target) == "/page" ? "RSS" : "404"), std::string::npos)
            << target << ": " << problem;
    }
}
