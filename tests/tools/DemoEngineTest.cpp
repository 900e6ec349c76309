#include "DemoEngine.h"
#include "download/Mp3Head.h"

#include "TempDir.h"
#include "platform/Http.h"
#include "search/EngineConfig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <set>

using namespace testing_support;

namespace {

struct Page {
    int status = 0;
    std::string contentLength;
    std::string body;
};

Page Get(std::uint16_t port, const std::string& object)
{
    platform::HttpRequestOptions options;
    options.stallTimeoutMs = 5000;
    platform::HttpFile file("127.0.0.1", port, object, options);
    Page page;
    if (!file.SendRequest())
        return page;
    page.status = file.StatusCode();
    page.contentLength = file.QueryInfo("Content-Length").value_or("");
    char buffer[4096];
    while (const std::size_t n = file.Read(buffer, sizeof buffer))
        page.body.append(buffer, n);
    return page;
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// The anchor targets of a page as the program reads them: lower-cased,
// between the quotes after "href=" of every "<a " tag.
std::vector<std::string> Links(const std::string& body)
{
    const std::string page = Lower(body);
    std::vector<std::string> links;
    for (std::size_t at = page.find("<a "); at != std::string::npos; at = page.find("<a ", at + 1)) {
        const std::size_t close = page.find('>', at);
        const std::size_t href = page.find("href=", at);
        if (close == std::string::npos || href == std::string::npos || href > close)
            continue;
        const char quote = page[href + 5];
        const std::size_t end = page.find(quote, href + 6);
        if (end != std::string::npos && end < close)
            links.push_back(page.substr(href + 6, end - href - 6));
    }
    return links;
}

// The value after the first "start" of an absolute URL, up to the next '&'.
std::string StartValue(const std::string& url)
{
    const std::string lower = Lower(url);
    if (lower.rfind("http://", 0) != 0)
        return {};
    const std::size_t key = lower.find("start");
    const std::size_t eq = key == std::string::npos ? key : lower.find('=', key);
    if (eq == std::string::npos)
        return {};
    return lower.substr(eq + 1, lower.find('&', eq) - eq - 1);
}

// The first link whose paging value is greater, as text, than the page's own.
std::string NextPage(const std::string& pageUrl, const std::vector<std::string>& links)
{
    const std::string current = StartValue(pageUrl);
    for (const std::string& link : links) {
        const std::string value = StartValue(link);
        if (!current.empty() && !value.empty() && value > current)
            return link;
    }
    return {};
}

struct Walk {
    int pages = 0;
    std::vector<std::string> mp3Links;
};

Walk WalkChain(std::uint16_t port, std::string object)
{
    Walk walk;
    std::string url = "http://127.0.0.1:" + std::to_string(port) + object;
    while (!url.empty() && walk.pages < 50) {
        const Page page = Get(port, object);
        EXPECT_EQ(page.status, 200) << url;
        ++walk.pages;
        const auto links = Links(page.body);
        for (const auto& link : links) {
            if (link.find(".mp3") != std::string::npos)
                walk.mp3Links.push_back(link);
        }
        url = NextPage(url, links);
        if (!url.empty()) {
            const std::string prefix = "http://127.0.0.1:" + std::to_string(port);
            EXPECT_EQ(url.rfind(prefix, 0), 0u) << url;
            object = url.substr(prefix.size());
        }
    }
    return walk;
}

class DemoEngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
            unsetenv(name);
        DemoEngineOptions options;
        options.port1 = 0;
        options.port2 = 0;
        options.pages = 3;
        options.perPage = 4;
        options.mediaDir = TUNORVA_DEMO_MEDIA;
        options.quiet = true;
        m_engine = std::make_unique<DemoEngine>(options);
        ASSERT_TRUE(m_engine->Start()) << m_engine->Error();
    }

    std::unique_ptr<DemoEngine> m_engine;
};

TEST_F(DemoEngineTest, BothEnginesPageThroughTheirResultsUntilTheChainEnds)
{
    const Walk first = WalkChain(m_engine->Port1(),
                                 "/index.asp?sartist=Abba Gold&ssong=Water%20Loo&searchtype=and&ref=&page=results"
                                 "&search=Search&Start=1");
    EXPECT_EQ(first.pages, 3);
    // The first page's first two files also at the second engine's server.
    ASSERT_EQ(first.mp3Links.size(), 14u);
    EXPECT_EQ(first.mp3Links[0],
              "http://127.0.0.1:" + std::to_string(m_engine->Port1()) + "/music/abba-gold-water-loo-track-01.mp3");
    EXPECT_EQ(first.mp3Links[1], "../music/abba-gold-water-loo-track-02.mp3");
    EXPECT_EQ(first.mp3Links[4],
              "http://127.0.0.1:" + std::to_string(m_engine->Port2()) + "/music/abba-gold-water-loo-track-01.mp3");
    // Keywords survive the lower-cased paging links.
    EXPECT_EQ(first.mp3Links[13], "../music/abba-gold-water-loo-track-12.mp3");

    const Walk second =
        WalkChain(m_engine->Port2(), "/index.asp?s=Queen&ref=&page=results&resize=&zoektype=or&start=1");
    EXPECT_EQ(second.pages, 3);
    ASSERT_EQ(second.mp3Links.size(), 12u);
    EXPECT_EQ(second.mp3Links[5], "../music/queen-live-06.mp3");

    // A paging value beyond the last page gives a page without results.
    EXPECT_TRUE(Links(Get(m_engine->Port2(), "/index.asp?s=x&start=2999").body).size() <= 2);
}

