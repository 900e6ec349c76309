// Downloads from a real nginx over TLS and IPv6, and the answers a download
// must refuse: an unverified certificate and a compressed body.
#include "download/HttpDownload.h"
#include "download/HttpDownloadInfo.h"
#include "download/ResumeState.h"

#include "DownloadTestData.h"
#include "NginxServer.h"
#include "ProbeReceiver.h"
#include "ScriptedHttpServer.h"
#include "ScriptedResponder.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <curl/curl.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace testing_support;

namespace {

const std::string kSong = "Big Song.mp3";
const std::string kCertificatePrefix = "The server's certificate could not be verified, so no connection was made: ";

class RealServerDownloadTest : public ::testing::Test {
protected:
    void SetUp() override { ClearProxyEnvironment(); }
    void TearDown() override { ::unsetenv("SSL_CERT_FILE"); }

    // Downloads `url` into the music folder; the last message and the failure
    // text, if any.
    std::vector<std::string> Download(const std::string& url)
    {
        auto control = std::make_shared<DownloadControl>();
        DownloadItem item;
        item.strUrl = url;
        item.strFileName = DownloadFileName(url);
        ProbeReceiver receiver;
        DownloadThreadProc(item, m_music.Str() + "/", control);
        std::vector<std::string> seen;
        for (const auto& r : receiver.Records()) {
            if (r.message == WM_DOWNLOAD_DONE)
                seen.push_back("done");
            else if (r.message == WM_DOWNLOAD_FAILED)
                seen.push_back("failed " + r.text);
        }
        return seen;
    }

    bool MusicFolderEmpty() const { return std::filesystem::is_empty(m_music.Path()); }

    TempDir m_music;
    ScriptedResponder m_boxes;
};

TEST_F(RealServerDownloadTest, DownloadsOverTlsAndIpv6AreByteIdentical)
{
    if (!NginxServer::Available())
        GTEST_SKIP() << "nginx is not installed";
    TempDir root;
    const std::string body = PatternBody(3 * 1024 * 1024 + 17);
    root.Write(kSong, body);
    NginxServer server(root.Str(), NginxServer::Options{true});
    ASSERT_TRUE(server.Running()) << server.Error();

    ::setenv("SSL_CERT_FILE", server.CaFile().c_str(), 1);
    EXPECT_EQ(Download(server.HttpsUrl("/Big%20Song.mp3")), std::vector<std::string>{"done"});
    EXPECT_EQ(ReadWhole(m_music.Path() / kSong), body);
    std::filesystem::remove(m_music.Path() / kSong);

    EXPECT_EQ(Download(server.Ipv6Url("/Big%20Song.mp3")), std::vector<std::string>{"done"});
    EXPECT_EQ(ReadWhole(m_music.Path() / kSong), body);
    std::filesystem::remove(m_music.Path() / kSong);

    // Without the CA nothing is fetched and nothing is left.
    ::unsetenv("SSL_CERT_FILE");
    const std::vector<std::string> seen = Download(server.HttpsUrl("/Big%20Song.mp3"));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].rfind("failed " + kCertificatePrefix, 0), 0u) << seen[0];
    EXPECT_TRUE(MusicFolderEmpty());

    // A probe of the same file says why in the file's row.
    DownloadItem item;
    item.strUrl = server.HttpsUrl("/Big%20Song.mp3");
    ProbeReceiver receiver;
    ProbeThreadProc(item, {});
    bool named = false;
    for (const auto& r : receiver.Records())
        named = named || (r.message == WM_FILE_STATUS && r.text.rfind(kCertificatePrefix, 0) == 0);
    EXPECT_TRUE(named);
}

