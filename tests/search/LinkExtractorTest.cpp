#include "search/LinkExtractor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Extract(const std::string& page)
{
    std::vector<std::string> links;
    ExtractLinks(page.data(), page.size(), links);
    return links;
}

using Links = std::vector<std::string>;

TEST(ExtractLinks, AnchorSyntaxAsABrowserReadsIt)
{
    struct Case {
        std::string page;
        Links links;
    };
    const Case cases[] = {
        {"", {}},
        {"<html>no anchors</html>", {}},
        {"<a href='a.mp3'>", {"a.mp3"}},
        {"<a href=\"a.mp3\"></a><a href=\"a.mp3\">", {"a.mp3", "a.mp3"}},  // duplicates stay
        {"<a class=x href='a.mp3'>", {"a.mp3"}},
        {"<A HREF='Song.MP3'>", {"Song.MP3"}},  // names in any case, targets keep theirs
        {"<a\nhref='x.mp3'>", {"x.mp3"}},
        {"<a\thref='x.mp3'>", {"x.mp3"}},
        {"<a\r\n  href='x.mp3'>", {"x.mp3"}},
        {"<a href = 'x.mp3'>", {"x.mp3"}},
        {"<a HrEf\n=\n\"x.mp3\">", {"x.mp3"}},
        {"<a href=x.mp3>", {"x.mp3"}},  // unquoted
        {"<a href=song.mp3 class=s>", {"song.mp3"}},
        {"<a href=\"q'\" href='z'>", {"q'"}},  // the first href of a tag counts
        {"<a href='/s?a=1&amp;b=2&#38;c=&#x33;'>", {"/s?a=1&b=2&c=3"}},  // character references
        {"<a href='x&nbsp;y.mp3'>", {"x\xC2\xA0y.mp3"}},
        {"<area href='x.mp3'>", {}},
        {"<abbr href='x.mp3'>", {}},
        {"<a href=''>", {}},
        {"<a name=x>", {}},
        {"<a title='x'>text</a> href='y'>", {}},
        {"<a href='a'> <a href='b'> <a name=x>", {"a", "b"}},
        {"<a href='a'><a href='cut-off-by-the-end.mp3'", {"a"}},  // a tag the page's end cuts is dropped
        {"<a href='a'><a href='half", {"a"}},
        {"<!-- <a href='c.mp3'> --><a href='d.mp3'>", {"d.mp3"}},  // comments hide links
        {"<html><a href=a></a></html>\n<a href=b></BODY></HTML><a href=c>", {"a", "b", "c"}},  // read on after the end
        {"<script>var s = \"<a href='e.mp3'>\";</script><a href='f.mp3'>", {"f.mp3"}},
        {"<p><table><tr><td><a href='deep.mp3'>x</td></tr></table>", {"deep.mp3"}},
        // Targets come as UTF-8: from a UTF-8 page, from a Latin-1 one and
        // from one that names its character set.
        {"<A HREF='\xC3\x84\xC3\x96.MP3'>", {"\xC3\x84\xC3\x96.MP3"}},
        {"<a href='\xC4\xD6.mp3'>", {"\xC3\x84\xC3\x96.mp3"}},
        {"<meta charset=windows-1251><a href='\xC4.mp3'>", {"\xD0\x94.mp3"}},
        {"<a href='  spaced.mp3  '>", {"  spaced.mp3  "}},  // trimmed when resolved, not here
    };
    for (const Case& c : cases)
        EXPECT_EQ(Extract(c.page), c.links) << c.page;
}

TEST(ExtractLinks, StopsAtTheFirstNulAndAppends)
{
    const std::string page("<a href='a'>\0<a href='b'>", 25);
    Links links{"kept"};
    ExtractLinks(page.data(), page.size(), links);
    EXPECT_EQ(links, (Links{"kept", "a"}));
    ExtractLinks(nullptr, 10, links);
    ExtractLinks(page.data(), 0, links);
    EXPECT_EQ(links.size(), 2u);
}

TEST(ExtractLinks, PiecesSplitAnywhereGiveTheSameLinks)
{
    std::string page = "<html><head><base href='http://b/x/'></head><body>";
    for (int i = 0; i < 40; ++i) {
        page += "<TR><TD><A HREF=\"http://f" + std::to_string(i) + ".example/Music/Song_" + std::to_string(i) +
                ".mp3?a=1&amp;b=2\" TARGET=_blank>Song</A> <a href=next.asp?start=" + std::to_string(i) +
                ">n</a><!-- <a href='hidden'> --></TD></TR>\n";
        if (i == 20)
            page += "</table></body></HTML>\n";  // read on, wherever the pieces split it
    }
    const Links whole = Extract(page);
    ASSERT_EQ(whole.size(), 80u);
    EXPECT_EQ(whole[0], "http://f0.example/Music/Song_0.mp3?a=1&b=2");
    for (const std::size_t piece : {1u, 2u, 3u, 7u, 64u, 1000u}) {
        LinkExtractor extractor;
        for (std::size_t offset = 0; offset < page.size(); offset += piece)
            extractor.Feed(page.data() + offset, std::min(piece, page.size() - offset));
        extractor.Finish();
        EXPECT_EQ(extractor.Targets(), whole) << "pieces of " << piece;
        EXPECT_EQ(extractor.BaseHref(), "http://b/x/");
    }
}

