#include "search/EngineConfig.h"
#include "search/SearchQuery.h"

#include <gtest/gtest.h>

#include <optional>

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
        // Typed text goes in as it stands: blanks, '&' and case unchanged.
        {" Rock & Roll ", "a b", "and",
         one + "?sartist= Rock & Roll &ssong=a b&searchtype=and&ref=&page=results&search=Search&Start=1",
         two + "?s= Rock & Roll &ref=&page=results&resize=&zoektype=and&start=1"},
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

TEST_F(SearchQueryTest, UnknownBaseGivesNoUrl)
{
    for (const std::string base : {"", "http://one.example/index.asp/", "HTTP://one.example/index.asp",
                                   "http://one.example/Index.asp", "http://three.example/index.asp"}) {
        EXPECT_EQ(BuildEngineUrl(base, "or", "a", "b"), "") << base;
    }
}

TEST(UrlParamValue, ReadsTheFirstOccurrenceOfTheKey)
{
    struct Case {
        std::string url, key, value;
    };
    const Case cases[] = {
        {"http://h/index.asp?sartist=abba&ssong=&searchtype=or&ref=&page=results&search=Search&Start=1", "start", "1"},
        {"http://h/index.asp?s=abba&start=21&x=1", "START", "21"},
        {"http://h/index.asp?s=a&start=ABC", "start", "abc"},
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
        {page + "a", {page + "B"}, 0},  // case is ignored
        {page + "b", {page + "A"}, std::nullopt},
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
