// The sound server stopped and started again while the window runs: the
// preview says there is no sound device while none answers, and plays again
// once one does, without Tunorva being restarted.
#include "ShellFixture.h"

#include "platform/MessageChannel.h"
#include "resources/Resource.h"
#include "search/SearchMessages.h"
#include "settings/LanguagePack.h"
#include "window/search/PreviewPlayer.h"

#include "ScriptedHttpServer.h"
#include "SoundServer.h"
#include "ToneMp3.h"

#include <QStatusBar>
#include <QTest>

#include <cstdlib>

using namespace testing_support;

namespace {

class PreviewRestartTest : public ShellTest {
protected:
    void BeforeStart() override
    {
        m_server = std::make_unique<SoundServer>();
        // The window starts while the server is down.
        m_server->Stop();
        setenv("PULSE_SERVER", m_server->Server().c_str(), 1);
    }
    void TearDown() override
    {
        ShellTest::TearDown();
        unsetenv("PULSE_SERVER");
        m_server.reset();
    }

    QString Status() const { return m_frame->m_wndStatusBar->currentMessage(); }
    // Previews the first found file; true when it is heard playing.
    bool PreviewPlays()
    {
        m_view->PreviewRow(0);
        const bool playing =
            QTest::qWaitFor([&] { return Status().startsWith(QStringLiteral("Preview: Tone \u2013 0:01")); }, 10000);
        m_view->OnStopPreview();
        return playing;
    }

    std::unique_ptr<SoundServer> m_server;
};

TEST_F(PreviewRestartTest, TheDeviceIsLookedForAgainAtEachPreview)
{
    if (!LameAvailable())
        GTEST_SKIP() << "lame is not installed (scripts/setup-debian.sh installs it)";
    ToneMp3 tone;
    tone.seconds = 4.0;
    tone.title = "Tone";
    const std::string mp3 = EncodeToneMp3(tone);
    ScriptedHttpServer files([&](const HttpExchange& request) { return ServeRange(request, mp3); });
    m_view->m_bPlaySound = 0;
    m_view->ShowSearchPage();
    platform::Deliver(*m_frame, Mp3Found{files.Url("/tone.mp3"), 1});
    const std::string noDevice = LoadLanguageString(IDS_PREVIEW_NO_DEVICE);

    // No server yet: said so, nothing plays.
    m_view->PreviewRow(0);
    ASSERT_EQ(m_responder.Texts(), std::vector<std::string>{noDevice});
    EXPECT_FALSE(m_view->m_pPreview->IsPlaying());

    // Started: the next preview plays.
    ASSERT_TRUE(m_server->Start()) << m_server->Problem();
    EXPECT_TRUE(PreviewPlays()) << Status().toStdString();
    EXPECT_EQ(m_responder.Texts().size(), 1u);

    // Stopped and started again: no device in between, heard again after.
    m_server->Stop();
    m_view->PreviewRow(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_responder.Texts().size() == 2; }, 10000));
    EXPECT_EQ(m_responder.Texts().back(), noDevice);
    ASSERT_TRUE(m_server->Start()) << m_server->Problem();
    EXPECT_TRUE(PreviewPlays()) << Status().toStdString();
    EXPECT_EQ(m_responder.Texts().size(), 2u);
}

}  // namespace
