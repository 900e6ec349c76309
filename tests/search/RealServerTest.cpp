// Searches against a real nginx: its autoindex listings are the result
// pages, over plain HTTP, over TLS with a CA made for the test, and over IPv6.
#include "download/FileNameFromUrl.h"
#include "platform/Files.h"
#include "platform/Http.h"
#include "platform/Url.h"
#include "platform/WorkerThreads.h"
#include "resources/Messages.h"
#include "search/EngineConfig.h"
#include "search/HtmlDocument.h"
#include "search/NavigateToMp3.h"
#include "search/SearchQuery.h"

#include "NginxServer.h"
#include "RecordingReceiver.h"
#include "ScriptedResponder.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

using namespace testing_support;

namespace {

constexpr std::chrono::seconds kWait{20};

// The listing's files: blanks, '&', non-ASCII letters and upper case all
// have to survive the listing's escaping, the resolution and the file name.
const std::vector<std::string> kSongs = {"Song One.mp3", "ABBA - Waterloo.MP3", "a&b=c.mp3", "\xC3\x9C" "ber.mp3",
                                         "100%.mp3"};

// Points the HTTP layer at the test's CA for its lifetime.
class TrustedCa {
public:
    explicit TrustedCa(const std::string& file) { ::setenv("SSL_CERT_FILE", file.c_str(), 1); }
    ~TrustedCa() { ::unsetenv("SSL_CERT_FILE"); }
};

class RealServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!NginxServer::Available())
            GTEST_SKIP() << "nginx is not installed";
        platform::SetProgramDirForTesting(m_program.Str());
        // The engine's page is a folder: nginx answers /index.asp with a
        // redirect to /index.asp/ and that with its listing.
        std::filesystem::create_directories(m_root.Path() / "index.asp");
        for (const std::string& song : kSongs)
            m_root.Write("index.asp/" + song, "ID3 " + song);
        m_root.Write("index.asp/notes.txt", "not a song");
        m_server = std::make_unique<NginxServer>(m_root.Str(), NginxServer::Options{true});
        ASSERT_TRUE(m_server->Running()) << m_server->Error();
    }
    void TearDown() override
    {
        EXPECT_TRUE(platform::WaitForWorkers(kWait));
        platform::SetProgramDirForTesting("");
    }

    // Searches the engine at `host` as the window does and gives the file
    // names of what it found, sorted.
    std::vector<std::string> Search(const std::string& host)
    {
        TempDir folder;
        folder.Write("Engines.ini", "[Engine1]\nHost=" + host + "\n[Engine2]\nHost=127.0.0.1:1\n");
        SetEngines(EngineConfig::Load(folder.File("Engines.ini")));
        const std::string url = BuildEngineUrl(Engines().FirstBaseUrl(), "or", "abba", "");
        RecordingReceiver receiver;
        {
            CNavigateToMp3 navigator;
            navigator.StartNavigation(url);
            EXPECT_TRUE(platform::WaitForWorkers(kWait));
        }
        SetEngines(EngineConfig::Defaults());
        std::vector<std::string> names;
        for (const auto& record : receiver.Records(WM_MP3_FOUND)) {
            m_found.push_back(record.text);
            names.push_back(FileNameFromUrl(record.text));
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    static std::vector<std::string> Sorted(std::vector<std::string> names)
    {
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir m_program;
    TempDir m_root;
    std::unique_ptr<NginxServer> m_server;
    std::vector<std::string> m_found;
    ScriptedResponder m_boxes;
};

TEST_F(RealServerTest, ASearchOfTheListingFindsEveryFileOverHttpHttpsAndIpv6)
{
    const std::string port = std::to_string(m_server->Port());
    EXPECT_EQ(Search("127.0.0.1:" + port), Sorted(kSongs));
    EXPECT_EQ(Search("[::1]:" + port), Sorted(kSongs));
    {
        TrustedCa ca(m_server->CaFile());
        EXPECT_EQ(Search("https://127.0.0.1:" + std::to_string(m_server->TlsPort())), Sorted(kSongs));
    }
    EXPECT_TRUE(m_boxes.Texts().empty());
    // The links keep their case and come resolved against the redirect's target.
    const std::string https = "https://127.0.0.1:" + std::to_string(m_server->TlsPort()) + "/index.asp/";
    EXPECT_NE(std::find(m_found.begin(), m_found.end(), https + "ABBA%20-%20Waterloo.MP3"), m_found.end());
}

TEST_F(RealServerTest, AnUnverifiedCertificateIsNamedAndNothingIsRead)
{
    // Without the test's CA the server's certificate cannot be verified.
    ::unsetenv("SSL_CERT_FILE");
    EXPECT_TRUE(Search("https://127.0.0.1:" + std::to_string(m_server->TlsPort())).empty());
    const std::vector<std::string> boxes = m_boxes.Texts();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind("The server's certificate could not be verified, so no connection was made: ", 0), 0u)
        << boxes[0];
    EXPECT_NE(boxes[0].find("certificate"), std::string::npos);

    // A CA file that does not exist is no reason to trust anything either.
    TrustedCa missing(m_root.File("no-such-ca.pem"));
    EXPECT_TRUE(Search("https://127.0.0.1:" + std::to_string(m_server->TlsPort())).empty());
    EXPECT_EQ(m_boxes.Texts().size(), 2u);
}

TEST_F(RealServerTest, ListingsComeCompressedAndAreReadDecoded)
{
    TrustedCa ca(m_server->CaFile());
    for (const std::string& url : {m_server->HttpUrl("/index.asp/"), m_server->HttpsUrl("/index.asp/")}) {
        platform::ParsedUrl parsed;
        ASSERT_TRUE(platform::ParseUrl(url, parsed));
        platform::HttpRequestOptions options;
        options.decodeContent = true;
        options.useTls = parsed.service == platform::AFX_INET_SERVICE_HTTPS;
        platform::HttpFile file(parsed.server, parsed.port, parsed.object, options);
        ASSERT_TRUE(file.SendRequest()) << file.ErrorText();
        EXPECT_EQ(file.QueryInfo("Content-Encoding").value_or(""), "gzip");
        char body[4096];
        const std::size_t n = file.Read(body, sizeof body);
        EXPECT_NE(std::string(body, n).find("Song%20One.mp3"), std::string::npos);

        CHtmlDocument document;
        ASSERT_TRUE(document.Fetch(url));
        EXPECT_EQ(document.GetLinks().size(), kSongs.size() + 2);  // and "../" and notes.txt
    }
}

}  // namespace
