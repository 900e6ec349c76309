#include "search/EngineConfig.h"
#include "search/SearchQuery.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>

namespace {

class SearchQueryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EngineConfig config = EngineConfig::Defaults();
        config.sites[0].host = "one.example";
        config.sites[1].host = "two.example:8080";
        SetEngines(config);
    }
    void TearDown() override { SetEngines(EngineConfig::Defaults()); }
};

TEST_F(SearchQueryTest, SearchTypeAndEngineUrls)
{
    struct Case {
        std::string artist, song, type, first, second;
    };
    const std::string one = "http://one.example/index.asp";
    const std::string two = "http://two.example:8080/index.asp";
    const Case cases[] = {
        {"abba", "", "or", one + "?sartist=abba&ssong=&searchtype=or&ref=&page=results&search=Search&Start=1",
         two + "?s=abba&ref=&page=results&resize=&zoektype=or&start=1"},
        {"", "waterloo", "or", one + "?sartist=&ssong=waterloo&searchtype=or&ref=&page=results&search=Search&Start=1",
         two + "?s=&ref=&page=results&resize=&zoektype=or&start=1"},
        {"abba", "waterloo", "and",
         one + "?sartist=abba&ssong=waterloo&searchtype=and&ref=&page=results&search=Search&Start=1",
         two + "?s=abba&ref=&page=results&resize=&zoektype=and&start=1"},
        // Every keyword byte outside the unreserved set is percent-encoded, so
        // the engine sees the whole keyword; case and blanks at the ends stay.
        {" Rock & Roll ", "C# minor", "and",
         one + "?sartist=%20Rock%20%26%20Roll%20&ssong=C%23%20minor&searchtype=and&ref=&page=results&search=Search&Start=1",
         two + "?s=%20Rock%20%26%20Roll%20&ref=&page=results&resize=&zoektype=and&start=1"},
        {"a=b+c%zz", "caf\xC3\xA9~x.y-z_", "and",
         one + "?sartist=a%3Db%2Bc%25zz&ssong=caf%C3%A9~x.y-z_&searchtype=and&ref=&page=results&search=Search&Start=1",
         two + "?s=a%3Db%2Bc%25zz&ref=&page=results&resize=&zoektype=and&start=1"},
        {"", "", "or", one + "?sartist=&ssong=&searchtype=or&ref=&page=results&search=Search&Start=1",
         two + "?s=&ref=&page=results&resize=&zoektype=or&start=1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.artist + "|" + c.song);
        const std::string type = DeriveSearchType(c.artist, c.song);
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(BuildEngineUrl(Engines().FirstBaseUrl(), type, c.artist, c.song), c.first);
        EXPECT_EQ(BuildEngineUrl(Engines().SecondBaseUrl(), type, c.artist, c.song), c.second);
    }
}

// Tests and tools set the engines while page workers read them; a reader
// keeps a copy of its own (ThreadSanitizer checks this one).
TEST_F(SearchQueryTest, EnginesCanBeReadWhileTheyAreSet)
{
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 300; ++i) {
            EngineConfig config = EngineConfig::Defaults();
            config.sites[0].host = "host-number-" + std::to_string(i) + ".example";
            SetEngines(config);
        }
        done = true;
    });
    while (!done.load()) {
        const std::string base = Engines().FirstBaseUrl();
        ASSERT_EQ(base.rfind("http://", 0), 0u);
        ASSERT_EQ(base.substr(base.size() - 10), "/index.asp");
    }
    writer.join();
}

TEST_F(SearchQueryTest, UnknownBaseGivesNoUrl)
{
    for (const std::string base : {"", "http://one.example/index.asp/", "HTTP://one.example/index.asp",
                                   "http://one.example/Index.asp", "http://three.example/index.asp"}) {
        EXPECT_EQ(BuildEngineUrl(base, "or", "a", "b"), "") << base;
    }
}

TEST(EngineBaseUrl, AHostMayNameItsSchemeOrBeIpv6)
{
    struct Case {
        std::string host, base;
    };
    const Case cases[] = {
        {"one.example", "http://one.example/index.asp"},
        {"one.example:81", "http://one.example:81/index.asp"},
        {"https://search.example", "https://search.example/index.asp"},
        {"HTTPS://search.example:8443/", "HTTPS://search.example:8443/index.asp"},
        {"http://plain.example", "http://plain.example/index.asp"},
        {"[::1]:8931", "http://[::1]:8931/index.asp"},
        {"https://[::1]:8443", "https://[::1]:8443/index.asp"},
    };
    for (const Case& c : cases) {
        EngineConfig config = EngineConfig::Defaults();
        config.sites[0].host = c.host;
        SetEngines(config);
        EXPECT_EQ(Engines().FirstBaseUrl(), c.base) << c.host;
        // The query goes to the engine the user named, scheme and all.
        EXPECT_EQ(BuildEngineUrl(c.base, "or", "a", "").rfind(c.base + "?sartist=a&", 0), 0u) << c.host;
    }
    SetEngines(EngineConfig::Defaults());
}

TEST(UrlParamValue, ReadsTheFirstOccurrenceOfTheKey)
{
    struct Case {
        std::string url, key, value;
    };
    const Case cases[] = {
        {"http://h/index.asp?sartist=abba&ssong=&searchtype=or&ref=&page=results&search=Search&Start=1", "start", "1"},
        {"http://h/index.asp?s=abba&start=21&x=1", "START", "21"},
        {"http://h/index.asp?s=a&start=ABC", "start", "ABC"},  // the value keeps its case
        // The key is found anywhere, even inside a keyword.
        {"http://h/index.asp?sartist=startrek&ssong=x&Start=1", "start", "x"},
        {"http://h/index.asp?s=startrek", "start", ""},  // no '=' after it
        {"http://h/index.asp?start=&x=1", "start", ""},
        {"http://h/index.asp?s=a", "start", ""},
        // Only URLs with a scheme the parser knows count.
        {"index.asp?s=x&start=11", "start", ""},
        {"/index.asp?start=11", "start", ""},
        {"javascript:go('start=3')", "start", ""},
        {"https://h/?start=5", "start", "5"},
        {"", "start", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetUrlParamValue(c.url, c.key), c.value) << c.url;
}

TEST(NextPageLink, FirstLinkWithALargerValueInTextOrder)
{
    struct Case {
        std::string current;
        std::vector<std::string> links;
        std::optional<std::size_t> next;
    };
    const std::string page = "http://h/index.asp?s=a&start=";
    const Case cases[] = {
        {page + "1", {page + "1", page + "11", page + "21"}, 1},
        {page + "91", {page + "101"}, std::nullopt},  // "101" sorts before "91"
        {page + "11", {page + "2"}, 0},               // "2" sorts after "11"
        {page + "1", {page + "31", page + "11"}, 0},  // the first qualifying link wins
        {page + "1", {"index.asp?s=x&start=11", "/index.asp?start=21"}, std::nullopt},
        {page + "1", {"song.mp3", page + "", page + "1", page + "2"}, 3},
        {page + "a", {page + "B", page + "b"}, 1},  // values keep their case: "B" sorts before "a"
        {"http://h/index.asp?s=a&START=1", {"http://h/index.asp?s=a&Start=2"}, 0},  // names in any case
        {"http://h/index.asp?s=a", {page + "2"}, std::nullopt},  // the current page has no value
        {"not a url start=1", {page + "2"}, std::nullopt},
        {page + "1", {}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.current);
        EXPECT_EQ(FindNextPageLink(c.current, c.links, "start"), c.next);
    }
}

}  // namespace
