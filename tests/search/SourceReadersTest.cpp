#include "search/FeedReader.h"
#include "search/sources/ArchiveReader.h"
#include "search/sources/JamendoReader.h"
#include "search/sources/LibriVoxReader.h"
#include "search/sources/PodcastReader.h"
#include "search/sources/SourceAddress.h"
#include "search/sources/SourceAnswer.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>

#include <functional>
#include <string>

// The answers below are written after the services' documented shapes.
namespace {

QByteArrayView Bytes(const char* text)
{
    return QByteArrayView(text);
}

std::string S(const QString& text)
{
    return text.toStdString();
}

TEST(SourceReadersTest, QueryAddresses)
{
    struct Case {
        QString built;
        const char* expected;
    };
    const Case cases[] = {
        {ArchiveSearchUrl("https://archive.org/", " Mozart & Salieri ", 1),
         "https://archive.org/advancedsearch.php?q=%28Mozart%20%26%20Salieri%29%20AND%20mediatype%3Aaudio"
         "&fl%5B%5D=identifier&fl%5B%5D=title&fl%5B%5D=creator&rows=50&page=1&output=json"},
        {ArchiveSearchUrl("http://127.0.0.1:8080", "caf\u00e9", 2),
         "http://127.0.0.1:8080/advancedsearch.php?q=%28caf%C3%A9%29%20AND%20mediatype%3Aaudio"
         "&fl%5B%5D=identifier&fl%5B%5D=title&fl%5B%5D=creator&rows=50&page=2&output=json"},
        {ArchiveMetadataUrl("https://archive.org", "tape 1#b"), "https://archive.org/metadata/tape%201%23b"},
        {LibriVoxSearchUrl("https://librivox.org", LibriVoxField::Title, "war and peace"),
         "https://librivox.org/api/feed/audiobooks/?format=json&limit=20&title=war%20and%20peace"},
        {LibriVoxSearchUrl("https://librivox.org", LibriVoxField::Author, "Tolstoy"),
         "https://librivox.org/api/feed/audiobooks/?format=json&limit=20&author=Tolstoy"},
        {PodcastSearchUrl("https://itunes.apple.com", "jazz=cool"),
         "https://itunes.apple.com/search?term=jazz%3Dcool&media=podcast&entity=podcastEpisode&limit=50"},
        {JamendoSearchUrl("https://api.jamendo.com", "ab&c", "rock"),
         "https://api.jamendo.com/v3.0/tracks/?client_id=ab%26c&format=json&limit=200&search=rock&audioformat=mp32"},
        {JamendoSearchUrl("https://api.jamendo.com", "id", "rock", 3),
         "https://api.jamendo.com/v3.0/tracks/?client_id=id&format=json&limit=200&search=rock&audioformat=mp32"
         "&offset=400"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(S(c.built), c.expected);
}

TEST(SourceReadersTest, ArchiveSearchPages)
{
    const auto first = ReadArchiveSearch(Bytes(R"({"responseHeader":{"status":0},"response":{"numFound":120,"start":0,
        "docs":[{"identifier":"mozart-k331","title":"Sonata","creator":"Mozart"},
                {"identifier":"salieri","creator":["Salieri","Orchestra"]},
                {"identifier":"mozart-k331"},
                {"identifier":"../etc"},{"identifier":"a/b"},{"identifier":"x@evil"},{"identifier":""}]}})"));
    ASSERT_TRUE(first.ok()) << S(first.error);
    EXPECT_EQ(first.value.found, 120);
    EXPECT_EQ(first.value.identifiers, QStringList({"mozart-k331", "salieri"}));

    const auto third = ReadArchiveSearch(Bytes(R"({"response":{"numFound":"120","docs":[{"identifier":"last"}]}})"));
    ASSERT_TRUE(third.ok()) << S(third.error);
    EXPECT_EQ(third.value.identifiers, QStringList({"last"}));

    // 50 a page, at most 4 pages.
    EXPECT_TRUE(ArchiveHasPageAfter(120, 1));
    EXPECT_TRUE(ArchiveHasPageAfter(120, 2));
    EXPECT_FALSE(ArchiveHasPageAfter(120, 3));
    EXPECT_FALSE(ArchiveHasPageAfter(100, 2));
    EXPECT_FALSE(ArchiveHasPageAfter(100000, 4));
    EXPECT_FALSE(ArchiveHasPageAfter(0, 1));
}

// One item: a FLAC with three derivatives, an MP3 original with a smaller
// copy, a WAV with two bitrates and a picture made from one of them, and a
// name that needs encoding.
constexpr const char* kItem = R"({
  "d1": "ia800.us.archive.org", "d2": "ia600.us.archive.org", "dir": "/7/items/concert",
  "metadata": {"identifier": "concert", "title": "Live 1977", "creator": ["The Band", "Guest"]},
  "files": [
    {"name": "01.flac", "source": "original", "format": "Flac", "title": "Opening"},
    {"name": "01_64kb.mp3", "source": "derivative", "format": "64Kbps MP3", "original": "01.flac"},
    {"name": "01_vbr.mp3", "source": "derivative", "format": "VBR MP3", "original": "01.flac",
     "title": "Opening", "creator": "Soloist", "album": "Side A", "length": "4:05", "size": "4567890",
     "md5": "0123456789ABCDEF0123456789abcdef", "sha1": "not-a-sha1"},
    {"name": "01.ogg", "source": "derivative", "format": "Ogg Vorbis", "original": "01.flac"},
    {"name": "02.mp3", "source": "original", "format": "MP3", "length": "245.5", "size": "1000",
     "sha1": "0123456789abcdef0123456789abcdef01234567"},
    {"name": "02_64kb.mp3", "source": "derivative", "format": "64Kbps MP3", "original": "02.mp3"},
    {"name": "03.wav", "source": "original", "format": "WAVE"},
    {"name": "03_64kb.mp3", "source": "derivative", "format": "64Kbps MP3", "original": "03.wav", "length": 61},
    {"name": "03_128kb.mp3", "source": "derivative", "format": "128Kbps MP3", "original": "03.wav"},
    {"name": "03_128kb.png", "source": "derivative", "format": "PNG", "original": "03_128kb.mp3"},
    {"name": "disc 2/side#b.MP3", "source": "original", "format": "Unknown", "artist": "Someone"},
    {"name": "concert_meta.xml", "source": "metadata", "format": "Metadata"}
  ]})";