TEST(ExtractLinks, BaseCapAndHostilePages)
{
    // The first <base href> counts, wherever it stands.
    LinkExtractor based;
    const std::string withBase = "<a href=x><base target=_top><base href='../up/'><base href='/other/'>";
    based.Feed(withBase.data(), withBase.size());
    based.Finish();
    EXPECT_EQ(based.BaseHref(), "../up/");
    EXPECT_EQ(DocumentBase("http://h/a/b/page", based.BaseHref()), "http://h/a/up/");
    EXPECT_EQ(DocumentBase("http://h/a/page", ""), "http://h/a/page");
    EXPECT_EQ(DocumentBase("http://h/a/page", "mailto:x"), "http://h/a/page");

    LinkExtractor capped(2);
    const std::string three = "<a href=1><a href=2><a href=3>";
    capped.Feed(three.data(), three.size());
    capped.Finish();
    EXPECT_EQ(capped.Targets(), (Links{"1", "2"}));
    EXPECT_TRUE(capped.Capped());

    // Thousands of unclosed tags after a real one, and a huge tag full of "<a ".
    std::string page = "<a href='keep.mp3'>";
    for (int i = 0; i < 200000; ++i)
        page += "<a ";
    EXPECT_EQ(Extract(page), Links{"keep.mp3"});

    std::string nested;
    for (int i = 0; i < 100000; ++i)
        nested += "<a ";
    nested += "<a href='" + std::string(1000, 'x') + "'>";
    EXPECT_EQ(Extract(nested), Links{std::string(1000, 'x')});

    // A tag of a hundred thousand attributes is text, not minutes of work.
    std::string crowded = "<a";
    for (int i = 0; i < 100000; ++i)
        crowded += " b" + std::to_string(i);
    crowded += " href='lost.mp3'><a href='found.mp3'>";
    EXPECT_EQ(Extract(crowded), Links{"found.mp3"});

    // Random bytes and broken markup never crash and never invent links.
    std::mt19937 random(12345);
    const std::vector<std::string> pieces = {"<a ", "<A ", "href=", ">", "'", "\"", "x", "y.mp3", " ", "<a",
                                             "\n", "&amp;", "&", "<!--", "-->", "=", "<", "\xFF"};
    for (int round = 0; round < 2000; ++round) {
        std::string noise;
        const int count = static_cast<int>(random() % 40);
        for (int i = 0; i < count; ++i)
            noise += pieces[random() % pieces.size()];
        for (const std::string& link : Extract(noise))
            EXPECT_FALSE(link.empty()) << noise;
    }
}

TEST(IsMp3Link, FindsTheExtensionAnywhere)
{
    EXPECT_TRUE(IsMp3Link("x.mp3"));
    EXPECT_TRUE(IsMp3Link("X.MP3"));
    EXPECT_TRUE(IsMp3Link("x.mp3?id=1"));
    EXPECT_TRUE(IsMp3Link("x.mp3.html"));
    EXPECT_TRUE(IsMp3Link(".mP3"));
    EXPECT_FALSE(IsMp3Link(""));
    EXPECT_FALSE(IsMp3Link("mp3"));
    EXPECT_FALSE(IsMp3Link("x.mp4"));
    EXPECT_FALSE(IsMp3Link("x.m p3"));
    EXPECT_FALSE(IsMp3Link("x.mp"));
}

