#include "platform/Files.h"
#include "search/HTTPCon.h"
#include "search/HtmlDocument.h"
#include "resources/Messages.h"

#include "RecordingReceiver.h"
#include "ScriptedHttpServer.h"
#include "ScriptedResponder.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <functional>

using namespace testing_support;

namespace {

const std::string kNoLocation = "Error: Site redirects with no new location";
const std::string kBadUrl = "Error: the redirected URL could not be parsed.";
const std::string kNotHttp = "Error: the redirected URL does not reference a HTTP resource.";
const std::string kGotStatus = "Error: Got status code ";
const std::string kAccessDenied = "Access denied: Invalid password\n";

struct FetchResult {
    bool fetched = false;
    std::vector<std::string> links;
    std::size_t steps = 0;
    std::vector<std::string> boxes;
    std::size_t bodyCapped = 0;  // WM_PAGE_BODY_CAPPED messages
};

class PageFetcherTest : public ::testing::Test {
protected:
    void SetUp() override { platform::SetProgramDirForTesting(m_dir.Str()); }
    void TearDown() override
    {
        platform::SetProgramDirForTesting("");
        CHTTPCon::SetConnectionFailureForTesting(false);
    }

    FetchResult Fetch(const std::string& url)
    {
        RecordingReceiver receiver;
        ScriptedResponder responder;
        FetchResult result;
        {
            CHtmlDocument document;
            result.fetched = document.Fetch(url);
            result.links = document.GetLinks();
            EXPECT_EQ(document.GetLinkCount(), static_cast<int>(result.links.size()));
        }
        result.steps = receiver.Count(WM_FETCH_STEP);
        result.bodyCapped = receiver.Count(WM_PAGE_BODY_CAPPED);
        result.boxes = responder.Texts();
        return result;
    }

    // Every spooled body is gone once its page is read.
    std::size_t TempFilesLeft() const
    {
        const auto temp = m_dir.Path() / "Temp";
        if (!std::filesystem::exists(temp))
            return 0;
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(temp), {}));
    }

    TempDir m_dir;
};

std::string Page(const std::string& name)
{
    return "<html><a href='" + name + ".mp3'>" + name + "</a></html>";
}

TEST_F(PageFetcherTest, SendsTheHeaderLinesAndReadsTheBodyInBlocks)
{
    // A link straddling the 1024-byte block edges must come through whole.
    std::string body(1000, ' ');
    body += "<a href='edge.mp3'>";
    body.resize(3000, ' ');
    body.replace(2040, 20, "<a href='tail.mp3'>x");
    ScriptedHttpServer server([&](const HttpExchange&) { return ScriptedReply{HttpResponse(200, body)}; });

    const FetchResult r = Fetch(server.Url("/index.asp?s=a&start=1"));
    EXPECT_TRUE(r.fetched);
    EXPECT_EQ(r.links, (std::vector<std::string>{server.Url("/edge.mp3"), server.Url("/tail.mp3")}));
    EXPECT_EQ(r.steps, 5u);  // session, connection, 1024 + 1024 + 952
    EXPECT_EQ(r.bodyCapped, 0u);
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(TempFilesLeft(), 0u);

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].rawRequest.substr(0, requests[0].rawRequest.find("\r\n")),
              "GET /index.asp?s=a&start=1 HTTP/1.1");
    EXPECT_EQ(requests[0].HeaderCount("Accept"), 1);
    EXPECT_EQ(requests[0].Header("Accept"), "text/*");
    EXPECT_EQ(requests[0].HeaderCount("User-Agent"), 1);
    EXPECT_EQ(requests[0].Header("User-Agent"), "Tunorva");
}

TEST_F(PageFetcherTest, RefusesUrlsThatAreNotHttpWithoutAWord)
{
    for (const std::string url : {"", "ftp://127.0.0.1/x", "index.asp?s=x", "http://",
                                  "http://127.0.0.1:0/"}) {
        const FetchResult r = Fetch(url);
        EXPECT_FALSE(r.fetched) << url;
        EXPECT_TRUE(r.links.empty()) << url;
        EXPECT_EQ(r.steps, 0u) << url;
        EXPECT_TRUE(r.boxes.empty()) << url;
    }
}