TEST(SourceReadersTest, ArchiveItemChoosesBestMp3PerRecording)
{
    const auto read = ReadArchiveItem(Bytes(kItem), "https://archive.org", "concert");
    ASSERT_TRUE(read.ok()) << S(read.error);
    ASSERT_EQ(read.value.size(), 4u);

    const SourceFile& vbr = read.value[0];
    EXPECT_EQ(S(vbr.url), "https://archive.org/download/concert/01_vbr.mp3");
    EXPECT_EQ(vbr.mirrors, QStringList({"https://ia800.us.archive.org/7/items/concert/01_vbr.mp3",
                                        "https://ia600.us.archive.org/7/items/concert/01_vbr.mp3"}));
    EXPECT_EQ(S(vbr.title), "Opening");
    EXPECT_EQ(S(vbr.artist), "Soloist");
    EXPECT_EQ(S(vbr.album), "Side A");
    EXPECT_EQ(vbr.lengthSeconds, 245.0);
    EXPECT_EQ(vbr.size, 4567890);
    EXPECT_EQ(S(vbr.md5), "0123456789abcdef0123456789abcdef");
    EXPECT_TRUE(vbr.sha1.isEmpty());

    // The original MP3 beats its smaller copy; the item fills what the file lacks.
    const SourceFile& original = read.value[1];
    EXPECT_EQ(S(original.url), "https://archive.org/download/concert/02.mp3");
    EXPECT_EQ(S(original.title), "02");
    EXPECT_EQ(S(original.artist), "The Band, Guest");
    EXPECT_EQ(S(original.album), "Live 1977");
    EXPECT_EQ(original.lengthSeconds, 245.5);
    EXPECT_EQ(original.size, 1000);
    EXPECT_EQ(S(original.sha1), "0123456789abcdef0123456789abcdef01234567");

    // The highest bitrate; the picture made from it is no recording of its own.
    EXPECT_EQ(S(read.value[2].url), "https://archive.org/download/concert/03_128kb.mp3");
    EXPECT_FALSE(read.value[2].lengthSeconds.has_value());

    const SourceFile& encoded = read.value[3];
    EXPECT_EQ(S(encoded.url), "https://archive.org/download/concert/disc%202/side%23b.MP3");
    EXPECT_EQ(S(encoded.mirrors.value(0)), "https://ia800.us.archive.org/7/items/concert/disc%202/side%23b.MP3");
    EXPECT_EQ(S(encoded.title), "side#b");
    EXPECT_EQ(S(encoded.artist), "Someone");
}