TEST_F(DemoEngineTest, PagingValuesGrowAsText)
{
    for (int page = 1; page < 999; ++page) {
        EXPECT_LT(DemoStartValue(page), DemoStartValue(page + 1));
        EXPECT_EQ(DemoPageFromStart(DemoStartValue(page)), page);
    }
    EXPECT_EQ(DemoPageFromStart("0"), 0);
    EXPECT_EQ(DemoPageFromStart("x1"), 0);
    EXPECT_EQ(DemoSlug("  AC/DC & The \"Band\"! "), "acdc-the-band");
}

TEST_F(DemoEngineTest, ServesPlayableClipsForAnyMp3NameAndNothingElse)
{
    for (const char* name : {"/music/abba-track-01.mp3", "/music/Other-Name.MP3"}) {
        SCOPED_TRACE(name);
        const Page clip = Get(m_engine->Port1(), name);
        EXPECT_EQ(clip.status, 200);
        ASSERT_GT(clip.body.size(), 1000u);
        EXPECT_LT(clip.body.size(), 40000u);
        EXPECT_EQ(clip.contentLength, std::to_string(clip.body.size()));
        const bool id3 = clip.body.rfind("ID3", 0) == 0;
        const bool frameSync = static_cast<unsigned char>(clip.body[0]) == 0xFF &&
                               (static_cast<unsigned char>(clip.body[1]) & 0xE0) == 0xE0;
        EXPECT_TRUE(id3 || frameSync);
    }
    // Each name its own tagged file, the same at both servers; the clips
    // differ in bitrate, one of them variable.
    std::set<int> bitrates;
    bool vbr = false;
    for (int track = 1; track <= 12; ++track) {
        const std::string name = "/music/abba-track-" + std::string(track < 10 ? "0" : "") + std::to_string(track) + ".mp3";
        const Page clip = Get(m_engine->Port1(), name);
        EXPECT_EQ(Get(m_engine->Port2(), name).body, clip.body);
        const Mp3Head head = Mp3Head::Read(clip.body.substr(0, Mp3Head::kBytes), {}, clip.body.size());
        EXPECT_TRUE(head.mp3);
        EXPECT_EQ(head.title, "Abba Track " + name.substr(name.size() - 6, 2));
        EXPECT_FALSE(head.artist.empty());
        EXPECT_GT(head.seconds, 1.0);
        bitrates.insert(head.bitrate);
        vbr = vbr || head.vbr;
    }
    EXPECT_GE(bitrates.size(), 3u);
    EXPECT_TRUE(vbr);

    // A range that passes the end of a clip ends with it; one past the end is
    // refused.
    const std::string whole = Get(m_engine->Port1(), "/music/abba-track-01.mp3").body;
    const std::string size = std::to_string(whole.size());
    struct Case {
        std::string range;
        int status;
        std::string contentRange;
        std::size_t bytes;
    };
    for (const Case& c : {Case{"bytes=0-65535", 206, "bytes 0-" + std::to_string(whole.size() - 1) + "/" + size,
                               whole.size()},
                          Case{"bytes=100-", 206, "bytes 100-" + std::to_string(whole.size() - 1) + "/" + size,
                               whole.size() - 100},
                          Case{"bytes=" + size + "-", 416, "bytes */" + size, 0}}) {
        SCOPED_TRACE(c.range);
        platform::HttpRequestOptions options;
        options.stallTimeoutMs = 5000;
        options.headers = {"Range: " + c.range};
        platform::HttpFile file("127.0.0.1", m_engine->Port1(), "/music/abba-track-01.mp3", options);
        ASSERT_TRUE(file.SendRequest());
        EXPECT_EQ(file.StatusCode(), c.status);
        EXPECT_EQ(file.QueryInfo("Content-Range").value_or(""), c.contentRange);
        std::string body;
        char buffer[4096];
        while (const std::size_t n = file.Read(buffer, sizeof buffer))
            body.append(buffer, n);
        if (c.status == 206) {
            EXPECT_EQ(body, whole.substr(whole.size() - c.bytes));
        }
    }
    EXPECT_EQ(Get(m_engine->Port2(), "/music/notes.txt").status, 404);
    EXPECT_EQ(Get(m_engine->Port2(), "/").status, 200);
    EXPECT_EQ(Get(m_engine->Port1(), "/about").status, 200);
}

TEST_F(DemoEngineTest, WritesAnEnginesIniForThePortsInUse)
{
    TempDir dir;
    ASSERT_TRUE(m_engine->WriteEnginesIni(dir.File("Engines.ini")));
    const EngineConfig config = EngineConfig::Load(dir.File("Engines.ini"));
    EXPECT_EQ(config.FirstHost(), "127.0.0.1:" + std::to_string(m_engine->Port1()));
    EXPECT_EQ(config.SecondHost(), "127.0.0.1:" + std::to_string(m_engine->Port2()));
    EXPECT_EQ(config.sites[2].homePage, "http://127.0.0.1:" + std::to_string(m_engine->Port1()) + "/about");

    // A taken port is refused with a reason.
    DemoEngineOptions options;
    options.port1 = m_engine->Port1();
    options.port2 = 0;
    options.mediaDir = TUNORVA_DEMO_MEDIA;
    DemoEngine clash(options);
    EXPECT_FALSE(clash.Start());
    EXPECT_NE(clash.Error().find("127.0.0.1"), std::string::npos);
}

}  // namespace
