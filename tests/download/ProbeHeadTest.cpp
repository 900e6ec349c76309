// A probe reads a file's first 16 KiB (and 4 KiB behind a longer tag) and
// reports what a decoder of the whole file would say of it.
#include "download/HttpDownloadInfo.h"
#include "download/MpegFrameHeader.h"

#include "NginxServer.h"
#include "ProbeReceiver.h"
#include "ScriptedHttpServer.h"
#include "TempDir.h"

#include <QByteArray>

#include <gtest/gtest.h>
#include <mpg123.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <xxhash.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

using namespace testing_support;

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string Mp3(const std::string& name)
{
    return ReadFile(std::string(TUNORVA_TEST_MP3_DIR) + "/" + name);
}

// The length a decoder gives after reading the whole file, frame by frame.
double WholeFileSeconds(const std::string& path)
{
    mpg123_init();
    mpg123_handle* mh = mpg123_new(nullptr, nullptr);
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
    double seconds = 0;
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_open(mh, path.c_str()) == MPG123_OK && mpg123_scan(mh) == MPG123_OK &&
        mpg123_getformat(mh, &rate, &channels, &encoding) == MPG123_OK && rate > 0)
        seconds = static_cast<double>(mpg123_length(mh)) / static_cast<double>(rate);
    mpg123_close(mh);
    mpg123_delete(mh);
    return seconds;
}

// The VBR file with a Fraunhofer VBRI header in place of its Xing header,
// holding the same frame count.
std::string WithVbriHeader(std::string file)
{
    const std::size_t frame = static_cast<std::size_t>(Mp3Head::TagEnd(file));
    const std::size_t xing = file.find("Xing", frame);
    EXPECT_EQ(xing, frame + 4 + 17);  // MPEG-1 mono
    const std::string frames = file.substr(xing + 8, 4);
    std::fill(file.begin() + static_cast<std::ptrdiff_t>(frame + 4), file.begin() + static_cast<std::ptrdiff_t>(frame + 200), '\0');
    const std::string vbri = std::string("VBRI\0\1\0\0\0\0", 10) + std::string(4, '\0') + frames;
    file.replace(frame + 36, vbri.size(), vbri);
    return file;
}

// The VBR file with its Xing header's byte count taken out (as some encoders
// write it): the frame keeps its length, the fields after the count move up.
std::string WithoutXingBytes(std::string file)
{
    const std::size_t frame = static_cast<std::size_t>(Mp3Head::TagEnd(file));
    const std::size_t xing = file.find("Xing", frame);
    const std::optional<MpegFrameHeader> header = MpegFrameHeader::Read(std::string_view(file).substr(frame));
    EXPECT_TRUE(header.has_value());
    EXPECT_EQ(file[xing + 7] & 3, 3);  // frames and bytes
    file[xing + 7] = static_cast<char>(file[xing + 7] & ~2);
    file.erase(xing + 12, 4);
    file.insert(frame + header->bytes - 4, 4, '\0');
    return file;
}

// The CBR file retagged with a 300 KiB cover picture behind its texts.
std::string WithLongTag(const std::string& path)
{
    TagLib::MPEG::File file(path.c_str());
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
    auto* picture = new TagLib::ID3v2::AttachedPictureFrame;
    picture->setMimeType("image/jpeg");
    picture->setPicture(TagLib::ByteVector(300 * 1024, 'p'));
    tag->addFrame(picture);
    EXPECT_TRUE(file.save(TagLib::MPEG::File::ID3v2));
    return ReadFile(path);
}

// Answers a range request as a server with ranges does.
ScriptedReply Ranged(const std::string& file, const HttpExchange& e, bool ignoreRanges = false)
{
    std::size_t first = 0;
    std::size_t last = file.size() - 1;
    const std::string range = e.Header("Range");
    ScriptedReply reply;
    reply.keepAlive = true;
    if (ignoreRanges || std::sscanf(range.c_str(), "bytes=%zu-%zu", &first, &last) != 2) {
        reply.bytes = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(file.size()) + "\r\n\r\n" + file;
        return reply;
    }
    last = std::min(last, file.size() - 1);
    reply.bytes = "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(first) + "-" +
                  std::to_string(last) + "/" + std::to_string(file.size()) +
                  "\r\nContent-Length: " + std::to_string(last - first + 1) + "\r\n\r\n" +
                  file.substr(first, last - first + 1);
    return reply;
}