// Browsers refuse a download that a secure address sends to a plain one:
// nothing of it travels unprotected. A result page may still go there.
TEST_F(RealServerDownloadTest, AnHttpsAddressRedirectedToHttpIsNeitherDownloadedNorProbed)
{
    if (!NginxServer::Available())
        GTEST_SKIP() << "nginx is not installed";
    TempDir root;
    const std::string body = PatternBody(40000);
    root.Write("song.mp3", body);
    NginxServer server(root.Str());
    ASSERT_TRUE(server.Running()) << server.Error();
    ::setenv("SSL_CERT_FILE", server.CaFile().c_str(), 1);
    ScriptedHttpServer plain([&](const HttpExchange&) { return ScriptedReply{HttpResponse(200, body)}; });
    const std::string toHttp = server.HttpsUrl("/redirect?to=" + plain.Url("/song.mp3"));
    const std::string refused = "Refused: the secure address redirects to unencrypted HTTP";

    EXPECT_EQ(Download(toHttp), std::vector<std::string>{"failed " + refused});
    EXPECT_TRUE(MusicFolderEmpty());
    DownloadItem item;
    item.strUrl = toHttp;
    ProbeReceiver receiver;
    ProbeThreadProc(item, {});
    bool named = false;
    for (const auto& r : receiver.Records())
        named = named || (r.message == WM_FILE_STATUS && r.text == refused);
    EXPECT_TRUE(named) << "the found file's row says why";
    EXPECT_EQ(plain.RequestCount(), 0u) << "nothing was asked over plain HTTP";

    // From https to https is followed; so is a page's request to http.
    const std::string toHttps = server.HttpsUrl("/redirect?to=" + server.HttpsUrl("/song.mp3"));
    EXPECT_EQ(Download(toHttps), std::vector<std::string>{"done"});
    EXPECT_TRUE(ReadWhole(m_music.Path() / DownloadFileName(toHttps)) == body);
    platform::HttpRequestOptions page;
    page.useTls = true;
    page.followRedirects = true;
    platform::HttpFile file("127.0.0.1", server.TlsPort(), "/redirect?to=" + plain.Url("/song.mp3"), page);
    ASSERT_TRUE(file.SendRequest()) << file.ErrorText();
    EXPECT_EQ(file.StatusCode(), 200);
    EXPECT_EQ(plain.RequestCount(), 1u);
}

// A download that began over verified TLS goes on only at https: mirrors;
// an http: one is passed over, and the row's texts say so.
TEST_F(RealServerDownloadTest, AnHttpsDownloadPassesOverPlainHttpMirrors)
{
    if (!NginxServer::Available())
        GTEST_SKIP() << "nginx is not installed";
    TempDir root;
    const std::string body = PatternBody(40000);
    root.Write("song.mp3", body);
    NginxServer server(root.Str());
    ASSERT_TRUE(server.Running()) << server.Error();
    ::setenv("SSL_CERT_FILE", server.CaFile().c_str(), 1);
    ScriptedHttpServer plain([&](const HttpExchange&) { return ScriptedReply{HttpResponse(200, body)}; });
    const std::string passed = "Passed over " + plain.Url("/song.mp3") + ":";
    for (const bool secureMirror : {true, false}) {
        SCOPED_TRACE(secureMirror ? "an https mirror follows" : "nothing follows");
        DownloadItem item;
        item.strUrl = server.HttpsUrl("/gone.mp3");
        item.strFileName = "song.mp3";
        item.strOtherSources = {plain.Url("/song.mp3")};
        if (secureMirror)
            item.strOtherSources.push_back(server.HttpsUrl("/song.mp3"));
        ProbeReceiver receiver;
        DownloadThreadProc(item, m_music.Str() + "/", std::make_shared<DownloadControl>());
        bool said = false;
        std::string end;
        for (const auto& r : receiver.Records()) {
            said = said || (r.message == WM_FILE_STATUS && r.text.rfind(passed, 0) == 0);
            if (r.message == WM_DOWNLOAD_DONE)
                end = "done";
            else if (r.message == WM_DOWNLOAD_FAILED)
                end = r.text;
        }
        EXPECT_TRUE(said);
        if (secureMirror) {
            EXPECT_EQ(end, "done");
            EXPECT_TRUE(ReadWhole(m_music.Path() / "song.mp3") == body);
        } else {
            EXPECT_NE(end.find(passed), std::string::npos) << end;
            EXPECT_TRUE(MusicFolderEmpty());
        }
        std::filesystem::remove(m_music.Path() / "song.mp3");
    }
    EXPECT_EQ(plain.RequestCount(), 0u) << "nothing was asked over plain HTTP";
}