TEST_F(PageFetcherTest, FollowsOneRedirectByHand)
{
    ScriptedHttpServer other([](const HttpExchange&) { return ScriptedReply{HttpResponse(200, Page("other"))}; });
    struct Case {
        std::string name;
        std::string firstReply;  // answer to "/start"
        bool fetched;
        std::vector<std::string> boxes;
        std::vector<std::string> links;
        std::vector<std::string> targets;  // requests reaching the first server
        std::size_t otherRequests = 0;
    };
    ScriptedHttpServer* self = nullptr;
    std::function<std::string(const std::string&)> selfUrl = [&](const std::string& target) {
        return self->Url(target);
    };
    const auto redirect = [](int status, const std::string& headers) {
        return HttpResponse(status, Page("moved"), headers);
    };
    const std::vector<std::function<Case()>> cases = {
        [&] { return Case{"301", redirect(301, "Location: " + selfUrl("/page") + "\r\n"), true, {}, {"page"},
                          {"/start", "/page"}}; },
        [&] { return Case{"302", redirect(302, "Location: " + selfUrl("/page") + "\r\n"), true, {}, {"page"},
                          {"/start", "/page"}}; },
        [&] { return Case{"303", redirect(303, "Location: " + selfUrl("/page") + "\r\n"), true, {}, {"page"},
                          {"/start", "/page"}}; },
        [&] { return Case{"307 is a page", redirect(307, "Location: " + selfUrl("/page") + "\r\n"), true, {},
                          {"moved"}, {"/start"}}; },
        [&] { return Case{"other host", redirect(302, "Location: " + other.Url("/o") + "\r\n"), true, {},
                          {"other"}, {"/start"}, 1}; },
        [&] { return Case{"lower-case name", redirect(302, "location: " + selfUrl("/page") + "\r\n"), false,
                          {kNoLocation}, {}, {"/start"}}; },
        [&] { return Case{"no blank", redirect(302, "Location:" + selfUrl("/page") + "\r\n"), false,
                          {kNoLocation}, {}, {"/start"}}; },
        [&] { return Case{"no header", redirect(302, ""), false, {kNoLocation}, {}, {"/start"}}; },
        // A relative target resolves against the page, as HTTP allows.
        [&] { return Case{"relative target", redirect(302, "Location: /page\r\n"), true, {}, {"page"},
                          {"/start", "/page"}}; },
        [&] { return Case{"relative to the folder", redirect(302, "Location: page?x=1\r\n"), true, {}, {"page"},
                          {"/start", "/page?x=1"}}; },
        [&] { return Case{"no host", redirect(302, "Location: http:///page\r\n"), false, {kBadUrl}, {},
                          {"/start"}}; },
        [&] { return Case{"ftp target", redirect(302, "Location: ftp://" + self->HostPort() + "/page\r\n"),
                          false, {kNotHttp}, {}, {"/start"}}; },
        [&] { return Case{"mailto target", redirect(302, "Location: mailto:me@example.net\r\n"), false,
                          {kNotHttp}, {}, {"/start"}}; },
        [&] { return Case{"redirect to a redirect", redirect(302, "Location: " + selfUrl("/again") + "\r\n"), true,
                          {kGotStatus}, {"again"}, {"/start", "/again"}}; },
        [&] { return Case{"redirect to a 404", redirect(302, "Location: " + selfUrl("/missing") + "\r\n"), true,
                          {kGotStatus}, {"missing"}, {"/start", "/missing"}}; },
    };
    for (const auto& makeCase : cases) {
        Case c;
        ScriptedHttpServer server([&](const HttpExchange& request) {
            if (request.target == "/start")
                return ScriptedReply{c.firstReply};
            if (request.target == "/again")
                return ScriptedReply{HttpResponse(302, Page("again"), "Location: " + selfUrl("/page") + "\r\n")};
            if (request.target == "/missing")
                return ScriptedReply{HttpResponse(404, Page("missing"))};
            return ScriptedReply{HttpResponse(200, Page("page"))};
        });
        self = &server;
        const std::size_t otherBefore = other.RequestCount();
        c = makeCase();
        SCOPED_TRACE(c.name);
        const FetchResult r = Fetch(server.Url("/start"));
        EXPECT_EQ(r.fetched, c.fetched);
        EXPECT_EQ(r.boxes, c.boxes);
        std::vector<std::string> expectedLinks;
        // Links resolve against the URL the page came from.
        for (const std::string& name : c.links)
            expectedLinks.push_back((c.otherRequests > 0 ? other : server).Url("/" + name + ".mp3"));
        EXPECT_EQ(r.links, expectedLinks);
        std::vector<std::string> targets;
        for (const HttpExchange& request : server.Requests())
            targets.push_back(request.target);
        EXPECT_EQ(targets, c.targets);
        EXPECT_EQ(other.RequestCount() - otherBefore, c.otherRequests);
        // The new connection adds no step of its own.
        if (c.fetched) {
            EXPECT_EQ(r.steps, 3u);
        }
    }
    ASSERT_EQ(other.RequestCount(), 1u);
    const HttpExchange toOther = other.Requests()[0];
    EXPECT_EQ(toOther.Header("Accept"), "text/*");
    EXPECT_EQ(toOther.Header("User-Agent"), "Tunorva");
    EXPECT_EQ(toOther.Header("Host"), other.HostPort());
}