struct Probed {
    std::vector<std::string> statuses;  // after the connection steps
    bool sized = false;
    std::uint64_t size = 0;
    Mp3Head head;
};

Probed Probe(const std::string& url, platform::HttpConnections* connections = nullptr)
{
    DownloadItem item;
    item.nItem = 3;
    item.strUrl = url;
    ProbeReceiver receiver;
    ProbeThreadProc(item, {}, connections);
    Probed probed;
    for (const auto& r : receiver.Records()) {
        if (r.message == WM_FILE_SIZE_PROBED) {
            probed.sized = true;
            probed.size = r.value;
            probed.head = r.head;
        } else if (r.message == WM_FILE_STATUS && r.text.rfind("Resolv", 0) != 0 && r.text.rfind("Connect", 0) != 0) {
            probed.statuses.push_back(r.text);
        }
    }
    return probed;
}

std::string Xxh128(const std::string& bytes)
{
    XXH128_canonical_t canonical;
    XXH128_canonicalFromHash(&canonical, XXH3_128bits(bytes.data(), bytes.size()));
    return QByteArray(reinterpret_cast<const char*>(canonical.digest), sizeof canonical.digest).toHex().toStdString();
}

struct Expected {
    const char* file;
    int version;
    long rate;
    int bitrate;  // 0: an average, checked against the whole file
    bool vbr;
    const char* title;
    std::size_t requests;
};

// Every kind of stream against nginx and against the scripted server: the
// same facts, lengths and bitrates as the whole file gives, in one request,
// or two behind a long tag.
TEST(ProbeHead, ReadsWhatTheWholeFileGivesFromItsHead)
{
    ClearProxyEnvironment();
    TempDir root;
    for (const char* name : {"cbr64.mp3", "vbr-xing.mp3", "mpeg2.mp3", "mpeg25.mp3"})
        root.Write(name, Mp3(name));
    root.Write("vbri.mp3", WithVbriHeader(Mp3("vbr-xing.mp3")));
    root.Write("xing-no-bytes.mp3", WithoutXingBytes(Mp3("vbr-xing.mp3")));
    root.Write("long-tag.mp3", Mp3("cbr64.mp3"));
    const std::string longTag = WithLongTag((root.Path() / "long-tag.mp3").string());
    ASSERT_GT(Mp3Head::TagEnd(longTag), 300u * 1024);
    const std::vector<Expected> cases{
        {"cbr64.mp3", 1, 44100, 64, false, "Steady Tone", 1},
        {"vbr-xing.mp3", 1, 44100, 0, true, "Restless Noise", 1},
        {"vbri.mp3", 1, 44100, 0, true, "Restless Noise", 1},
        {"xing-no-bytes.mp3", 1, 44100, 0, true, "Restless Noise", 1},
        {"mpeg2.mp3", 2, 22050, 32, false, "Half Rate", 1},
        {"mpeg25.mp3", 25, 8000, 16, false, "Quarter Rate", 1},
        {"long-tag.mp3", 1, 44100, 64, false, "Steady Tone", 2},
    };

    std::optional<NginxServer> nginx;
    if (NginxServer::Available())
        nginx.emplace(root.Str());
    std::size_t scriptedRequests = 0;
    std::string served;
    ScriptedHttpServer scripted([&](const HttpExchange& e) { return Ranged(served, e); });
    platform::HttpConnections connections;
    for (const Expected& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = (root.Path() / c.file).string();
        const std::string file = ReadFile(path);
        const double seconds = WholeFileSeconds(path);
        ASSERT_GT(seconds, 9.0);
        const std::uint64_t tagEnd = Mp3Head::TagEnd(file);
        const double average = static_cast<double>(file.size() - tagEnd) * 8 / seconds / 1000;
        std::string asked = file.substr(0, Mp3Head::kBytes);
        if (c.requests == 2)
            asked += file.substr(tagEnd, Mp3Head::kAfterTagBytes);

        std::vector<std::string> urls{scripted.Url("/" + std::string(c.file))};
        if (nginx && nginx->Running())
            urls.push_back(nginx->HttpUrl("/" + std::string(c.file)));
        served = file;
        for (const std::string& url : urls) {
            SCOPED_TRACE(url);
            const Probed probed = Probe(url, &connections);
            EXPECT_EQ(probed.statuses, std::vector<std::string>{"Avaliable"});
            ASSERT_TRUE(probed.sized);
            EXPECT_EQ(probed.size, file.size());
            const Mp3Head& head = probed.head;
            ASSERT_TRUE(head.known);
            EXPECT_TRUE(head.mp3);
            EXPECT_FALSE(head.notMp3);
            EXPECT_EQ(head.version, c.version);
            EXPECT_EQ(head.layer, 3);
            EXPECT_EQ(head.rate, c.rate);
            EXPECT_EQ(head.channels, 1);
            EXPECT_EQ(head.vbr, c.vbr);
            EXPECT_EQ(head.title, c.title);
            EXPECT_EQ(head.artist, "Test Band");
            EXPECT_EQ(head.fingerprint, Xxh128(asked));
            EXPECT_EQ(head.digest, "");  // only the command-line tool asks for it
            const double tolerance = c.vbr ? 0.01 : 0.02;
            EXPECT_NEAR(head.seconds, seconds, seconds * tolerance);
            EXPECT_NEAR(head.bitrate, c.bitrate != 0 ? c.bitrate : average, average * tolerance);
            if (c.bitrate != 0) {
                EXPECT_EQ(head.bitrate, c.bitrate);
            }
        }
        scriptedRequests += c.requests;
        EXPECT_EQ(scripted.RequestCount(), scriptedRequests);
    }
    // Every answer was read to its end: one connection served every probe.
    EXPECT_EQ(scripted.Requests().back().connection, 0);
    if (nginx && nginx->Running()) {
        // nginx logs a request once it has sent the answer's last byte.
        std::string log;
        for (int i = 0; i < 50 && log.find("/long-tag.mp3 HTTP/1.1\" 206 4096 ") == std::string::npos; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            log = nginx->AccessLog();
        }
        EXPECT_EQ(log.find("\" 200 "), std::string::npos) << log;
        EXPECT_NE(log.find("\"GET /cbr64.mp3 HTTP/1.1\" 206 16384 "), std::string::npos) << log;
        EXPECT_NE(log.find("\"GET /long-tag.mp3 HTTP/1.1\" 206 4096 "), std::string::npos) << log;
    }
}

