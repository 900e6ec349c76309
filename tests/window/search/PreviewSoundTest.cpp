// A preview heard for real: the window plays a found file through a sound
// server of the test's own (PulseAudio with a null sink), and what reached
// the sink is recorded from its monitor.
#include "ShellFixture.h"

#include "platform/MessageChannel.h"
#include "search/SearchMessages.h"

#include "resources/Resource.h"
#include "window/download/ListCtrlEx.h"
#include "window/search/PreviewPlayer.h"

#include "ScriptedHttpServer.h"
#include "SoundServer.h"
#include "ToneMp3.h"

#include <QStatusBar>
#include <QTest>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// The loudest 100 ms of a recording of 16-bit stereo at 44.1 kHz.
double LoudestRms(const std::string& pcm)
{
    constexpr std::size_t kWindow = 4410 * 4;
    double loudest = 0.0;
    for (std::size_t at = 0; at + kWindow <= pcm.size(); at += kWindow)
        loudest = std::max(loudest, Rms(pcm.substr(at, kWindow)));
    return loudest;
}

class PreviewSoundTest : public ShellTest {
protected:
    void BeforeStart() override
    {
        m_server = std::make_unique<SoundServer>();
        // The window's sound output finds this server, and only this one.
        setenv("PULSE_SERVER", m_server->Server().c_str(), 1);
    }
    void TearDown() override
    {
        ShellTest::TearDown();
        unsetenv("PULSE_SERVER");
        m_server.reset();
    }

    CListCtrlEx& Files() const { return *m_view->m_lstFiles; }
    QString Status() const { return m_frame->m_wndStatusBar->currentMessage(); }

    std::unique_ptr<SoundServer> m_server;
};

TEST_F(PreviewSoundTest, PlaysWhileItStreamsShowsTitleAndPositionAndSpaceStopsIt)
{
    if (!m_server->Running())
        GTEST_SKIP() << "no sound server for the test: " << m_server->Problem();
    if (!LameAvailable())
        GTEST_SKIP() << "lame is not installed (scripts/setup-debian.sh installs it)";
    ToneMp3 tone;
    tone.seconds = 6.0;
    tone.title = "Waterloo";
    const std::string first = EncodeToneMp3(tone);
    tone.seconds = 4.0;
    tone.title = "Second";
    const std::string second = EncodeToneMp3(tone);
    ScriptedHttpServer files([&](const HttpExchange& request) {
        return ServeRange(request, request.target == "/second.mp3" ? second : first);
    });

    const std::string recording = m_server->Dir().File("monitor.raw");
    pid_t recorder = Spawn({"parec", "-s", m_server->Server(), "-d", std::string(kSink) + ".monitor", "--raw",
                            "--format=s16le", "--rate=44100", "--channels=2"},
                           {}, recording);
    ASSERT_GT(recorder, 0);

    m_view->m_bPlaySound = 0;
    m_view->ShowSearchPage();
    platform::Deliver(*m_frame, Mp3Found{files.Url("/waterloo.mp3"), 1});
    platform::Deliver(*m_frame, Mp3Found{files.Url("/second.mp3"), 1});
    const auto musicBefore = std::distance(fs::directory_iterator(m_view->m_strMusicDir), fs::directory_iterator());

    Files().SelectItem(0);
    Files().setFocus();
    QTest::keyClick(&Files(), Qt::Key_Space);
    // The title from the file's tag, the position as it plays, the length.
    ASSERT_TRUE(QTest::qWaitFor([&] { return Status() == QStringLiteral("Preview: Waterloo \u2013 0:01 / 0:06"); }, 10000))
        << Status().toStdString() << " / " << m_responder.Texts().size();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Status() == QStringLiteral("Preview: Waterloo \u2013 0:02 / 0:06"); }, 5000))
        << Status().toStdString();

    // Another row's preview takes over; Space on that row stops it.
    Files().SelectItem(1);
    QTest::keyClick(&Files(), Qt::Key_Space);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Status().startsWith(QStringLiteral("Preview: Second \u2013 0:0")); }, 10000))
        << Status().toStdString();
    ASSERT_NE(m_view->m_pPreview, nullptr);
    EXPECT_EQ(m_view->m_pPreview->Url(), files.Url("/second.mp3"));
    QTest::keyClick(&Files(), Qt::Key_Space);
    EXPECT_FALSE(m_view->m_pPreview->IsPlaying());
    EXPECT_TRUE(Status().isEmpty()) << Status().toStdString();
    EXPECT_TRUE(m_responder.Texts().empty());

    End(recorder);
    std::ifstream in(recording, std::ios::binary);
    const std::string pcm((std::istreambuf_iterator<char>(in)), {});
    EXPECT_GT(pcm.size(), 44100u * 4);
    EXPECT_GT(LoudestRms(pcm), 0.1) << pcm.size();

    // Heard, not saved: the music folder and the temporary folder are as they were.
    EXPECT_EQ(std::distance(fs::directory_iterator(m_view->m_strMusicDir), fs::directory_iterator()), musicBefore);
    EXPECT_TRUE(fs::is_empty(m_view->m_strTempDir));
}

}  // namespace
