// Engines the user adds: OpenSearch descriptions, their URL templates,
// podcast feeds and the engines folder.
#include "TempDir.h"

#include "search/FeedReader.h"
#include "search/OpenSearchDescription.h"
#include "search/UserEngineFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace testing_support;

namespace {

std::string Description(const std::string& urls, const std::string& name = "Music Site",
                        const std::string& prolog = "")
{
    return "<?xml version=\"1.0\"?>\n" + prolog +
           "<OpenSearchDescription xmlns=\"http://a9.com/-/spec/opensearch/1.1/\">"
           "<ShortName>" + name + "</ShortName>" + urls + "</OpenSearchDescription>";
}

std::string Url(const std::string& type, const std::string& templ, const std::string& extra = "")
{
    return "<Url type=\"" + type + "\" template=\"" + templ + "\" " + extra + "/>";
}

}  // namespace

TEST(UserEngine, DescriptionsChooseTheirUrlAndRefuseWhatCannotBeSearched)
{
    const std::string html = Url("text/html", "https://s.example/find?q={searchTerms}&amp;p={startPage?}");
    const std::string rss = Url("application/rss+xml", "http://s.example/rss?q={searchTerms}");
    const struct {
        const char* name;
        std::string bytes;
        EngineProblem problem;
        UserEngine::Kind kind;
        std::string templ;
    } cases[] = {
        {"html", Description(html), EngineProblem::None, UserEngine::Kind::Html,
         "https://s.example/find?q={searchTerms}&p={startPage?}"},
        {"html before a feed, whatever the order", Description(rss + html), EngineProblem::None,
         UserEngine::Kind::Html, "https://s.example/find?q={searchTerms}&p={startPage?}"},
        {"a feed alone", Description(rss), EngineProblem::None, UserEngine::Kind::Feed,
         "http://s.example/rss?q={searchTerms}"},
        {"atom", Description(Url("application/atom+xml", "http://a.example/f")), EngineProblem::None,
         UserEngine::Kind::Feed, "http://a.example/f"},
        {"unknown types and suggestions skipped",
         Description(Url("application/x-suggestions+json", "http://x/{searchTerms}") +
                     Url("text/html", "http://x/s?{searchTerms}", "rel=\"suggestions\"") + rss),
         EngineProblem::None, UserEngine::Kind::Feed, "http://s.example/rss?q={searchTerms}"},
        {"a DOCTYPE without entities",
         Description(html, "Music Site", "<!DOCTYPE OpenSearchDescription>\n"), EngineProblem::None,
         UserEngine::Kind::Html, "https://s.example/find?q={searchTerms}&p={startPage?}"},
        {"not http", Description(Url("text/html", "ftp://x/{searchTerms}")), EngineProblem::NoUsableUrl, {}, ""},
        {"no Url", Description(""), EngineProblem::NoUsableUrl, {}, ""},
        {"no name", Description(html, "  "), EngineProblem::NoName, {}, ""},
        {"another root", "<rss version=\"2.0\"><channel/></rss>", EngineProblem::NotOpenSearch, {}, ""},
        {"broken", Description(html).substr(0, 80), EngineProblem::NotXml, {}, ""},
        {"empty", "", EngineProblem::NotXml, {}, ""},
        {"binary", std::string("\0\x01\xff<", 4), EngineProblem::NotXml, {}, ""},
        {"required unknown parameter", Description(Url("text/html", "http://x/?q={searchTerms}&amp;geo={geo:box}")),
         EngineProblem::UnknownParameter, {}, ""},
        {"an empty parameter", Description(Url("text/html", "http://x/?q={searchTerms}&amp;n={}")),
         EngineProblem::UnknownParameter, {}, ""},
        {"internal entity",
         Description(html, "&a;", "<!DOCTYPE OpenSearchDescription [<!ENTITY a \"Site\">]>\n"),
         EngineProblem::DeclaresEntities, {}, ""},
        {"billion laughs",
         Description(html, "&l3;",
                     "<!DOCTYPE d [<!ENTITY l0 \"ha\"><!ENTITY l1 \"&l0;&l0;&l0;&l0;&l0;&l0;&l0;&l0;\">"
                     "<!ENTITY l2 \"&l1;&l1;&l1;&l1;&l1;&l1;&l1;&l1;\"><!ENTITY l3 \"&l2;&l2;&l2;&l2;&l2;&l2;\">]>"),
         EngineProblem::DeclaresEntities, {}, ""},
        {"external entity",
         Description(html, "&x;", "<!DOCTYPE d [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"),
         EngineProblem::DeclaresEntities, {}, ""},
        {"parameter entity",
         Description(html, "x", "<!DOCTYPE d [<!ENTITY % p SYSTEM \"http://127.0.0.1:1/x.dtd\"> %p;]>"),
         EngineProblem::DeclaresEntities, {}, ""},
        {"external DTD, never loaded",
         Description(html, "Music Site", "<!DOCTYPE d SYSTEM \"http://127.0.0.1:1/d.dtd\">"),
         EngineProblem::None, UserEngine::Kind::Html, "https://s.example/find?q={searchTerms}&p={startPage?}"},
        {"huge", Description(html, std::string(kMaxDescriptionBytes, 'a')), EngineProblem::TooLarge, {}, ""},
    };
    for (const auto& c : cases) {
        const DescriptionResult result = ParseOpenSearchDescription(c.bytes);
        EXPECT_EQ(result.problem, c.problem) << c.name;
        ASSERT_EQ(result.engine.has_value(), c.problem == EngineProblem::None) << c.name;
        if (!result.engine)
            continue;
        EXPECT_EQ(result.engine->kind, c.kind) << c.name;
        EXPECT_EQ(result.engine->templ, c.templ) << c.name;
    }
    const DescriptionResult unknown =
        ParseOpenSearchDescription(Description(Url("text/html", "http://x/?q={searchTerms}&amp;geo={geo:box}")));
    EXPECT_EQ(unknown.detail, "geo:box");
    EXPECT_NE(EngineProblemText(unknown.problem, unknown.detail).find("{geo:box}"), std::string::npos);
}