// Without a size from the server, a variable bitrate has no average to show;
// the length its Xing header counts is known all the same.
TEST(ProbeHead, AVariableBitrateOfNoKnownSizeHasNoAverage)
{
    const std::string file = Mp3("vbr-xing.mp3");
    const std::string head = file.substr(0, Mp3Head::kBytes);
    const Mp3Head unsized = Mp3Head::Read(head, {}, std::nullopt);
    EXPECT_TRUE(unsized.vbr);
    EXPECT_EQ(unsized.bitrate, 0);
    EXPECT_NEAR(unsized.seconds, 10.0, 0.1);
    EXPECT_GT(Mp3Head::Read(head, {}, file.size()).bitrate, 0);
}

// A server that sends the whole file for a range: the head is read from the
// body, past a long tag too, and the connection is given up rather than read
// to the end of the file.
TEST(ProbeHead, TagTextsInEveryEncodingComeOutAsUtf8)
{
    // An ID3v2.3 tag as older taggers write it: a UTF-16 title with its
    // byte-order mark, a Latin-1 artist, each text ended by a NUL.
    const auto syncsafe = [](std::size_t n) {
        return std::string{static_cast<char>((n >> 21) & 0x7F), static_cast<char>((n >> 14) & 0x7F),
                           static_cast<char>((n >> 7) & 0x7F), static_cast<char>(n & 0x7F)};
    };
    const auto frame = [](const char* id, const std::string& body) {
        const std::size_t n = body.size();
        return std::string(id) + std::string{0, static_cast<char>(n >> 16), static_cast<char>(n >> 8),
                                             static_cast<char>(n)} + std::string(2, '\0') + body;
    };
    // "Café ☃" in UTF-16LE, and "Björk" in Latin-1.
    const std::string title = std::string("\x01\xFF\xFE" "C\0a\0f\0\xE9\0 \0\x03\x26\0\0", 17);
    const std::string artist = std::string("\0Bj\xF6rk\0", 7);
    const std::string frames = frame("TIT2", title) + frame("TPE1", artist);
    const std::string tagged = "ID3" + std::string{3, 0, 0} + syncsafe(frames.size()) + frames;
    const std::string song = Mp3("cbr64.mp3");
    const std::string file = tagged + song.substr(static_cast<std::size_t>(Mp3Head::TagEnd(song)));

    const Mp3Head head = Mp3Head::Read(file.substr(0, Mp3Head::kBytes), {}, file.size());
    EXPECT_TRUE(head.mp3);
    EXPECT_EQ(head.title, "Caf\xC3\xA9 \xE2\x98\x83");
    EXPECT_EQ(head.artist, "Bj\xC3\xB6rk");
}