TEST(SourceReadersTest, ArchiveNamesThatCannotMakeAnAddress)
{
    struct Case {
        const char* d1;
        const char* d2;
        const char* dir;
        const char* name;
        int files;
        int mirrors;
    };
    const Case cases[] = {
        {"a.example", "b.example", "/items/x", "ok.mp3", 1, 2},
        {"a.example", "a.example", "/items/x", "ok.mp3", 1, 1},
        {"user@a.example", "b.example:8443", "/items/x", "ok.mp3", 1, 1},
        {"a.example/evil", "b.example:0", "/items/x", "ok.mp3", 1, 0},
        {"a.example", "b.example", "/items/../x", "ok.mp3", 1, 0},
        {"a.example", "b.example", "items/x", "ok.mp3", 1, 0},
        {"a.example", "b.example", "/items/x@y", "ok.mp3", 1, 0},
        {"a.example", "b.example", "/items/x", "../ok.mp3", 0, 0},
        {"a.example", "b.example", "/items/x", "a/./ok.mp3", 0, 0},
        {"a.example", "b.example", "/items/x", "me@ok.mp3", 0, 0},
        {"a.example", "b.example", "/items/x", "o\\u0001k.mp3", 0, 0},
        {"a.example", "b.example", "/items/x", "o\\u0085k.mp3", 0, 0},
    };
    for (const Case& c : cases) {
        const std::string answer = std::string(R"({"d1":")") + c.d1 + R"(","d2":")" + c.d2 + R"(","dir":")" + c.dir +
                                   R"(","files":[{"name":")" + c.name + R"(","source":"original"}]})";
        const auto read = ReadArchiveItem(QByteArrayView(answer), "https://archive.org", "x");
        ASSERT_TRUE(read.ok()) << answer;
        ASSERT_EQ(static_cast<int>(read.value.size()), c.files) << answer;
        if (c.files > 0) {
            EXPECT_EQ(read.value[0].mirrors.size(), c.mirrors) << answer;
        }
    }
    // An unknown item is answered with an empty object: no files, no message.
    const auto unknown = ReadArchiveItem(Bytes("{}"), "https://archive.org", "nothing");
    EXPECT_TRUE(unknown.ok());
    EXPECT_TRUE(unknown.value.empty());
    // A host that is no web address gives no addresses at all.
    EXPECT_TRUE(ReadArchiveItem(Bytes(kItem), "ftp://archive.org", "concert").value.empty());
}

TEST(SourceReadersTest, AddressChecks)
{
    EXPECT_TRUE(IsWebAddress("https://a.example/x.mp3"));
    EXPECT_TRUE(IsWebAddress("HTTP://a.example:81/"));
    for (const char* bad : {"", "ftp://a.example/x.mp3", "javascript:alert(1)", "/relative.mp3",
                            "https://a.example/x y.mp3", "https://a.example/x\n.mp3", "https://:80/x"})
        EXPECT_FALSE(IsWebAddress(bad)) << bad;
    EXPECT_EQ(S(SaveNameFor("AC/DC", "Back in Black")), "AC_DC - Back in Black.mp3");
    EXPECT_EQ(S(SaveNameFor("", "  ..Intro ")), "Intro.mp3");
    EXPECT_EQ(S(SaveNameFor("A\u202E", "50% off")), "A_ - 50% off.mp3");
    EXPECT_EQ(S(SaveNameFor("", "")), "track.mp3");
}