TEST(UserEngine, TemplatesExpandEveryParameterTheWayTheDescriptionAsks)
{
    const struct {
        std::string templ;
        std::string extra;  // attributes of the Url
        std::string query;  // a <Query> element
        int page;
        std::string want;   // empty: the engine is unusable
    } cases[] = {
        {"http://x/?q={searchTerms}", "", "", 0, "http://x/?q=abba%20gold%2B%26"},
        {"http://x/?q={searchTerms}&p={startPage}", "", "", 0, "http://x/?q=abba%20gold%2B%26&p=1"},
        {"http://x/?q={searchTerms}&p={startPage}", "", "", 2, "http://x/?q=abba%20gold%2B%26&p=3"},
        {"http://x/{searchTerms}?p={startPage?}", "pageOffset=\"0\"", "", 2, "http://x/abba%20gold%2B%26?p=2"},
        {"http://x/?i={startIndex}&n={count}&q={searchTerms}", "", "", 0, "http://x/?i=1&n=20&q=abba%20gold%2B%26"},
        {"http://x/?i={startIndex}&n={count}&q={searchTerms}", "", "", 3, "http://x/?i=61&n=20&q=abba%20gold%2B%26"},
        {"http://x/{searchTerms}?i={startIndex}", "indexOffset=\"0\"", "<Query role=\"request\" count=\"50\"/>", 2,
         "http://x/abba%20gold%2B%26?i=100"},
        {"http://x/{searchTerms}?i={startIndex}", "indexOffset=\"junk\"", "", 1, "http://x/abba%20gold%2B%26?i=21"},
        {"http://x/{searchTerms}?l={language}&e={inputEncoding?}&o={outputEncoding}", "", "", 0,
         "http://x/abba%20gold%2B%26?l=*&e=UTF-8&o=UTF-8"},
        {"http://x/?q={searchTerms}&g={geo:box?}&t={time:start?}", "", "", 0, "http://x/?q=abba%20gold%2B%26&g=&t="},
        {"http://x/{searchTerms}/{unclosed", "", "", 0, "http://x/abba%20gold%2B%26/{unclosed"},
    };
    for (const auto& c : cases) {
        const std::string bytes =
            "<OpenSearchDescription><ShortName>T</ShortName>" + c.query + "<Url type=\"text/html\" template=\"" +
            XmlEscape(c.templ) + "\" " + c.extra + "/></OpenSearchDescription>";
        const DescriptionResult result = ParseOpenSearchDescription(bytes);
        ASSERT_TRUE(result.engine) << c.templ;
        const auto url = ExpandTemplate(*result.engine, SearchTermsOf(" abba ", "gold+& "), c.page);
        ASSERT_TRUE(url) << c.templ;
        EXPECT_EQ(*url, c.want) << c.templ << " page " << c.page;
    }
    EXPECT_EQ(SearchTermsOf("", " waterloo"), "waterloo");
    EXPECT_EQ(SearchTermsOf("abba", ""), "abba");

    UserEngine engine;
    engine.templ = "http://x/?q={searchTerms}&p={startPage}";
    EXPECT_TRUE(engine.PagesByTemplate());
    engine.templ = "http://x/?q={searchTerms}&start=1";
    EXPECT_FALSE(engine.PagesByTemplate());
    engine.templ = "http://x/?q={searchTerms}&z={zoom}";
    EXPECT_FALSE(ExpandTemplate(engine, "a", 0));
}