TEST(ProbeHead, AServerWithoutRangesIsReadNoFurtherThanTheHead)
{
    ClearProxyEnvironment();
    TempDir root;
    root.Write("long-tag.mp3", Mp3("cbr64.mp3"));
    // Each far longer than what is read, so that its connection cannot have
    // carried the whole body by the time the probe is done.
    const std::string longTag = WithLongTag((root.Path() / "long-tag.mp3").string()) + std::string(8 << 20, '\0');
    const std::string big = Mp3("vbr-xing.mp3") + std::string(8 << 20, '\0');
    for (const std::string* file : {&longTag, &big}) {
        ScriptedHttpServer server([&](const HttpExchange& e) { return Ranged(*file, e, true); });
        platform::HttpConnections connections;
        const Probed first = Probe(server.Url("/a.mp3"), &connections);
        const Probed second = Probe(server.Url("/a.mp3"), &connections);
        for (const Probed* probed : {&first, &second}) {
            EXPECT_EQ(probed->statuses, std::vector<std::string>{"Avaliable"});
            EXPECT_EQ(probed->size, file->size());
            EXPECT_TRUE(probed->head.mp3);
            EXPECT_EQ(probed->head.artist, "Test Band");
            EXPECT_GT(probed->head.seconds, 9.0);
        }
        EXPECT_EQ(first.head.fingerprint, second.head.fingerprint);
        ASSERT_EQ(server.RequestCount(), 2u);
        EXPECT_EQ(server.Requests()[1].connection, 1);
    }
}

// What is plainly not an MP3 says so and does not count as available; an
// error answer shows its status and no size.
TEST(ProbeHead, PagesPicturesArchivesAndErrorsAreNoFiles)
{
    ClearProxyEnvironment();
    struct Case {
        const char* name;
        std::string reply;
        std::vector<std::string> statuses;
        bool sized;
    };
    const auto ok = [](const std::string& body) { return HttpResponse(200, body); };
    const std::vector<Case> cases{
        {"HTML", ok("\n<!DOCTYPE html><html><body>Not found</body></html>"), {"Not an MP3"}, true},
        {"JSON", ok("\xEF\xBB\xBF {\"error\": 1}"), {"Not an MP3"}, true},
        {"PNG", ok("\x89PNG\r\n\x1a\n" + std::string(100, 'i')), {"Not an MP3"}, true},
        {"zip holding an MP3", ok("PK\x03\x04" + std::string(26, '\0') + Mp3("mpeg25.mp3")), {"Not an MP3"}, true},
        {"MP4", ok(std::string("\0\0\0\x20" "ftypM4A ", 12) + std::string(100, 'm')), {"Not an MP3"}, true},
        {"503", HttpResponse(503, "Service Unavailable"), {"The server answered 503"}, false},
        {"404 of nginx", HttpResponse(404, "<html>404</html>"), {"The server answered 404"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedHttpServer server([&](const HttpExchange&) { return ScriptedReply{c.reply}; });
        ProbeReceiver receiver;
        DownloadItem item;
        item.strUrl = server.Url("/x.mp3");
        ProbeThreadProc(item, {});
        std::vector<std::string> statuses;
        bool sized = false;
        bool available = false;
        for (const auto& r : receiver.Records()) {
            sized = sized || r.message == WM_FILE_SIZE_PROBED;
            available = available || (r.message == WM_FILE_STATUS && r.value != 0);
            if (r.message == WM_FILE_STATUS && r.text.rfind("Resolv", 0) != 0 && r.text.rfind("Connect", 0) != 0)
                statuses.push_back(r.text);
        }
        EXPECT_EQ(statuses, c.statuses);
        EXPECT_EQ(sized, c.sized);
        EXPECT_FALSE(available);
    }
}

}  // namespace
