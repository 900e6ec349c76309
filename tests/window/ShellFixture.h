#pragma once

#include "platform/AppProfile.h"
#include "platform/Files.h"
#include "window/desktop/Sound.h"
#include "platform/WorkerThreads.h"
#include "window/settings/SplashDlg.h"
#include "window/HistoryCombo.h"
#include "window/ProgressCtrl.h"
#include "window/MainFrame.h"
#include "window/PagesView.h"
#include "window/TunorvaApp.h"

#include "ScriptedResponder.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <QString>

#include <filesystem>
#include <ostream>
#include <memory>
#include <chrono>
#include <condition_variable>
#include <thread>
#include <mutex>
#include <string>
#include <vector>

// GoogleTest prints a QString as its text.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace testing_support {

// Records what would have been played; the test machines have no sound card.
// Held, a sound file "plays" until it is released, as a sound server's
// latency can hold one for seconds.
class RecordingSound final : public platform::SoundBackend {
public:
    bool PlayFile(const std::string& path) override
    {
        Add("file:" + path);
        std::unique_lock lock(m_mutex);
        m_released.wait(lock, [this] { return !m_held; });
        return true;
    }
    void Hold()
    {
        std::lock_guard lock(m_mutex);
        m_held = true;
    }
    void Release()
    {
        std::lock_guard lock(m_mutex);
        m_held = false;
        m_released.notify_all();
    }
    bool PlayEvent(const std::string& eventId) override { return Add("event:" + eventId); }
    std::vector<std::string> Played() const
    {
        std::lock_guard lock(m_mutex);
        return m_played;
    }

private:
    bool Add(std::string what)
    {
        std::lock_guard lock(m_mutex);
        m_played.push_back(std::move(what));
        return true;
    }
    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_held = false;
    std::vector<std::string> m_played;
};

// A started program in a fresh program folder, without the splash's second.
class ShellTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(m_dir.Path() / "Temp");
        platform::SetProgramDirForTesting(m_dir.Str());
        platform::SetAppProfilePathForTesting(m_dir.File("profile/Tunorva.ini"));
        // The saved download list goes to the test's own data folder.
        setenv("XDG_DATA_HOME", m_dir.File("data").c_str(), 1);
        m_previousSound = platform::SetSoundBackend(&m_sound);
        CSplashDlg::SetSkipForTesting(true);
        BeforeStart();
        m_app = std::make_unique<CTunorvaApp>();
        ASSERT_TRUE(m_app->InitInstance());
        m_frame = m_app->MainWindow();
        m_view = m_frame->m_wndView;
    }

    void TearDown() override
    {
        m_app.reset();
        CSplashDlg::SetSkipForTesting(false);
        // Sounds play on workers of their own; none may still be inside this
        // fixture's backend when it goes.
        m_sound.Release();
        for (int i = 0; i < 1000 && platform::PendingSounds() > 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        platform::SetSoundBackend(m_previousSound);
        platform::SetProgramDirForTesting("");
        platform::SetAppProfilePathForTesting("");
    }

    virtual void BeforeStart() {}

    TempDir m_dir;
    RecordingSound m_sound;
    platform::SoundBackend* m_previousSound = nullptr;
    ScriptedResponder m_responder;
    std::unique_ptr<CTunorvaApp> m_app;
    CMainFrame* m_frame = nullptr;
    CPagesView* m_view = nullptr;
};

}  // namespace testing_support