TEST(SourceReadersTest, LibriVoxBooksAndChapters)
{
    std::string answer = R"({"books":[
        {"id":"1","title":"War and Peace","url_rss":"https://librivox.org/rss/1","totaltimesecs":219600,
         "authors":[{"first_name":" Leo ","last_name":"Tolstoy"},{"first_name":"","last_name":"Anonymous"}]},
        {"title":"No feed","url_rss":"javascript:x","authors":[]},
        {"title":"Poems","url_rss":"http://librivox.org/rss/2","totaltimesecs":"61"})";
    for (int i = 0; i < 25; ++i)
        answer += R"(,{"title":"More","url_rss":"https://librivox.org/rss/more"})";
    answer += "]}";
    const auto books = ReadLibriVoxBooks(QByteArrayView(answer));
    ASSERT_TRUE(books.ok()) << S(books.error);
    ASSERT_EQ(books.value.size(), 20u);
    EXPECT_EQ(S(books.value[0].authors), "Leo Tolstoy, Anonymous");
    EXPECT_EQ(books.value[0].seconds, 219600.0);
    EXPECT_EQ(S(books.value[1].title), "Poems");
    EXPECT_EQ(books.value[1].seconds, 61.0);
    EXPECT_TRUE(books.value[1].authors.isEmpty());

    // Nothing found is no books and no message, with either status.
    const auto none = ReadLibriVoxBooks(Bytes(R"({"error":"Audiobooks could not be found"})"));
    EXPECT_TRUE(none.ok());
    EXPECT_TRUE(none.value.empty());
    const auto other = ReadLibriVoxBooks(Bytes(R"({"error":"Database unavailable"})"));
    EXPECT_EQ(S(other.error), "The answer of LibriVox could not be read: the service answered: Database unavailable");

    // The chapters come from the book's feed.
    const char* feed = R"(<?xml version="1.0"?>
<rss version="2.0" xmlns:itunes="http://www.itunes.com/dtds/podcast-1.0.dtd"><channel><title>War and Peace</title>
<item><title>Chapter 1</title><itunes:duration>1:02:03</itunes:duration>
  <enclosure url="https://archive.org/download/wp/wp_01.mp3" type="audio/mpeg"/></item>
<item><enclosure url="https://archive.org/download/wp/wp_02.mp3" type="audio/mpeg"/>
  <itunes:duration>soon</itunes:duration></item>
</channel></rss>)";
    const std::vector<SourceFile> chapters =
        LibriVoxChapters(books.value[0], ParseFeed(feed, "https://librivox.org/rss/1"));
    ASSERT_EQ(chapters.size(), 2u);
    EXPECT_EQ(S(chapters[0].url), "https://archive.org/download/wp/wp_01.mp3");
    EXPECT_EQ(S(chapters[0].title), "Chapter 1");
    EXPECT_EQ(S(chapters[0].artist), "Leo Tolstoy, Anonymous");
    EXPECT_EQ(S(chapters[0].album), "War and Peace");
    EXPECT_EQ(chapters[0].lengthSeconds, 3723.0);
    EXPECT_EQ(S(chapters[1].title), "wp_02");
    EXPECT_FALSE(chapters[1].lengthSeconds.has_value());
}

TEST(SourceReadersTest, FeedItemTitlesAndDurations)
{
    const FeedPage atom = ParseFeed(R"(<feed xmlns="http://www.w3.org/2005/Atom"
        xmlns:itunes="http://www.itunes.com/dtds/podcast-1.0.dtd"><title>Show</title>
      <entry><title> Part 2 </title><itunes:duration>05:00</itunes:duration>
        <link rel="enclosure" href="/p2.mp3" type="audio/mpeg"/></entry></feed>)",
                                    "https://feeds.test/show.xml");
    ASSERT_EQ(atom.files.size(), 1u);
    EXPECT_EQ(atom.files[0].title, "Part 2");
    EXPECT_EQ(atom.files[0].seconds, 300);

    const std::pair<const char*, double> cases[] = {
        {"245", 245}, {" 4:05 ", 245}, {"1:02:03", 3723}, {"0:00", 0}, {"", -1}, {"1:2:3:4", -1},
        {"4:", -1},   {":05", -1},     {"4.5", -1},       {"-3", -1},  {"99999999999999999", -1},
    };
    for (const auto& [text, seconds] : cases)
        EXPECT_EQ(ParseFeedDuration(text), seconds) << text;
}

