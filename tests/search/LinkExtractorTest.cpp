#include "search/LinkExtractor.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

// The scan written out step by step, searching afresh for every "<a ": slow
// on hostile pages but plainly right. Like the real one, it takes each
// "href=" attribute once.
std::vector<std::string> ReferenceLinks(std::string text)
{
    text = text.substr(0, text.find('\0'));
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    }
    std::vector<std::string> links;
    std::size_t lastHref = std::string::npos;
    for (std::size_t p = text.find("<a "); p != std::string::npos; p = text.find("<a ", p + 1)) {
        const std::size_t close = text.find('>', p);
        if (close == std::string::npos)
            continue;
        const std::string tag = text.substr(p, close - p + 1);
        const std::size_t href = tag.find("href=");
        if (href == std::string::npos || p + href == lastHref)
            continue;
        lastHref = p + href;
        const char delimiter = tag[href + 5];
        const std::size_t end = tag.find(delimiter, href + 6);
        if (end != std::string::npos && end > href + 6)
            links.push_back(tag.substr(href + 6, end - href - 6));
    }
    return links;
}

std::vector<std::string> Extract(const std::string& page)
{
    std::vector<std::string> links;
    ExtractLinks(page.data(), page.size(), links);
    return links;
}

using Links = std::vector<std::string>;

TEST(ExtractLinks, AnchorTagRules)
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
        {"<A HREF='Song.MP3'>", {"song.mp3"}},
        {"<area href='x.mp3'>", {}},
        {"<a\nhref='x.mp3'>", {}},
        {"<a\thref='x.mp3'>", {}},
        {"<a href = 'x.mp3'>", {}},
        {"<a href='first' href='second'>", {"first"}},
        {"<a href=x.mp3>", {}},                        // no second 'x' in the tag
        {"<a href=song.mp3 class=s>", {"ong.mp3 cla"}},  // the first byte is the delimiter
        {"<a href=''>", {}},
        {"<a href='unclosed>", {}},
        {"<a href=>", {}},  // the delimiter is the '>' itself
        {"<a title='x'>text</a> href='y'>", {}},  // "href=" after the tag's end
        {"<a href='a'> <a href='b'> <a name=x>", {"a", "b"}},
        {"<a href='a'> <a href='b'", {"a"}},  // the last tag never closes
        {"<a <a href='x.mp3'>", {"x.mp3"}},   // one attribute, one link
        {"<A HREF='\xC4\xD6.MP3'>", {"\xC4\xD6.mp3"}},  // only A-Z are folded
        {"<a href='<a href=\"x\">", {"x"}},  // the second tag nests inside the first
        {"<a href=\"q'\" href='z'>", {"q'"}},
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
    // A NUL inside a tag ends the text before the tag closes.
    const std::string cut("<a href='b'\0>", 13);
    ExtractLinks(cut.data(), cut.size(), links);
    EXPECT_EQ(links, (Links{"kept", "a"}));
    ExtractLinks(nullptr, 10, links);
    ExtractLinks(page.data(), 0, links);
    EXPECT_EQ(links.size(), 2u);
}

TEST(ExtractLinks, HostilePagesStillGiveTheirLinks)
{
    // Thousands of unclosed tags after real ones, and a huge tag full of "<a ".
    std::string page = "<a href='keep.mp3'>";
    for (int i = 0; i < 200000; ++i)
        page += "<a ";
    EXPECT_EQ(Extract(page), Links{"keep.mp3"});

    std::string nested;
    for (int i = 0; i < 100000; ++i)
        nested += "<a ";
    nested += "href='" + std::string(100000, 'x') + "'>";
    const Links links = Extract(nested);
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0].size(), 100000u);

    // Every delimiter byte, each used once and never found again.
    std::string delimiters;
    for (int c = 1; c < 256; ++c) {
        if (c != '>')
            delimiters += "<a href=" + std::string(1, static_cast<char>(c)) + "z";
    }
    delimiters += std::string(10000, 'z') + ">";
    EXPECT_LE(Extract(delimiters).size(), 255u);
}

TEST(ExtractLinks, AgreesWithAPlainScanOnRandomPages)
{
    // Pages built from the pieces the scan looks for, so that tags overlap,
    // nest and break off in every way.
    const std::vector<std::string> pieces = {"<a ", "<A ", "href=", "HREF=", ">", "'", "\"", "x", "y.mp3", " ", "<a",
                                             "\n", std::string(1, '\0'), "=", "<"};
    std::mt19937 random(12345);
    for (int round = 0; round < 20000; ++round) {
        std::string page;
        const int count = static_cast<int>(random() % 40);
        for (int i = 0; i < count; ++i)
            page += pieces[random() % pieces.size()];
        ASSERT_EQ(Extract(page), ReferenceLinks(page)) << page;
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

TEST(ResolveLink, JoinsRelativeLinksToThePageUrl)
{
    struct Case {
        std::string page, link, resolved;
    };
    const Case cases[] = {
        {"http://h/list.asp", "http://other/x.mp3", "http://other/x.mp3"},
        {"http://h/list.asp", "HTTP://other/x.mp3", "HTTP://other/x.mp3"},
        {"http://h/music/", "song.mp3", "http://h/music/song.mp3"},
        {"http://h/a/b/list.asp", "../c/x.mp3", "http://h/a/b/c/x.mp3"},
        {"http://h/list.asp?q=1", "next.asp?p=2", "http://hnext.asp?p=2"},
        {"http://h/list.asp", "/dl/x.mp3", "http://h/list.asp/dl/x.mp3"},
        {"http://h/list.asp", "https://s/x.mp3", "http://h/list.asphttps://s/x.mp3"},
        {"http://h/a/list.asp", "ftp://s/x.txt", "http://h/aftp://s/x.txt"},
        {"http://h/a/list.asp", "mailto:me", "http://h/a/list.aspmailto:me"},  // no '.': base whole
        {"http://h/a/list.asp", "../../x", "http://h/a/../x"},  // only the first ".." goes
        {"nohost", "x.html", "nohostx.html"},                 // nothing to cut
        {"http://h/a/list.asp", "", "http://h/a/list.asp"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ResolveLink(c.page, c.link), c.resolved) << c.page << " + " << c.link;
}

}  // namespace
