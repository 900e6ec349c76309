// One download at a time on the test's thread, against scripted servers on
// 127.0.0.1, with the main frame replaced by a recording receiver.
#include "DownloadFixture.h"

#include <gtest/gtest.h>

#include <sys/mount.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

using namespace download_testing;

namespace {

const char* const kGetting = "Getting file information";
const char* const kRetrieving = "Retrieving the file";
const char* const kBadResponse = "failed Failed to receive a valid response from the server";

TEST_F(DownloadTest, EachKindOfAnswerEndsAsItShould)
{
    const std::string body = PatternBody(5000);
    struct Case {
        const char* name;
        ScriptedReply reply;
        std::vector<std::string> expected;
        bool fileKept;
        std::size_t partKept = 0;  // bytes a failed transfer keeps for a resume
    } cases[] = {
        {"complete", {HttpResponse(200, body)}, {kGetting, "size 5000", kRetrieving, "checked", "done", "finished 0"}, true},
        {"no length", {HttpResponse(200, body, {}, false)}, {kGetting, kRetrieving, "checked", "done", "finished 0"}, true},
        {"404", {HttpResponse(404, "gone")}, {"failed The server answered 404", "finished 1"}, false},
        {"garbage status line", {"GARBAGE\r\n\r\nxyz"}, {kBadResponse, "finished 1"}, false},
        {"nothing at all", {{}, 0, 0, 0, false, false, true}, {kBadResponse, "finished 1"}, false},
        {"body cut short",
         {"HTTP/1.1 200 OK\r\nContent-Length: 5000\r\nConnection: close\r\n\r\n" + body.substr(0, 3000)},
         {kGetting, "size 5000", kRetrieving, "failed An error occurred while downloading the file, Error:18",
          "finished 1"},
         false, 3000},
        {"5 GB announced, cut",
         {"HTTP/1.1 200 OK\r\nContent-Length: 5000000000\r\nConnection: close\r\n\r\n" + body},
         {kGetting, "size 5000000000", kRetrieving, "failed An error occurred while downloading the file, Error:18",
          "finished 1"},
         false, 5000},
        // A length no file has counts as none: the body to the close is the file.
        {"2^64-1 announced",
         {"HTTP/1.1 200 OK\r\nContent-Length: 18446744073709551615\r\nConnection: close\r\n\r\n" + body},
         {kGetting, kRetrieving, "checked", "done", "finished 0"},
         true},
        {"401 and no login", {HttpResponse(401, "who are you")}, {"failed The server answered 401", "finished 1"}, false},
        {"reset mid-body",
         {"HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n" + body.substr(0, 2000), 0, 0, 0, false, false, false, true},
         {kGetting, "size 5000", kRetrieving, "failed An error occurred while downloading the file, Error:56",
          "finished 1"},
         false, 2000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedHttpServer server([&](const HttpExchange&) { return c.reply; });
        EXPECT_EQ(Download(server.Url("/music/song.mp3")), c.expected);
        const auto file = ReadWhole(m_dir.File("song.mp3"));
        EXPECT_EQ(file.has_value(), c.fileKept);
        if (c.fileKept) {
            EXPECT_TRUE(*file == body) << "the file is byte for byte what the server sent";
        }
        const auto part = ReadWhole(m_dir.File(".song.mp3.part"));
        EXPECT_EQ(part.has_value(), c.partKept > 0) << "a part file only where bytes came";
        if (part) {
            EXPECT_TRUE(*part == body.substr(0, c.partKept));
        }
        fs::remove(m_dir.File("song.mp3"));
        fs::remove(m_dir.File(".song.mp3.part"));
        fs::remove(m_dir.File(".song.mp3.part.info"));
    }
    EXPECT_TRUE(m_boxes.Texts().empty()) << "failures show in the row, not in boxes";
}

TEST_F(DownloadTest, ConnectionStepsRedirectsAndAUrlWithoutScheme)
{
    const std::string body = PatternBody(3000);
    ScriptedHttpServer server([&](const HttpExchange& request) {
        if (request.target == "/old/tune.mp3")
            return ScriptedReply{HttpResponse(302, "", "Location: /new/tune.mp3\r\n")};
        return ScriptedReply{HttpResponse(200, body)};
    });
    const std::string url = server.HostPort() + "/old/tune.mp3";  // no "http://"
    EXPECT_EQ(Download(url, nullptr, true),
              (std::vector<std::string>{"Resolving name: 127.0.0.1", "Resolved name to 127.0.0.1",
                                        "Connecting to 127.0.0.1", "Connected to 127.0.0.1",
                                        "Redirecting to " + server.Url("/new/tune.mp3"), "Resolved name to 127.0.0.1",
                                        "Connecting to 127.0.0.1", "Connected to 127.0.0.1", kGetting, "size 3000",
                                        kRetrieving, "progress 1024", "progress 2048", "progress 3000", "checked",
                                        "done", "finished 0"}));
    EXPECT_EQ(ReadWhole(m_dir.File("tune.mp3")), body);
}

TEST_F(DownloadTest, AnExistingSongIsReplacedOnlyByACompleteNewOneAfterYes)
{
    const std::string path = m_dir.File("song.mp3");
    const std::string fresh = PatternBody(300 * 1024);
    std::atomic<long long> sizeWhenAsked{-1};
    std::atomic<int> mode{0};
    ScriptedHttpServer server([&](const HttpExchange&) {
        sizeWhenAsked = static_cast<long long>(fs::file_size(path));
        switch (mode.load()) {
        case 1: return ScriptedReply{HttpResponse(404, "gone")};
        case 2:
            return ScriptedReply{"HTTP/1.1 200 OK\r\nContent-Length: 307200\r\n\r\n" + fresh.substr(0, 5000), 0, 0, 0,
                                 false, false, false, true};
        case 3: {
            ScriptedReply slow{HttpResponse(200, fresh)};
            slow.chunkSize = 8 * 1024;
            slow.chunkDelayMs = 5;
            return slow;
        }
        default: return ScriptedReply{HttpResponse(200, fresh)};
        }
    });
    m_dir.Write("song.mp3", "old content");

    m_boxes.QueueAnswer(platform::IDNO);
    EXPECT_EQ(Download(server.Url("/song.mp3")), (std::vector<std::string>{"declined"}));
    EXPECT_EQ(server.RequestCount(), 0u) << "no connection after No";
    EXPECT_EQ(ReadWhole(path), "old content");
    ASSERT_EQ(m_boxes.Texts().size(), 1u);
    EXPECT_EQ(m_boxes.Texts()[0], "The file '" + path + "' already exists.\nDo you want to replace it?");

    // Yes, and then the server fails, the connection breaks or the user
    // clears the row: the old song is still there, whole.
    for (int failing : {1, 2, 3}) {
        SCOPED_TRACE(failing);
        mode = failing;
        m_boxes.QueueAnswer(platform::IDYES);
        auto control = std::make_shared<DownloadControl>();
        if (failing == 3) {
            control->PauseAt(50000);
            control->SetOnPaused([&](std::uint64_t) { control->Abort(); });
        }
        EXPECT_NE(Download(server.Url("/song.mp3"), control).back(), "done");
        EXPECT_EQ(ReadWhole(path), "old content");
        EXPECT_FALSE(fs::exists(m_dir.File("song.mp3.part")));
        fs::remove(m_dir.File(".song.mp3.part"));
        fs::remove(m_dir.File(".song.mp3.part.info"));
    }

    mode = 0;
    m_boxes.QueueAnswer(platform::IDYES);
    EXPECT_EQ(Download(server.Url("/song.mp3")).back(), "finished 0");
    EXPECT_EQ(sizeWhenAsked, 11) << "the old file is untouched while the new one comes";
    EXPECT_TRUE(ReadWhole(path) == fresh);
    EXPECT_EQ(Files(), std::vector<std::string>{"song.mp3"}) << "no part file is left";
}

TEST_F(DownloadTest, ASongThatAppearsMeanwhileIsNeverOverwrittenWithoutAsking)
{
    const std::string body = PatternBody(8000);
    ScriptedHttpServer server([&](const HttpExchange&) {
        // The user saves a file of that name while the download runs.
        m_dir.Write("late.mp3", "user's own");
        return ScriptedReply{HttpResponse(200, body)};
    });
    m_boxes.QueueAnswer(platform::IDNO);
    EXPECT_EQ(Download(server.Url("/late.mp3")).back(), "finished 0");
    EXPECT_EQ(ReadWhole(m_dir.File("late.mp3")), "user's own");
    EXPECT_EQ(Files(), std::vector<std::string>{"late.mp3"});
    ASSERT_EQ(m_boxes.Texts().size(), 1u) << "the question comes at the rename";

    m_boxes.QueueAnswer(platform::IDYES);
    fs::remove(m_dir.File("late.mp3"));
    EXPECT_EQ(Download(server.Url("/late.mp3")).back(), "finished 0");
    EXPECT_TRUE(ReadWhole(m_dir.File("late.mp3")) == body);
}

TEST_F(DownloadTest, ALoginIsAskedForAndSentAFewTimesAtMost)
{
    ScriptedLogin logins;
    ScriptedHttpServer server([&](const HttpExchange& request) {
        // "user:secret"
        if (request.Header("Authorization") == "Basic dXNlcjpzZWNyZXQ=")
            return ScriptedReply{HttpResponse(200, PatternBody(2000))};
        return ScriptedReply{HttpResponse(401, "log in first", "WWW-Authenticate: Basic realm=\"music\"\r\n")};
    });
    logins.login = platform::Credentials{"user", "secret"};
    EXPECT_EQ(Download(server.Url("/private.mp3")).back(), "finished 0");
    EXPECT_EQ(server.RequestCount(), 2u);
    EXPECT_TRUE(ReadWhole(m_dir.File("private.mp3")) == PatternBody(2000));

    fs::remove(m_dir.File("private.mp3"));
    logins.asked = 0;
    logins.login = platform::Credentials{"user", "wrong"};
    EXPECT_EQ(Download(server.Url("/private.mp3")),
              (std::vector<std::string>{"failed The server answered 401", "finished 1"}));
    EXPECT_EQ(logins.asked, CHttpDownload::kMaxLoginAttempts);
    EXPECT_EQ(server.RequestCount(), 2u + CHttpDownload::kMaxLoginAttempts + 1);
    EXPECT_FALSE(fs::exists(m_dir.File("private.mp3")));
}

// A login goes to whoever asked for it: the server a redirect led to, or the
// proxy; the address first asked never sees the password.
TEST_F(DownloadTest, ALoginGoesToTheServerThatAskedForIt)
{
    const std::string secret = "Basic dXNlcjpzZWNyZXQ=";  // "user:secret"
    ScriptedLogin logins;
    logins.login = platform::Credentials{"user", "secret"};
    const std::string bigRefusal(200 * 1024, 'x');
    // Songs, so that the content check passes them.
    const std::string privateTune = PatternBody(3000);
    const std::string viaProxy = PatternBody(4000);
    struct Case {
        const char* name;
        bool endlessRefusal;  // the 401 body never ends
    };
    for (const Case& c : {Case{"plain 401", false}, Case{"401 that keeps sending", true}}) {
        SCOPED_TRACE(c.name);
        ScriptedHttpServer second([&](const HttpExchange& request) {
            if (request.Header("Authorization") == secret)
                return ScriptedReply{HttpResponse(200, privateTune)};
            if (!c.endlessRefusal)
                return ScriptedReply{HttpResponse(401, "log in first", "WWW-Authenticate: Basic realm=\"m\"\r\n")};
            ScriptedReply reply{"HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"m\"\r\n"
                                "Content-Length: 104857600\r\n\r\n" + bigRefusal};
            reply.holdOpen = true;
            return reply;
        });
        const std::string secondUrl = "http://localhost:" + std::to_string(second.Port()) + "/private.mp3";
        ScriptedHttpServer first([&](const HttpExchange&) {
            return ScriptedReply{HttpResponse(302, "", "Location: " + secondUrl + "\r\n")};
        });
        logins.askedBy.clear();
        fs::remove(m_dir.File("private.mp3"));
        EXPECT_EQ(Download(first.Url("/private.mp3")).back(), "finished 0");
        EXPECT_EQ(ReadWhole(m_dir.File("private.mp3")), privateTune);
        EXPECT_EQ(logins.askedBy, (std::vector<std::string>{"server localhost:" + std::to_string(second.Port())}));
        for (const HttpExchange& request : first.Requests())
            EXPECT_EQ(request.Header("Authorization"), "") << request.rawRequest;
        ASSERT_EQ(second.RequestCount(), 2u);
        EXPECT_EQ(second.Requests()[1].Header("Authorization"), secret);
    }

    // A proxy that asks is named as the proxy, and its login goes to it.
    ScriptedHttpServer proxy([&](const HttpExchange& request) {
        if (request.Header("Proxy-Authorization") == secret)
            return ScriptedReply{HttpResponse(200, viaProxy)};
        return ScriptedReply{HttpResponse(407, "proxy login", "Proxy-Authenticate: Basic realm=\"p\"\r\n")};
    });
    ::setenv("http_proxy", ("http://" + proxy.HostPort()).c_str(), 1);
    ::unsetenv("no_proxy");
    logins.askedBy.clear();
    fs::remove(m_dir.File("private.mp3"));
    EXPECT_EQ(Download("http://127.0.0.1:9/private.mp3").back(), "finished 0");
    ClearProxyEnvironment();
    EXPECT_EQ(logins.askedBy, (std::vector<std::string>{"proxy " + proxy.HostPort()}));
    EXPECT_EQ(ReadWhole(m_dir.File("private.mp3")), viaProxy);
}

TEST_F(DownloadTest, APausedTransferHoldsItsConnectionSendsNothingAndResumesWhereItStopped)
{
    const std::string body = PatternBody(300 * 1024);
    ScriptedHttpServer server([&](const HttpExchange&) {
        ScriptedReply reply{HttpResponse(200, body)};
        reply.chunkSize = 16 * 1024;
        reply.chunkDelayMs = 2;
        return reply;
    });
    auto control = std::make_shared<DownloadControl>();
    control->PauseAt(100000);
    std::atomic<std::uint64_t> pausedAt{0};
    std::thread resumer;
    control->SetOnPaused([&](std::uint64_t bytes) {
        pausedAt = bytes;
        resumer = std::thread([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            control->Release();
        });
    });
    const auto seen = Download(server.Url("/long.mp3"), control);
    resumer.join();
    EXPECT_EQ(seen.back(), "finished 0");
    EXPECT_GE(pausedAt, 100000u);
    EXPECT_LT(pausedAt, 100000u + CHttpDownload::kBlockSize) << "the first pause point at or after the mark";
    EXPECT_EQ(server.RequestCount(), 1u) << "resumed on the same connection";
    EXPECT_TRUE(ReadWhole(m_dir.File("long.mp3")) == body);
}

TEST_F(DownloadTest, ClearingAPausedTransferEndsItAndRemovesThePartFile)
{
    const std::string body = PatternBody(400 * 1024);
    ScriptedHttpServer server([&](const HttpExchange&) {
        ScriptedReply reply{HttpResponse(200, body)};
        reply.chunkSize = 8 * 1024;
        reply.chunkDelayMs = 5;
        return reply;
    });
    auto control = std::make_shared<DownloadControl>();
    control->PauseAt(50000);
    bool fileWhilePaused = false;
    control->SetOnPaused([&](std::uint64_t) {
        fileWhilePaused = fs::exists(m_dir.File(".cut.mp3.part")) && !fs::exists(m_dir.File("cut.mp3"));
        control->Abort();
    });
    const auto seen = Download(server.Url("/cut.mp3"), control);
    EXPECT_TRUE(fileWhilePaused) << "the bytes go to the part file, never under the song's name";
    EXPECT_TRUE(Files().empty()) << "neither the part file nor its record stays";
    EXPECT_EQ(std::count(seen.begin(), seen.end(), "done"), 0);
    EXPECT_EQ(seen.back(), kRetrieving) << "nothing is reported after the clear";
    EXPECT_TRUE(server.WaitForClientGone(std::chrono::seconds(5))) << "the connection is closed";
}

TEST_F(DownloadTest, NamesAndAddressesThatCannotBeSavedAreRefusedBeforeAnyWrite)
{
    ScriptedHttpServer server([&](const HttpExchange&) { return ScriptedReply{HttpResponse(200, "x")}; });
    const struct {
        std::string url;
        std::string failure;
    } cases[] = {
        {server.Url("/folder/"), "The name '' can not be used for a file in the music folder."},
        // Dots, blanks and nothing else are cleaned away to nothing.
        {server.Url("/a/.."), "The name '' can not be used for a file in the music folder."},
        {server.Url("/a/%2E%20"), "The name '' can not be used for a file in the music folder."},
        {"http://", "The address 'http://' can not be downloaded."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(Download(c.url), (std::vector<std::string>{"failed " + c.failure, "finished 1"}));
    }
    EXPECT_EQ(server.RequestCount(), 0u);
    EXPECT_TRUE(Files().empty());
}

TEST_F(DownloadTest, FileSystemFailuresNameTheSystemsError)
{
    ScriptedHttpServer server([&](const HttpExchange&) { return ScriptedReply{HttpResponse(200, PatternBody(1 << 20))}; });
    // A music folder that is not there: the file cannot be opened.
    DownloadItem item;
    item.strUrl = server.Url("/song.mp3");
    item.strFileName = "song.mp3";
    {
        ProbeReceiver receiver;
        DownloadThreadProc(item, m_dir.File("missing") + "/", std::make_shared<DownloadControl>());
    }
    ASSERT_EQ(m_boxes.Texts().size(), 1u);
    EXPECT_EQ(m_boxes.Texts()[0], "An error occured while opening the file to be downloaded, Error:2");

    // A full disk in the middle of the body.
    const fs::path full = m_dir.Path() / "full";
    fs::create_directory(full);
    if (::mount("tmpfs", full.c_str(), "tmpfs", 0, "size=128k") != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here";
    ProbeReceiver receiver;
    DownloadThreadProc(item, full.string() + "/", std::make_shared<DownloadControl>());
    bool failed = false;
    for (const auto& r : receiver.Records())
        failed |= r.message == WM_DOWNLOAD_FAILED && r.text == "An error occurred while downloading the file, Error:28";
    EXPECT_TRUE(failed);
    EXPECT_FALSE(fs::exists(full / "song.mp3")) << "nothing under the song's name";
    ::umount(full.c_str());
}

}  // namespace