TEST(UserEngine, ParamsJoinTheQueryAndUrlsThatCannotBeSearchedWithGetAreRefused)
{
    const auto withParams = [](const std::string& templ, const std::string& params, const std::string& extra = "") {
        return Description("<Url type=\"text/html\" template=\"" + templ + "\" " + extra + ">" + params + "</Url>");
    };
    const struct {
        const char* name;
        std::string bytes;
        EngineProblem problem;
        std::string want;  // page 1 for "abba" / "gold & co"
    } cases[] = {
        {"params in order, encoded, filled", withParams("https://s/search",
             "<Param name=\"q\" value=\"{searchTerms}\"/><Param name=\"a b\" value=\"x&amp;y=z\"/>"
             "<Param name=\"p\" value=\"{startPage}\"/><Param name=\"lang\" value=\"{language}-\u00e9\"/>"),
         EngineProblem::None, "https://s/search?q=abba%20gold%20%26%20co&a%20b=x%26y%3Dz&p=1&lang=*-%C3%A9"},
        {"after a query of its own", withParams("https://s/find?src=os", "<Param name=\"q\" value=\"{searchTerms}\"/>"),
         EngineProblem::None, "https://s/find?src=os&q=abba%20gold%20%26%20co"},
        {"before a fragment", withParams("https://s/find?#top", "<Param name=\"q\" value=\"{searchTerms}\"/>"),
         EngineProblem::None, "https://s/find?q=abba%20gold%20%26%20co#top"},
        {"an explicit GET, a Param without value skipped",
         withParams("https://s/f", "<Param name=\"x\"/><Param name=\"q\" value=\"{searchTerms}\"/>", "method=\"GET\""),
         EngineProblem::None, "https://s/f?q=abba%20gold%20%26%20co"},
        {"a Param needing an unknown parameter", withParams("https://s/f?q={searchTerms}", "<Param name=\"g\" value=\"{geo:box}\"/>"),
         EngineProblem::UnknownParameter, ""},
        {"POST only", withParams("https://s/f", "<Param name=\"q\" value=\"{searchTerms}\"/>", "method=\"post\""),
         EngineProblem::PostOnly, ""},
        {"no keywords anywhere", withParams("https://s/search", "<Param name=\"q\" value=\"music\"/>"),
         EngineProblem::NoSearchTerms, ""},
        {"no keywords, then a usable Url",
         Description(Url("text/html", "https://s/all") + Url("text/html", "https://s/find?q={searchTerms}")),
         EngineProblem::None, "https://s/find?q=abba%20gold%20%26%20co"},
    };
    for (const auto& c : cases) {
        const DescriptionResult result = ParseOpenSearchDescription(c.bytes);
        EXPECT_EQ(result.problem, c.problem) << c.name;
        if (c.problem != EngineProblem::None) {
            EXPECT_FALSE(result.engine) << c.name;
            EXPECT_FALSE(EngineProblemText(result.problem).empty()) << c.name;
            continue;
        }
        ASSERT_TRUE(result.engine) << c.name;
        EXPECT_EQ(ExpandTemplate(*result.engine, SearchTermsOf("abba", "gold & co"), 0), c.want) << c.name;
    }
    // A feed of its own (a podcast) needs no keywords; a POST result page
    // does not hide it.
    const DescriptionResult feed = ParseOpenSearchDescription(
        Description("<Url type=\"text/html\" method=\"post\" template=\"https://s/f\"/>" +
                    Url("application/rss+xml", "https://s/podcast.xml")));
    ASSERT_TRUE(feed.engine);
    EXPECT_EQ(feed.engine->templ, "https://s/podcast.xml");
}