TEST(SourceReadersTest, PodcastEpisodes)
{
    const auto read = ReadPodcastAnswer(Bytes(R"({"resultCount":99,"results":[
        {"wrapperType":"podcastEpisode","kind":"podcast-episode","collectionId":7,"trackName":"Ep 1",
         "collectionName":"Jazz Talk","episodeUrl":"https://cdn.example/ep1?id=3","episodeFileExtension":"mp3",
         "trackTimeMillis":1800500},
        {"kind":"podcast-episode","collectionId":7,"trackName":"Ep 2","artistName":"Guest Host",
         "episodeUrl":"https://cdn.example/ep2.MP3?x=1#t"},
        {"kind":"podcast-episode","collectionId":7,"trackName":"Ep 3","episodeUrl":"https://cdn.example/ep3.m4a",
         "episodeFileExtension":"m4a"},
        {"kind":"podcast-episode","collectionId":9,"trackName":"Ep 4","episodeUrl":"ftp://cdn.example/ep4.mp3"},
        {"kind":"podcast-episode","collectionId":9,"trackName":"Ep 5","episodeUrl":"http://cdn.example/ep5.mp3"},
        {"wrapperType":"track","kind":"podcast","collectionId":7,"artistName":"Jazz Host",
         "feedUrl":"https://feeds.example/jazz.xml"}]})"));
    ASSERT_TRUE(read.ok()) << S(read.error);
    ASSERT_EQ(read.value.size(), 3u);
    EXPECT_EQ(S(read.value[0].url), "https://cdn.example/ep1?id=3");
    EXPECT_EQ(S(read.value[0].title), "Ep 1");
    EXPECT_EQ(S(read.value[0].album), "Jazz Talk");
    EXPECT_EQ(S(read.value[0].artist), "Jazz Host");  // from the podcast item that came later
    EXPECT_EQ(read.value[0].lengthSeconds, 1800.5);
    EXPECT_EQ(S(read.value[1].artist), "Guest Host");
    EXPECT_EQ(S(read.value[2].title), "Ep 5");
    EXPECT_TRUE(read.value[2].artist.isEmpty());  // no podcast item of collection 9
}

TEST(SourceReadersTest, JamendoTracks)
{
    const auto read = ReadJamendoAnswer(Bytes(R"({"headers":{"status":"success","code":0,"results_count":3},
        "results":[
         {"id":"730","name":"Sunrise","artist_name":"AC/DC Tribute","album_name":"Morning","duration":183,
          "audiodownload":"https://prod-1.storage.jamendo.com/download/track/730/mp32/","audiodownload_allowed":true},
         {"id":"731","name":"Locked","artist_name":"X","audiodownload":"https://j.example/731/",
          "audiodownload_allowed":false},
         {"id":"732","name":"Old","artist_name":"Y","audiodownload":"https://j.example/732/"}]})"));
    ASSERT_TRUE(read.ok()) << S(read.error);
    ASSERT_EQ(read.value.size(), 1u);
    EXPECT_EQ(S(read.value[0].url), "https://prod-1.storage.jamendo.com/download/track/730/mp32/");
    EXPECT_EQ(S(read.value[0].fileName), "AC_DC Tribute - Sunrise.mp3");
    EXPECT_EQ(S(read.value[0].album), "Morning");
    EXPECT_EQ(read.value[0].lengthSeconds, 183.0);

    const auto failed = ReadJamendoAnswer(Bytes(
        R"({"headers":{"status":"failed","code":5,"error_message":"Your credential is not authorized."},"results":[]})"));
    EXPECT_EQ(S(failed.error),
              "The answer of Jamendo could not be read: the service answered: Your credential is not authorized.");
}

