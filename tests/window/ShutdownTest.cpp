#include "ShellFixture.h"

#include "platform/Http.h"
#include "platform/MessageChannel.h"
#include "resources/Resource.h"
#include "resources/Messages.h"
#include "search/EngineConfig.h"
#include "search/NavigateToMp3.h"

#include "ScriptedHttpServer.h"

#include <QTest>

#include <atomic>
#include <fstream>

using namespace testing_support;

TEST_F(ShellTest, ExitRunsTheCloseOrderAndEmptiesTempOfItsFilesOnly)
{
    const auto temp = m_dir.Path() / "Temp";
    std::ofstream(temp / "page1.tmp") << "x";
    std::ofstream(temp / "TUN1A.tmp") << "y";
    std::filesystem::create_directories(temp / "keep");
    std::ofstream(temp / "keep" / "inner.txt") << "z";
    const auto outside = m_dir.Path() / "outside.txt";
    std::ofstream(outside) << "o";
    std::filesystem::create_symlink(outside, temp / "link");

    std::vector<std::string> steps;
    m_frame->m_onCloseStep = [&](const char* step) {
        steps.push_back(step);
        if (steps.back() == "SaveSettings") {
            EXPECT_FALSE(std::filesystem::exists(temp / "page1.tmp")) << "Temp is emptied before saving";
        }
    };
    EXPECT_TRUE(m_frame->OnCmdMsg(ID_APP_EXIT));

    EXPECT_EQ(steps,
              (std::vector<std::string>{"StopDownloads", "StopSearch", "DeleteTempFiles", "SaveSettings", "Destroy"}));
    EXPECT_FALSE(m_frame->isVisible());
    EXPECT_FALSE(std::filesystem::exists(temp / "page1.tmp"));
    EXPECT_FALSE(std::filesystem::exists(temp / "TUN1A.tmp"));
    EXPECT_FALSE(std::filesystem::is_symlink(temp / "link"));
    EXPECT_TRUE(std::filesystem::exists(outside)) << "a link is removed, not what it points to";
    EXPECT_TRUE(std::filesystem::exists(temp / "keep" / "inner.txt"));

    // Closed means no more messages reach the window.
    EXPECT_EQ(platform::Send(ApplyLanguage{}), 0);
    steps.clear();
    m_frame->close();
    EXPECT_TRUE(steps.empty()) << "the close order runs once";
}

TEST_F(ShellTest, ClosingWhileAWorkerIsBlockedOnTheNetworkNeitherHangsNorCrashes)
{
    // The server sends part of a body and then holds the connection open.
    ScriptedHttpServer server([](const HttpExchange&) {
        ScriptedReply reply;
        reply.bytes = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\npartial";
        reply.holdOpen = true;
        return reply;
    });
    std::atomic<bool> reading{false};
    std::atomic<bool> handled{false};
    std::atomic<bool> ended{false};
    const std::uint16_t port = server.Port();
    ASSERT_TRUE(platform::AfxBeginThread([&, port] {
        platform::HttpFile file("127.0.0.1", port, "/song.mp3", {});
        if (file.SendRequest()) {
            char buffer[4096];
            reading = true;
            file.Read(buffer, sizeof buffer);  // blocks until shut-down
        }
        // Then it wants to report, as a download worker does.
        platform::CallOnMainThread([&] { handled = true; });
        ended = true;
        return 0u;
    }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return reading.load(); }, 5000));

    m_frame->close();
    EXPECT_FALSE(m_frame->isVisible());
    EXPECT_TRUE(CTunorvaApp::ShutDownWorkers(std::chrono::seconds(10)));
    EXPECT_TRUE(ended.load());
    EXPECT_FALSE(handled.load());
    platform::ResetShutdownForTesting();
}

// The first engine sends part of its page and then holds the connection open,
// so its page worker is writing its Temp file when the window closes.
class ClosingDuringASearch : public ShellTest {
protected:
    ClosingDuringASearch()
        : m_engine([](const HttpExchange&) {
              ScriptedReply reply{"HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n<a href='x.html'>"};
              reply.holdOpen = true;
              return reply;
          })
    {
    }
    void BeforeStart() override
    {
        EngineConfig config = EngineConfig::Defaults();
        config.sites[0].host = m_engine.HostPort();
        config.sites[1].host = m_engine.HostPort();
        SetEngines(config);
    }
    void TearDown() override
    {
        ShellTest::TearDown();
        SetEngines(EngineConfig::Defaults());
    }
    ScriptedHttpServer m_engine;
};

TEST_F(ClosingDuringASearch, TempIsEmptiedOnlyAfterThePageWorkersHaveEnded)
{
    m_view->m_cboArtist->setEditText(QStringLiteral("abba"));
    m_view->OnFindIt();
    const auto temp = m_dir.Path() / "Temp";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !std::filesystem::is_empty(temp); }, 5000)) << "the page is being spooled";

    // A page worker has ended once it says so; its thread may still be on its
    // way out, which is why the thread count is not asked here.
    bool pageWorkersEndedWhenEmptied = false;
    m_frame->m_onCloseStep = [&](const char* step) {
        if (std::string(step) == "DeleteTempFiles")
            pageWorkersEndedWhenEmptied = CNavigateToMp3::WaitForPageWorkers(std::chrono::milliseconds(0));
    };
    m_frame->close();
    EXPECT_TRUE(pageWorkersEndedWhenEmptied);
    EXPECT_TRUE(std::filesystem::is_empty(temp));
}

class FailingStartTest : public ::testing::Test {};

TEST_F(FailingStartTest, AMainWindowThatCannotBeCreatedIsReportedAndNeverShown)
{
    TempDir dir;
    platform::SetProgramDirForTesting(dir.Str());
    CSplashDlg::SetSkipForTesting(true);
    CMainFrame::SetFailCreationForTesting(true);
    ScriptedResponder responder;
    {
        CTunorvaApp app;
        EXPECT_FALSE(app.InitInstance());
        EXPECT_EQ(app.MainWindow(), nullptr);
        EXPECT_EQ(platform::Send(ApplyLanguage{}), 0) << "no main window was registered";
    }
    EXPECT_EQ(responder.Texts(), std::vector<std::string>{"Tunorva could not create its main window."});
    CMainFrame::SetFailCreationForTesting(false);
    CSplashDlg::SetSkipForTesting(false);
    platform::SetProgramDirForTesting("");
}