TEST_F(PageFetcherTest, AsksAgainOnceAfterAccessDenied)
{
    struct Case {
        std::vector<int> statuses;
        std::vector<std::string> boxes;
        std::string links;
        std::size_t requests;
    };
    const Case cases[] = {
        {{401, 200}, {kAccessDenied}, "200", 2},
        {{401, 401, 200}, {kAccessDenied}, "401", 2},  // the second 401 is the page
        {{404}, {}, "404", 1},
        {{500}, {}, "500", 1},
    };
    for (const Case& c : cases) {
        std::size_t next = 0;
        ScriptedHttpServer server([&](const HttpExchange&) {
            const int status = c.statuses[std::min(next++, c.statuses.size() - 1)];
            return ScriptedReply{HttpResponse(status, Page(std::to_string(status)))};
        });
        const FetchResult r = Fetch(server.Url("/"));
        EXPECT_TRUE(r.fetched) << c.links;
        EXPECT_EQ(r.boxes, c.boxes) << c.links;
        EXPECT_EQ(r.links, std::vector<std::string>{server.Url("/" + c.links + ".mp3")});
        EXPECT_EQ(server.RequestCount(), c.requests) << c.links;
    }
}

TEST_F(PageFetcherTest, BrokenAndOddBodies)
{
    std::string half = Page("early");
    half.resize(2500, ' ');
    struct Case {
        std::string name;
        ScriptedReply reply;
        bool fetched;
        std::vector<std::string> links;
        std::size_t steps;
    };
    ScriptedReply cutOff{"HTTP/1.1 200 OK\r\nContent-Length: 5000\r\nConnection: close\r\n\r\n" + half +
                         "<a href='late.mp3'"};
    ScriptedReply slow{HttpResponse(200, Page("slow") + std::string(1400, ' '))};
    slow.chunkSize = 100;
    slow.chunkDelayMs = 2;
    ScriptedReply closes;
    closes.closeAtOnce = true;
    ScriptedReply noLength{HttpResponse(200, Page("nolength"), {}, false)};
    std::string withNul = Page("one") + std::string(1, '\0') + Page("two");
    const Case cases[] = {
        {"empty body", ScriptedReply{HttpResponse(200, "")}, true, {}, 2},
        {"cut off midway", cutOff, true, {"early.mp3"}, 2 + 3},
        {"closes at once", closes, false, {}, 2},
        {"slow sender", slow, true, {"slow.mp3"}, 2 + 2},
        {"no length", noLength, true, {"nolength.mp3"}, 3},
        {"nul in body", ScriptedReply{HttpResponse(200, withNul)}, true, {"one.mp3"}, 3},
    };
    for (const Case& c : cases) {
        ScriptedHttpServer server([&](const HttpExchange&) { return c.reply; });
        const FetchResult r = Fetch(server.Url("/"));
        EXPECT_EQ(r.fetched, c.fetched) << c.name;
        std::vector<std::string> expectedLinks;
        for (const std::string& name : c.links)
            expectedLinks.push_back(server.Url("/" + name));
        EXPECT_EQ(r.links, expectedLinks) << c.name;
        EXPECT_EQ(r.steps, c.steps) << c.name;
        EXPECT_TRUE(r.boxes.empty()) << c.name;
        EXPECT_EQ(TempFilesLeft(), 0u) << c.name;
    }
}