// Each reader with answers it cannot read: the message names the source and
// the cause, and nothing half-read comes with it.
TEST(SourceReadersTest, BadAnswers)
{
    using Reader = std::function<QString(QByteArrayView)>;
    const Reader search = [](QByteArrayView b) { return ReadArchiveSearch(b).error; };
    const Reader item = [](QByteArrayView b) {
        const auto read = ReadArchiveItem(b, "https://archive.org", "x");
        return read.value.empty() ? read.error : QStringLiteral("files and an error");
    };
    const Reader books = [](QByteArrayView b) {
        const auto read = ReadLibriVoxBooks(b);
        return read.value.empty() ? read.error : QStringLiteral("books and an error");
    };
    const Reader podcasts = [](QByteArrayView b) {
        const auto read = ReadPodcastAnswer(b);
        return read.value.empty() ? read.error : QStringLiteral("files and an error");
    };
    const Reader jamendo = [](QByteArrayView b) {
        const auto read = ReadJamendoAnswer(b);
        return read.value.empty() ? read.error : QStringLiteral("files and an error");
    };
    const std::string deep = std::string(33, '[') + std::string(33, ']');
    // The answer's own object is the first level.
    const std::string deepest = R"({"results":[],"x":)" + std::string(31, '[') + std::string(31, ']') + "}";
    const std::string tooDeep = R"({"results":[],"x":)" + std::string(32, '[') + std::string(32, ']') + "}";
    const std::string shallowInString = R"({"results":[],"x":")" + std::string(100, '[') + R"(\""})";
    std::string large = R"({"results":[],"pad":")" + std::string(8 * 1024 * 1024, 'a') + R"("})";
    struct Case {
        const Reader* reader;
        std::string answer;
        const char* error;  // empty: read without a message
    };
    const std::string archive = "The answer of Internet Archive could not be read: ";
    const std::string podcast = "The answer of Podcast episodes could not be read: ";
    const Case cases[] = {
        {&search, "<html>busy</html>", "it is not JSON"},
        {&search, "[1,2]", "it is not JSON"},
        {&search, R"({"response":{"numFound":1,"docs":[{"identifier":"a"}]})", "it is not JSON"},
        {&search, R"({"response":[]})", "its field response is missing or of the wrong kind"},
        {&search, R"({"response":{"docs":[]}})", "its field response.numFound is missing or of the wrong kind"},
        {&search, R"({"response":{"numFound":-5,"docs":[]}})",
         "its field response.numFound is missing or of the wrong kind"},
        {&search, R"({"response":{"numFound":1,"docs":"a"}})", "its field response.docs is missing or of the wrong kind"},
        {&search, R"({"response":{"numFound":1,"docs":[{"identifier":"a"},7]}})",
         "its field response.docs[1] is missing or of the wrong kind"},
        {&search, R"({"response":{"numFound":1,"docs":[{"identifier":["a"]}]}})",
         "its field response.docs[0].identifier is missing or of the wrong kind"},
        {&search, deep, "it is nested deeper than 32 levels"},
        {&item, R"({"d1":"a"})", "its field files is missing or of the wrong kind"},
        {&item, R"({"files":[{"name":"a.mp3","source":"original"},{"name":5}]})",
         "its field files[1].name is missing or of the wrong kind"},
        {&item, R"({"files":[{"name":"a.mp3","creator":{"x":1}}]})",
         "its field files[0].creator is missing or of the wrong kind"},
        {&item, R"({"files":[],"metadata":"none"})", "its field metadata is missing or of the wrong kind"},
        {&item, R"({"files":[{"name":"a.mp3","size":true}]})", "its field files[0].size is missing or of the wrong kind"},
        {&item, large, "it is larger than 8 MiB"},
        {&books, R"({"books":{"a":1}})", "its field books is missing or of the wrong kind"},
        {&books, R"({"books":[{"title":"t","url_rss":"https://x/","authors":[{"first_name":1}]}]})",
         "its field books[0].authors[0].first_name is missing or of the wrong kind"},
        {&books, "", "it is not JSON"},
        {&podcasts, R"({"resultCount":1})", "its field results is missing or of the wrong kind"},
        {&podcasts, R"({"results":[{"kind":"podcast-episode","episodeUrl":"https://a/b.mp3"},"x"]})",
         "its field results[1] is missing or of the wrong kind"},
        {&podcasts, R"({"results":[{"kind":"podcast-episode","episodeUrl":"https://a/b.mp3","trackTimeMillis":[1]}]})",
         "its field results[0].trackTimeMillis is missing or of the wrong kind"},
        {&podcasts, shallowInString, ""},
        {&podcasts, deepest, ""},
        {&podcasts, tooDeep, "it is nested deeper than 32 levels"},
        {&jamendo, R"({"headers":{"status":"success"}})", "its field results is missing or of the wrong kind"},
        {&jamendo, R"({"results":[{"audiodownload":"https://a/","audiodownload_allowed":"true"}]})",
         "its field results[0].audiodownload_allowed is missing or of the wrong kind"},
    };
    for (const Case& c : cases) {
        const std::string error = S((*c.reader)(QByteArrayView(c.answer)));
        const std::string prefix = c.reader == &podcasts ? podcast : c.reader == &books
                                       ? "The answer of LibriVox could not be read: "
                                       : c.reader == &jamendo ? "The answer of Jamendo could not be read: " : archive;
        EXPECT_EQ(error, *c.error == '\0' ? std::string() : prefix + c.error) << c.answer.substr(0, 200);
    }
}

}  // namespace
