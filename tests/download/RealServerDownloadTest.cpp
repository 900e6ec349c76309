// Downloads from a real nginx over TLS and IPv6, and the answers a download
// must refuse: an unverified certificate and a compressed body.
#include "download/HttpDownload.h"
#include "download/HttpDownloadInfo.h"

#include "DownloadTestData.h"
#include "NginxServer.h"
#include "ProbeReceiver.h"
#include "ScriptedHttpServer.h"
#include "ScriptedResponder.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

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

}  // namespace
