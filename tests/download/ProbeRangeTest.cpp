// A probe asks for the file's first bytes only and keeps its connection for the
// next probe, yet records what a plain GET of the file would have recorded:
// the same texts in the same order, the same size or none.
#include "download/HttpDownloadInfo.h"

#include "NginxServer.h"
#include "ProbeReceiver.h"
#include "ScriptedHttpServer.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace testing_support;

namespace {

// Probes `url` over `connections` on this thread and gives the status texts
// and sizes in the order the main frame saw them, "size N" for a size.
std::vector<std::string> Probe(const std::string& url, platform::HttpConnections* connections)
{
    DownloadItem item;
    item.nItem = 4;
    item.strUrl = url;
    item.strFileName = "song.mp3";
    ProbeReceiver receiver;
    ProbeThreadProc(item, {}, connections);
    std::vector<std::string> seen;
    for (const auto& r : receiver.Records()) {
        if (r.message == WM_FILE_STATUS)
            seen.push_back(r.text);
        else if (r.message == WM_FILE_SIZE_PROBED)
            seen.push_back("size " + (r.sizeKnown ? std::to_string(r.value) : "-"));
        else
            seen.push_back("message " + std::to_string(r.message) + " " + std::to_string(r.failed));
    }
    return seen;
}

std::vector<std::string> Connected(const std::string& address, std::vector<std::string> tail)
{
    std::vector<std::string> all{"Resolving name: " + address, "Resolved name to " + address,
                                 "Connecting to " + address, "Connected to " + address};
    all.insert(all.end(), tail.begin(), tail.end());
    return all;
}

// Answers as a server with or without byte ranges would, on kept-alive
// connections.
ScriptedReply KeptAlive(std::string bytes)
{
    ScriptedReply reply{std::move(bytes)};
    reply.keepAlive = true;
    return reply;
}

std::string Answer(int status, const std::string& reason, const std::string& headers, const std::string& body)
{
    return "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n" + headers +
           "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

TEST(ProbeRange, RecordsWhatAPlainGetWouldWhateverTheServerDoesWithTheRange)
{
    ClearProxyEnvironment();
    struct Case {
        const char* name;
        // The answer to a request with the range, and to one without.
        std::string ranged;
        std::string plain;
        std::vector<std::string> expected;  // after the connection steps
        std::size_t requests;
    };
    const std::string file(123, 'f');
    const std::vector<Case> cases{
        {"206 states the whole length", Answer(206, "Partial Content", "Content-Range: bytes 0-0/123\r\n", "f"), "",
         {"size 123", "Avaliable"}, 1},
        {"the range is ignored", Answer(200, "OK", "", file), "", {"size 123", "Avaliable"}, 1},
        {"a longer range than asked", Answer(206, "Partial Content", "Content-Range: bytes 0-9/5000000000\r\n", "0123456789"),
         "", {"size 5000000000", "Avaliable"}, 1},
        {"an empty file cannot give its first byte",
         Answer(416, "Range Not Satisfiable", "Content-Range: bytes */0\r\n", "<html>416</html>"),
         Answer(200, "OK", "", ""), {"size 0", "Avaliable"}, 2},
        {"a 206 of unknown length",
         Answer(206, "Partial Content", "Content-Range: bytes 0-0/*\r\n", "f"),
         Answer(200, "OK", "", file), {"size 123", "Avaliable"}, 2},
        {"a 206 without Content-Range, plain GET without length",
         Answer(206, "Partial Content", "", "f"),
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n", {"size -", "Size unknown"}, 2},
        {"404 with a length", Answer(404, "Not Found", "", "not here"), "", {"The server answered 404"}, 1},
        {"no length at all", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n", "",
         {"size -", "Size unknown"}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedHttpServer server([&](const HttpExchange& e) {
            return KeptAlive(e.Header("Range").empty() ? c.plain : c.ranged);
        });
        platform::HttpConnections connections;
        // Twice over the same connections: the second probe finds the
        // connection open and still tells every step.
        for (int round = 0; round < 2; ++round) {
            SCOPED_TRACE(round);
            EXPECT_EQ(Probe(server.Url("/music/song.mp3"), &connections), Connected("127.0.0.1", c.expected));
        }
        const auto requests = server.Requests();
        ASSERT_EQ(requests.size(), 2 * c.requests);
        EXPECT_EQ(requests[0].Header("Range"), "bytes=0-16383");
        if (c.requests == 2) {
            EXPECT_EQ(requests[1].HeaderCount("Range"), 0);
        }
        // Every body here is short and complete: nothing costs a connection.
        EXPECT_EQ(requests.back().connection, 0);
    }
}

TEST(ProbeRange, ARedirectIsToldOnceAndTheTargetGivesTheSize)
{
    ClearProxyEnvironment();
    ScriptedHttpServer target([](const HttpExchange&) {
        return KeptAlive(Answer(206, "Partial Content", "Content-Range: bytes 0-0/777\r\n", "x"));
    });
    ScriptedHttpServer first([&](const HttpExchange&) {
        return KeptAlive(Answer(302, "Found", "Location: " + target.Url("/real.mp3") + "\r\n", ""));
    });
    platform::HttpConnections connections;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        // Each hop on a connection of its own, as on connections just made.
        EXPECT_EQ(Probe(first.Url("/moved.mp3"), &connections),
                  Connected("127.0.0.1", {"Redirecting to " + target.Url("/real.mp3"), "Resolving name: 127.0.0.1",
                                          "Resolved name to 127.0.0.1", "Connecting to 127.0.0.1",
                                          "Connected to 127.0.0.1", "size 777", "Avaliable"}));
    }
    EXPECT_EQ(target.Requests().back().connection, 0);
    EXPECT_EQ(first.Requests().back().connection, 0);
}

TEST(ProbeRange, AServerThatSendsTheWholeFileCostsItsConnection)
{
    ClearProxyEnvironment();
    const std::string file(4 << 20, 'f');
    ScriptedHttpServer server([&](const HttpExchange&) { return KeptAlive(Answer(200, "OK", "", file)); });
    platform::HttpConnections connections;
    EXPECT_EQ(Probe(server.Url("/big.mp3"), &connections), Connected("127.0.0.1", {"size 4194304", "Avaliable"}));
    EXPECT_EQ(Probe(server.Url("/big.mp3"), &connections), Connected("127.0.0.1", {"size 4194304", "Avaliable"}));
    ASSERT_EQ(server.RequestCount(), 2u);
    EXPECT_EQ(server.Requests()[1].connection, 1);
}

// Against a real nginx, plain and over TLS: each probe records what a plain
// GET of the same URL says about the file.
TEST(ProbeRange, NginxFilesGiveTheSizesOfAPlainGet)
{
    if (!NginxServer::Available())
        GTEST_SKIP() << "nginx is not installed";
    ClearProxyEnvironment();
    TempDir root;
    root.Write("song.mp3", std::string(4321, 's'));
    root.Write("empty.mp3", "");
    std::filesystem::create_directories(root.Path() / "folder.mp3");
    NginxServer server(root.Str());
    ASSERT_TRUE(server.Running()) << server.Error();
    ::setenv("SSL_CERT_FILE", server.CaFile().c_str(), 1);

    platform::HttpConnections connections;
    for (const bool tls : {false, true}) {
        SCOPED_TRACE(tls);
        const auto url = [&](const std::string& path) { return tls ? server.HttpsUrl(path) : server.HttpUrl(path); };
        EXPECT_EQ(Probe(url("/song.mp3"), &connections), Connected("127.0.0.1", {"size 4321", "Avaliable"}));
        EXPECT_EQ(Probe(url("/empty.mp3"), &connections), Connected("127.0.0.1", {"size 0", "Avaliable"}));
        // nginx's own 404 page has a length, which is no file's size.
        EXPECT_EQ(Probe(url("/missing.mp3"), &connections), Connected("127.0.0.1", {"The server answered 404"}));
        // A folder: redirected to its listing, which has no length and is
        // a page.
        EXPECT_EQ(Probe(url("/folder.mp3"), &connections),
                  Connected("127.0.0.1", {"Redirecting to " + url("/folder.mp3/"), "Connected to 127.0.0.1", "size -",
                                          "Not an MP3"}));
    }
    ::unsetenv("SSL_CERT_FILE");
    // Range requests only, and the full file never sent.
    const std::string log = server.AccessLog();
    EXPECT_EQ(log.find("\"GET /song.mp3 HTTP/1.1\" 200"), std::string::npos) << log;
    EXPECT_NE(log.find("\"GET /song.mp3 HTTP/1.1\" 206 4321 "), std::string::npos) << log;
}

}  // namespace