TEST(UserEngine, FeedsGiveTheirMp3EnclosuresAndTheirNextPage)
{
    const std::string rss =
        "<rss version=\"2.0\" xmlns:atom=\"http://www.w3.org/2005/Atom\"><channel><title> My Show </title>"
        "<link>http://pod.example/</link><atom:link rel=\"next\" href=\"?page=2\"/>"
        "<item><enclosure url=\"http://cdn.example/ep1.mp3\" type=\"audio/mpeg\"/></item>"
        "<item><enclosure url=\"/media/ep2\" type=\"audio/mpeg; charset=binary\"/></item>"
        "<item><enclosure url=\"http://cdn.example/ep3.MP3?x=1\" type=\"application/octet-stream\"/></item>"
        "<item><enclosure url=\"http://cdn.example/ep4.ogg\" type=\"audio/ogg\"/></item>"
        "<item><enclosure url=\"http://cdn.example/ep5.pdf\" type=\"application/pdf\"/></item>"
        "<item><enclosure url=\"javascript:alert(1)\" type=\"audio/mpeg\"/></item>"
        "<item><enclosure url=\"http://cdn.example/ep1.mp3\" type=\"audio/mpeg\"/></item>"
        "</channel></rss>";
    FeedPage page = ParseFeed(rss, "http://pod.example/feed.xml");
    ASSERT_TRUE(page.ok);
    EXPECT_FALSE(page.atom);
    EXPECT_EQ(page.title, "My Show");
    EXPECT_EQ(page.next, "http://pod.example/feed.xml?page=2");
    ASSERT_EQ(page.files.size(), 4u);
    EXPECT_EQ(page.files[0].fileName, "ep1.mp3");
    EXPECT_EQ(page.files[1].url, "http://pod.example/media/ep2");
    EXPECT_EQ(page.files[1].fileName, "ep2.mp3");
    EXPECT_EQ(page.files[2].fileName, "ep3.MP3");
    EXPECT_EQ(page.files[3].url, "http://cdn.example/ep1.mp3");  // counted each time it is linked

    const std::string atom =
        "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>Atom Show</title>"
        "<link rel=\"self\" href=\"http://a.example/f\"/><link rel=\"next\" href=\"http://a.example/f?p=2\"/>"
        "<entry><link rel=\"alternate\" href=\"http://a.example/post.mp3.html\"/>"
        "<link rel=\"enclosure\" href=\"http://a.example/e/1\" type=\"audio/mpeg\"/></entry>"
        "<entry><link rel=\"enclosure\" href=\"http://a.example/e/2.m4a\" type=\"audio/mp4\"/></entry>"
        "</feed>";
    page = ParseFeed(atom, "http://a.example/f");
    ASSERT_TRUE(page.ok);
    EXPECT_TRUE(page.atom);
    EXPECT_EQ(page.title, "Atom Show");
    EXPECT_EQ(page.next, "http://a.example/f?p=2");
    ASSERT_EQ(page.files.size(), 1u);
    EXPECT_EQ(page.files[0].fileName, "1.mp3");

    // A feed naming itself as its next page ends there; hostile and broken ones give nothing.
    EXPECT_TRUE(ParseFeed("<feed><link rel='next' href='http://a/f'/></feed>", "http://a/f").next.empty());
    EXPECT_FALSE(ParseFeed("<!DOCTYPE r [<!ENTITY x SYSTEM 'file:///etc/passwd'>]><rss><channel>&x;</channel></rss>",
                           "http://a/")
                     .ok);
    EXPECT_FALSE(ParseFeed("<rss><channel><item>", "http://a/").ok);
    EXPECT_FALSE(ParseFeed("<html><body/></html>", "http://a/").ok);
}

