#include "download/FileNameFromUrl.h"
#include "download/HttpDownload.h"
#include "search/LinkExtractor.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

using testing_support::TempDir;

namespace {

TEST(FileNameFromUrl, CutsDecodesAndCleansTheLastSegment)
{
    struct Case {
        std::string url, name;
    };
    const Case cases[] = {
        {"http://h/music/a.mp3", "a.mp3"},
        {"http://h/a.mp3?token=1", "a.mp3"},
        {"http://h/a.mp3#t=30", "a.mp3"},
        {"http://h/dl?file=x.mp3", "dl"},  // the query is no name
        {"http://h/Song%20One.mp3", "Song One.mp3"},
        {"https://h/ABBA/Waterloo.MP3", "Waterloo.MP3"},
        {"http://h/%C3%9Cber.mp3", "\xC3\x9C" "ber.mp3"},
        {"http://h/%2e%2e%2Fx.mp3", "_x.mp3"},  // never a path
        {"http://h/a%2Fb%5Cc.mp3", "a_b_c.mp3"},
        {"http://h/a%00b%0A%7F.mp3", "a_b__.mp3"},
        {"http://h/%FF%C3.mp3", "__.mp3"},  // bytes that are not UTF-8
        {"http://h/..%20.hidden.mp3", "hidden.mp3"},
        // Names whose cleaning ate their stem keep their ending.
        {"http://h/...mp3", "mp3.mp3"},
        {"http://h/%20%20.mp3", "mp3.mp3"},
        {"http://h/.%20.MP3", "MP3.MP3"},
        {"http://h/..x", "x"},
        // Marks that reorder the text would show another name.
        {"http://h/song%E2%80%AEgpj.mp3", "song_gpj.mp3"},
        {"http://h/%E2%80%8E%E2%80%8Fa%E2%80%AA%E2%80%ABb%E2%80%AC%E2%80%AD.mp3", "__a__b__.mp3"},
        {"http://h/%E2%81%A6x%E2%81%A7%E2%81%A8%E2%81%A9%D8%9C.mp3", "_x____.mp3"},
        {"http://h/%E2%80%90%E2%81%A5.mp3", "\xE2\x80\x90\xE2\x81\xA5.mp3"},  // neighbours stay
        {"http://h/100%25.mp3", "100%.mp3"},
        {"http://h/50%.mp3", "50%.mp3"},  // a '%' without two hex digits stays
        {"http://[::1]:8931/x.mp3", "x.mp3"},
        {"h/dir/x.mp3", "x.mp3"},  // no scheme: read as a path
        {"x.mp3", "x.mp3"},
        // Nothing left: the download refuses the name.
        {"http://h/music/", ""},
        {"http://h", ""},
        {"http://h/..", ""},
        {"http://h/%2E%2E", ""},
        {"http://h/%20%20", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FileNameFromUrl(c.url), c.name) << c.url;
        EXPECT_EQ(DownloadFileName(c.url), c.name) << c.url;
        EXPECT_EQ(IsSafeDownloadName(FileNameFromUrl(c.url)), !c.name.empty()) << c.url;
    }
}

TEST(FileNameFromUrl, LongNamesKeepTheirExtensionAndWholeCharacters)
{
    const std::string stem(300, 'a');
    const std::string name = FileNameFromUrl("http://h/" + stem + ".mp3");
    EXPECT_EQ(name.size(), kMaxFileNameBytes);
    EXPECT_EQ(name, std::string(kMaxFileNameBytes - 4, 'a') + ".mp3");
    // The part file's record beside it can be made on a real file system.
    const TempDir dir;
    const std::string record = dir.File("." + name + ".part.info");
    const int fd = ::open(record.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    EXPECT_GE(fd, 0) << std::strerror(errno);
    if (fd >= 0)
        ::close(fd);

    // Two-byte letters: the cut never splits one.
    std::string umlauts;
    for (int i = 0; i < 200; ++i)
        umlauts += "%C3%BC";
    const std::string cut = FileNameFromUrl("http://h/x" + umlauts + ".mp3");
    EXPECT_LE(cut.size(), kMaxFileNameBytes);
    EXPECT_EQ(cut.substr(cut.size() - 4), ".mp3");
    EXPECT_EQ(cut.size() % 2, 1u);  // "x" + whole "ü"s + ".mp3"
    EXPECT_TRUE(IsMp3Link(cut));

    EXPECT_EQ(FileNameFromUrl("http://h/" + std::string(255, 'b')).size(), kMaxFileNameBytes);
}

}  // namespace