TEST_F(PageFetcherTest, StopsReadingAtTheBodyCap)
{
    const std::size_t cap = CHtmlDocument::kMaxBodyBytes;
    std::string body = Page("head");
    body.resize(cap - 10, ' ');
    body += "<a href='over.mp3'>";  // crosses the cap
    body.resize(cap + 4096, ' ');
    body += Page("beyond");
    ScriptedReply reply{"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + body};
    reply.holdOpen = true;  // a server that would go on sending
    ScriptedHttpServer server([&](const HttpExchange&) { return reply; });
    const FetchResult r = Fetch(server.Url("/"));
    EXPECT_TRUE(r.fetched);
    EXPECT_EQ(r.links, std::vector<std::string>{server.Url("/head.mp3")});
    EXPECT_EQ(r.steps, 2 + cap / CHtmlDocument::kBlockSize);
    EXPECT_EQ(r.bodyCapped, 1u);
    EXPECT_EQ(TempFilesLeft(), 0u);
}

// `text` as a gzip stream.
std::string Gzip(const std::string& text)
{
    z_stream stream{};
    EXPECT_EQ(deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 31, 9, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&stream, static_cast<uLong>(text.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

TEST_F(PageFetcherTest, CompressedPagesAreReadDecodedUpToTheCap)
{
    const std::string page = Page("zipped");
    // A small answer that decodes far beyond the cap: it stops there.
    std::string bomb = Page("head");
    bomb.resize(CHtmlDocument::kMaxBodyBytes + 4096, ' ');
    bomb += Page("beyond");
    const std::string zippedBomb = Gzip(bomb);
    ASSERT_LT(zippedBomb.size(), 200u * 1024u);
    ScriptedHttpServer server([&](const HttpExchange& request) {
        const std::string& body = request.target == "/bomb" ? zippedBomb : Gzip(page);
        return ScriptedReply{HttpResponse(200, body, "Content-Encoding: gzip\r\n")};
    });
    FetchResult r = Fetch(server.Url("/page"));
    EXPECT_TRUE(r.fetched);
    EXPECT_EQ(r.links, std::vector<std::string>{server.Url("/zipped.mp3")});
    EXPECT_EQ(r.bodyCapped, 0u);
    EXPECT_NE(server.Requests()[0].Header("Accept-Encoding").find("gzip"), std::string::npos);

    r = Fetch(server.Url("/bomb"));
    EXPECT_TRUE(r.fetched);
    EXPECT_EQ(r.links, std::vector<std::string>{server.Url("/head.mp3")});
    EXPECT_EQ(r.steps, 2 + CHtmlDocument::kMaxBodyBytes / CHtmlDocument::kBlockSize);
    EXPECT_EQ(r.bodyCapped, 1u);
    EXPECT_EQ(TempFilesLeft(), 0u);
}

TEST_F(PageFetcherTest, ReportsWhatCannotBeSetUp)
{
    ScriptedHttpServer server([](const HttpExchange&) { return ScriptedReply{HttpResponse(200, Page("x"))}; });

    CHTTPCon::SetConnectionFailureForTesting(true);
    FetchResult r = Fetch(server.Url("/"));
    CHTTPCon::SetConnectionFailureForTesting(false);
    EXPECT_FALSE(r.fetched);
    EXPECT_EQ(r.steps, 1u);
    EXPECT_EQ(r.boxes, std::vector<std::string>{
                           "An exception occurred when attempting to create an HTTP connection.\r\n"
                           "  Please check your internet configuration and make sure your environment\r\n"
                           " is set up with WININET.DLL in the path."});
    EXPECT_EQ(server.RequestCount(), 0u);

    // A program folder in which no Temp folder can be made.
    std::ofstream(m_dir.File("blocker")) << "x";
    platform::SetProgramDirForTesting(m_dir.File("blocker"));
    r = Fetch(server.Url("/"));
    EXPECT_TRUE(r.fetched);
    EXPECT_TRUE(r.links.empty());
    EXPECT_EQ(r.boxes,
              std::vector<std::string>{"Can not create Temp file. Please free more space in your Storage."});
}

TEST_F(PageFetcherTest, MakesTheTempFolderWhenMissing)
{
    ScriptedHttpServer server([](const HttpExchange&) { return ScriptedReply{HttpResponse(200, Page("x"))}; });
    ASSERT_FALSE(std::filesystem::exists(m_dir.Path() / "Temp"));
    const FetchResult r = Fetch(server.Url("/"));
    EXPECT_EQ(r.links, std::vector<std::string>{server.Url("/x.mp3")});
    EXPECT_TRUE(std::filesystem::is_directory(m_dir.Path() / "Temp"));
    EXPECT_EQ(TempFilesLeft(), 0u);
}

}  // namespace