TEST(UserEngine, FeedsAfterBlanksOrAByteOrderMarkAreReadAndOthersSayWhyNot)
{
    const std::string rss = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel><title>S</title>"
                            "<item><enclosure url=\"http://c/1.mp3\" type=\"audio/mpeg\"/></item></channel></rss>";
    for (const std::string& lead : {std::string("\n"), std::string("\r\n \t\n"), std::string("\xEF\xBB\xBF"),
                                    std::string("\xEF\xBB\xBF\n  "), std::string("\n\xEF\xBB\xBF")}) {
        const FeedPage page = ParseFeed(lead + rss, "http://c/f");
        EXPECT_TRUE(page.ok) << testing::PrintToString(lead);
        EXPECT_EQ(page.files.size(), 1u) << testing::PrintToString(lead);
    }
    const struct {
        std::string bytes;
        FeedProblem problem;
    } broken[] = {
        {"\x01" + rss, FeedProblem::NotXml},
        {"<html><body/></html>", FeedProblem::NotAFeed},
        {"<rss><nochannel/></rss>", FeedProblem::NotAFeed},
        {"<!DOCTYPE r [<!ENTITY x 'y'>]><rss><channel>&x;</channel></rss>", FeedProblem::DeclaresEntities},
        {std::string(kMaxFeedBytes + 1, ' '), FeedProblem::TooLarge},
    };
    for (const auto& b : broken) {
        const FeedPage page = ParseFeed(b.bytes, "http://c/f");
        EXPECT_FALSE(page.ok) << b.bytes.substr(0, 40);
        EXPECT_EQ(page.problem, b.problem) << b.bytes.substr(0, 40);
        EXPECT_FALSE(FeedProblemText(page.problem).empty());
    }
}