TEST(ResolveLink, FollowsRfc3986AgainstThePage)
{
    struct Case {
        std::string base, link, resolved;
    };
    // The RFC's own examples (section 5.4), on an http base.
    const std::string rfc = "http://a/b/c/d;p?q";
    const Case cases[] = {
        {rfc, "g", "http://a/b/c/g"},
        {rfc, "./g", "http://a/b/c/g"},
        {rfc, "g/", "http://a/b/c/g/"},
        {rfc, "/g", "http://a/g"},
        {rfc, "//g", "http://g/"},
        {rfc, "?y", "http://a/b/c/d;p?y"},
        {rfc, "g?y", "http://a/b/c/g?y"},
        {rfc, "#s", "http://a/b/c/d;p?q"},  // the fragment is dropped
        {rfc, "g#s", "http://a/b/c/g"},
        {rfc, ";x", "http://a/b/c/;x"},
        {rfc, "", "http://a/b/c/d;p?q"},
        {rfc, ".", "http://a/b/c/"},
        {rfc, "..", "http://a/b/"},
        {rfc, "../g", "http://a/b/g"},
        {rfc, "../..", "http://a/"},
        {rfc, "../../../g", "http://a/g"},
        {rfc, "/./g", "http://a/g"},
        {rfc, "/../g", "http://a/g"},
        {rfc, "g.", "http://a/b/c/g."},
        {rfc, "..g", "http://a/b/c/..g"},
        {rfc, "./../g", "http://a/b/g"},
        {rfc, "g/./h", "http://a/b/c/g/h"},
        {rfc, "g/../h", "http://a/b/c/h"},
        {rfc, "g?y/./x", "http://a/b/c/g?y/./x"},
        {rfc, "http:g", "http://a/b/c/g"},  // the RFC's allowance for old pages
        // Cases that the old joining got wrong.
        {"http://h/music/", "song.mp3", "http://h/music/song.mp3"},
        {"http://h/a/b/list.asp", "../c/x.mp3", "http://h/a/c/x.mp3"},
        {"http://h/list.asp?q=1", "next.asp?p=2", "http://h/next.asp?p=2"},
        {"http://h/list.asp", "/dl/x.mp3", "http://h/dl/x.mp3"},
        {"http://h/list.asp?start=1", "https://cdn.example/a.mp3", "https://cdn.example/a.mp3"},
        {"http://h/list.asp", "HTTPS://S/Music/ABBA.mp3", "https://S/Music/ABBA.mp3"},
        {"https://h/list.asp", "//cdn.example/x.mp3", "https://cdn.example/x.mp3"},
        {"http://h/list.asp", "//cdn.example/x.mp3", "http://cdn.example/x.mp3"},
        {"http://h:8080/a/list.asp", "?start=11", "http://h:8080/a/list.asp?start=11"},
        {"http://[::1]:8931/a/", "b.mp3", "http://[::1]:8931/a/b.mp3"},
        {"http://h/", "http://[::1]:81/x.mp3", "http://[::1]:81/x.mp3"},
        // An empty port or the scheme's own goes (RFC 3986 section 6.2.3); another stays.
        {"http://h/", "http://h:/x.mp3", "http://h/x.mp3"},
        {"http://h:/a/", "b.mp3", "http://h/a/b.mp3"},
        {"http://h/", "http://h:80/x.mp3", "http://h/x.mp3"},
        {"http://h/", "https://h:443/x.mp3", "https://h/x.mp3"},
        {"http://h/", "https://h:80/x.mp3", "https://h:80/x.mp3"},
        {"http://h/", "http://u:p@h:/x.mp3", "http://u:p@h/x.mp3"},
        {"http://h/", "http://[::1]:/x.mp3", "http://[::1]/x.mp3"},
        // Encoding: blanks and non-ASCII bytes as browsers send them, %XX untouched.
        {"http://h/", "My Song.mp3", "http://h/My%20Song.mp3"},
        {"http://h/", "\xC3\xA9t\xC3\xA9.mp3", "http://h/%C3%A9t%C3%A9.mp3"},
        {"http://h/", "a%20b%2Fc.mp3", "http://h/a%20b%2Fc.mp3"},
        {"http://h/", "q?x=\"1\" 2", "http://h/q?x=%221%22%202"},
        {"http://h/a/", "  \n x.mp3\t ", "http://h/a/x.mp3"},
        {"http://h/a/", "b\\c.mp3", "http://h/a/b/c.mp3"},
        // Never fetched.
        {"http://h/", "mailto:me@h", ""},
        {"http://h/", "javascript:go('x.mp3')", ""},
        {"http://h/", "ftp://s/x.mp3", ""},
        {"http://h/", "http://", ""},
        {"http://h/", "http://h:99999/x", ""},
        {"nohost", "x.html", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ResolveLink(c.base, c.link), c.resolved) << c.base << " + " << c.link;

    // Resolved links stay as they are when resolved again.
    for (const Case& c : cases) {
        if (!c.resolved.empty()) {
            EXPECT_EQ(ResolveLink("http://other/", c.resolved), c.resolved);
        }
    }
    EXPECT_EQ(ResolveLinks("http://h/a/", {"x.mp3", "mailto:m", "x.mp3"}),
              (Links{"http://h/a/x.mp3", "http://h/a/x.mp3"}));
}

}  // namespace