TEST_F(RealServerDownloadTest, ACompressedAnswerIsRefusedAndNothingIsSaved)
{
    ScriptedHttpServer server([](const HttpExchange&) {
        ScriptedReply reply;
        reply.bytes = HttpResponse(200, std::string("\x1F\x8B\x08\x00\x00\x00\x00\x00", 8) + "compressed",
                                   "Content-Encoding: gzip\r\n");
        return reply;
    });
    EXPECT_EQ(Download(server.Url("/song.mp3")),
              std::vector<std::string>{"failed The server sent the file compressed (gzip); it was not saved."});
    EXPECT_TRUE(MusicFolderEmpty());
    ASSERT_EQ(server.RequestCount(), 1u);
    EXPECT_EQ(server.Requests()[0].Header("Accept-Encoding"), "identity");
}

// The validators a HEAD request gets for `url`, as a run that was cut off
// would have kept them.
ResumeState ValidatorsOf(const std::string& url)
{
    ResumeState state;
    state.strUrl = url;
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 10L);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, +[](char* data, size_t, size_t n, void* user) -> size_t {
        const std::string line(data, n);
        auto* s = static_cast<ResumeState*>(user);
        const auto value = [&line](std::size_t name) { return line.substr(name, line.find_last_not_of("\r\n") + 1 - name); };
        if (line.rfind("ETag: ", 0) == 0)
            s->strETag = value(6);
        else if (line.rfind("Last-Modified: ", 0) == 0)
            s->strLastModified = value(15);
        return n;
    });
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &state);
    EXPECT_EQ(curl_easy_perform(curl), CURLE_OK);
    curl_easy_cleanup(curl);
    return state;
}

// A part file that an earlier run left is finished with a range request:
// nginx answers 206 with exactly the missing bytes, and the song is whole.
TEST_F(RealServerDownloadTest, APartFileIsFinishedWithTheMissingBytesOnly)
{
    if (!NginxServer::Available())
        GTEST_SKIP() << "nginx is not installed";
    TempDir root;
    const std::string body = PatternBody(2 * 1024 * 1024 + 5);
    root.Write(kSong, body);
    NginxServer server(root.Str());
    ASSERT_TRUE(server.Running()) << server.Error();
    const std::string url = server.HttpUrl("/Big%20Song.mp3");

    ResumeState state = ValidatorsOf(url);
    ASSERT_FALSE(state.strETag.empty());
    state.nLength = body.size();
    const std::string local = (m_music.Path() / kSong).string();
    const std::string part = PartFilePath(local);
    const std::size_t kept = 1024 * 1024 + 3;
    std::ofstream(part, std::ios::binary) << body.substr(0, kept);
    ASSERT_TRUE(SaveResumeState(ResumeStatePath(part), state));

    EXPECT_EQ(Download(url), std::vector<std::string>{"done"});
    EXPECT_EQ(ReadWhole(local), body);
    EXPECT_FALSE(std::filesystem::exists(part));
    EXPECT_FALSE(std::filesystem::exists(ResumeStatePath(part)));
    const std::string log = server.AccessLog();
    EXPECT_NE(log.find("\" 206 " + std::to_string(body.size() - kept) + " "), std::string::npos) << log;
    EXPECT_EQ(log.find("\" 200 " + std::to_string(body.size()) + " "), std::string::npos) << log;

    // The file changed on the server since the part was fetched: If-Range
    // makes nginx send the whole new file, and the part starts over.
    std::filesystem::remove(local);
    std::ofstream(part, std::ios::binary) << body.substr(0, kept);
    ASSERT_TRUE(SaveResumeState(ResumeStatePath(part), state));
    const std::string changed = PatternBody(body.size() + 1000);
    root.Write(kSong, changed);
    const auto file = root.Path() / kSong;
    std::filesystem::last_write_time(file, std::filesystem::last_write_time(file) + std::chrono::hours(1));
    EXPECT_EQ(Download(url), std::vector<std::string>{"done"});
    EXPECT_EQ(ReadWhole(local), changed);
    EXPECT_NE(server.AccessLog().find("\" 200 " + std::to_string(changed.size()) + " "), std::string::npos);
}

}  // namespace