TEST(UserEngine, AnElementWithTooManyAttributesIsRefusedBeforeParsing)
{
    const auto attributes = [](std::size_t n, char quote = '"') {
        std::string out;
        for (std::size_t i = 0; i < n; ++i)
            out += " a" + std::to_string(i) + "=" + quote + ">" + quote;
        return out;
    };
    const std::string templ = "template=\"http://s/?q={searchTerms}\" type=\"text/html\"";
    EXPECT_TRUE(ParseOpenSearchDescription(Description("<Url " + templ + attributes(254) + "/>")).engine);
    EXPECT_EQ(ParseOpenSearchDescription(Description("<Url " + templ + attributes(255, '\'') + "/>")).problem,
              EngineProblem::TooManyAttributes);
    // The bomb of the field: tens of thousands on one element.
    EXPECT_EQ(ParseOpenSearchDescription(Description("<Url " + templ + attributes(40000) + "/>")).problem,
              EngineProblem::TooManyAttributes);
    EXPECT_EQ(ParseFeed("<rss><channel><item><enclosure" + attributes(300) + "/></item></channel></rss>", "http://c/")
                  .problem,
              FeedProblem::TooManyAttributes);
    // Elements each under the limit, but so many that together they would
    // keep the parser busy for seconds.
    std::string wide = "<rss><channel>";
    for (int i = 0; i < 300; ++i)
        wide += "<item><enclosure" + attributes(250) + "/></item>";
    EXPECT_EQ(ParseFeed(wide + "</channel></rss>", "http://c/").problem, FeedProblem::TooManyAttributes);
    // Quotes in text, comments, CDATA and instructions are no attributes;
    // many elements with a few each are fine.
    std::string many = "<rss><channel>";
    for (int i = 0; i < 2000; ++i)
        many += "<item a='1' b=\"2\">\"'\"'</item>";
    many += "<!--" + attributes(300) + "--><![CDATA[<x" + attributes(300) + ">]]><?pi" + attributes(300) +
            "?></channel></rss>";
    EXPECT_TRUE(ParseFeed(many, "http://c/").ok);
}

TEST(UserEngine, TheFolderIsReadInNameOrderAndSkipsWhatItCannotUse)
{
    TempDir dir;
    const auto engine = [](const std::string& name) {
        return Description(Url("text/html", "http://" + name + ".example/?q={searchTerms}"), name);
    };
    dir.Write("b.xml", engine("Bee"));
    dir.Write("a.xml", engine("Ay"));
    dir.Write("c.xml", "<OpenSearchDescription/>");
    dir.Write("notes.txt", engine("Ignored"));
    dir.Write(".hidden.xml", engine("Hidden"));
    std::filesystem::create_directory(dir.Path() / "d.xml");
    UserEngineList list = LoadUserEngines(dir.Str());
    ASSERT_EQ(list.engines.size(), 2u);
    EXPECT_EQ(list.engines[0].shortName, "Ay");
    EXPECT_EQ(list.engines[0].fileName, "a.xml");
    EXPECT_EQ(list.engines[0].homePage, "http://Ay.example/");
    EXPECT_EQ(list.engines[1].shortName, "Bee");
    ASSERT_EQ(list.problems.size(), 2u);
    EXPECT_NE(list.problems[0].find("c.xml"), std::string::npos);
    EXPECT_NE(list.problems[1].find("d.xml"), std::string::npos);

    for (int i = 0; i < 20; ++i)
        dir.Write("e" + std::to_string(10 + i) + ".xml", engine("E" + std::to_string(i)));
    list = LoadUserEngines(dir.Str());
    EXPECT_EQ(list.engines.size(), kMaxUserEngines);
    EXPECT_EQ(list.engines.back().shortName, "E13");
    EXPECT_EQ(LoadUserEngines(dir.File("missing")).engines.size(), 0u);
}

TEST(UserEngine, FileNamesComeFromTheNameAndStayInTheFolder)
{
    const struct {
        std::string name;
        std::string file;
    } cases[] = {
        {"Music Site", "Music_Site.xml"},
        {"../../etc/passwd", "etc_passwd.xml"},
        {"/abs", "abs.xml"},
        {"..", ""},
        {" ~ ", ""},
        {"a\\b:c*d", "a_b_c_d.xml"},
        {"\xD9\x85\xD9\x88\xD8\xB3\xD9\x8A\xD9\x82\xD9\x89", "engine-"},
        {std::string(100, 'x'), std::string(60, 'x') + ".xml"},
    };
    for (const auto& c : cases) {
        const std::string file = SafeEngineFileName(c.name);
        EXPECT_EQ(file.substr(0, c.file.size()), c.file) << c.name;
        EXPECT_EQ(file.empty(), c.file.empty()) << c.name;
        EXPECT_EQ(file.find('/'), std::string::npos) << c.name;
    }
}
