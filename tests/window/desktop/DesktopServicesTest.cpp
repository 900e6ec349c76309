#include "window/desktop/DesktopMessageBox.h"
#include "window/desktop/DesktopServices.h"
#include "window/desktop/Sound.h"
#include "platform/WorkerThreads.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace platform;

namespace {

class RecordingSound final : public SoundBackend {
public:
    bool PlayFile(const std::string& path) override
    {
        played.push_back("file:" + path);
        return true;
    }
    bool PlayEvent(const std::string& eventId) override
    {
        played.push_back("event:" + eventId);
        return true;
    }
    std::vector<std::string> played;
};

}  // namespace

TEST(Sound, MissingFilesPlayTheDesktopSoundUnlessToldNotTo)
{
    testing_support::TempDir dir;
    dir.Write("Start.wav", "RIFF");
    RecordingSound sound;
    SoundBackend* previous = SetSoundBackend(&sound);
    EXPECT_TRUE(PlaySound(dir.File("Start.wav"), SND_NOWAIT | SND_APPLICATION));
    EXPECT_TRUE(PlaySound(dir.File("Missing.wav"), SND_NOWAIT | SND_APPLICATION));
    EXPECT_FALSE(PlaySound(dir.File("Missing.wav"), SND_NODEFAULT));
    EXPECT_TRUE(PlaySound(dir.Str(), SND_NOWAIT)) << "a folder is no sound file";
    EXPECT_EQ(sound.played, (std::vector<std::string>{"file:" + dir.File("Start.wav"), "event:bell", "event:bell"}));
    SetSoundBackend(previous);
}

TEST(Sound, TheDesktopBackendPlaysNoFileThatIsNoSound)
{
    testing_support::TempDir dir;
    dir.Write("x.wav", "not really a wave file");
    // With or without a sound device, nothing can be played from this file.
    EXPECT_FALSE(PlaySound(dir.File("x.wav"), SND_NOWAIT));
}

// A sound that plays until the test lets it end.
class HeldSound final : public SoundBackend {
public:
    bool PlayFile(const std::string&) override
    {
        std::unique_lock lock(mutex);
        ++started;
        changed.notify_all();
        changed.wait_for(lock, std::chrono::seconds(5), [this] { return open; });
        return true;
    }
    bool PlayEvent(const std::string&) override { return true; }
    std::mutex mutex;
    std::condition_variable changed;
    int started = 0;
    bool open = false;
};

TEST(Sound, AsynchronousSoundsQueueOneAfterAnotherOrAreSkippedWhileOnePlays)
{
    struct Case {
        unsigned flags;
        int playedInTheEnd;
    };
    // Without SND_NOWAIT the second waits for the first; with it, the
    // second is skipped at once, as a busy device skips it.
    for (const Case& c : {Case{SND_APPLICATION, 2}, Case{SND_NOWAIT | SND_APPLICATION, 1}}) {
        SCOPED_TRACE(c.flags);
        testing_support::TempDir dir;
        dir.Write("Found.wav", "RIFF");
        HeldSound sound;
        SoundBackend* previous = SetSoundBackend(&sound);
        std::atomic<int> played{0};
        ASSERT_TRUE(PlaySoundAsync(dir.File("Found.wav"), c.flags, [&] { ++played; }));
        {
            std::unique_lock lock(sound.mutex);
            ASSERT_TRUE(sound.changed.wait_for(lock, std::chrono::seconds(5), [&] { return sound.started == 1; }));
        }
        EXPECT_EQ(PlaySoundAsync(dir.File("Found.wav"), c.flags, [&] { ++played; }), c.playedInTheEnd == 2);
        EXPECT_EQ(RunningWorkerCount(), c.playedInTheEnd);
        EXPECT_EQ(played, 0);
        {
            std::lock_guard lock(sound.mutex);
            EXPECT_EQ(sound.started, 1);
            sound.open = true;
            sound.changed.notify_all();
        }
        ASSERT_TRUE(WaitForWorkers(std::chrono::seconds(5)));
        EXPECT_EQ(played, c.playedInTheEnd);
        EXPECT_EQ(sound.started, c.playedInTheEnd);
        SetSoundBackend(previous);
    }
}

TEST(DesktopMessageBox, RefusesToShowABoxOffTheUserInterfaceThread)
{
    DesktopMessageBox boxes;
    int ok = -1;
    int question = -1;
    std::thread([&] {
        ok = boxes.Show("from a worker", MB_OK);
        question = boxes.Show("replace?", MB_YESNO);
    }).join();
    EXPECT_EQ(ok, IDOK);
    EXPECT_EQ(question, IDNO);
}

// The desktop's opener, replaced by a script first on PATH: whether a file
// was handed over is learnt from how the opener ends, not from its start.
TEST(DesktopLauncher, NoProgramForTheTypeIsToldApartFromAnOpenedFile)
{
    struct Case {
        const char* opener;  // the body of the script
        int result;
    };
    const Case cases[] = {
        {"exit 0", SE_OPENED},
        {"echo \"xdg-open: no method available for opening '$1'\" >&2; exit 3", SE_ERR_NOASSOC},
        {"exit 4", SE_ERR_NOASSOC},
        // A program that the opener waits for: handed over all the same.
        {"sleep 2", SE_OPENED},
    };
    testing_support::TempDir dir;
    dir.Write("song.mp3", "ID3");
    const std::string oldPath = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    setenv("PATH", (dir.Str() + ":" + oldPath).c_str(), 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.opener);
        dir.Write("xdg-open", std::string("#!/bin/sh\necho \"$1\" > '") + dir.File("asked") + "'\n" + c.opener + "\n");
        std::filesystem::permissions(dir.File("xdg-open"), std::filesystem::perms::owner_all);
        std::filesystem::remove(dir.File("asked"));
        EXPECT_EQ(ShellExecuteOpen(dir.File("song.mp3")), c.result);
        std::ifstream asked(dir.File("asked"));
        std::string url;
        std::getline(asked, url);
        EXPECT_EQ(url, "file://" + dir.File("song.mp3"));
    }
    setenv("PATH", oldPath.c_str(), 1);
    ASSERT_TRUE(WaitForWorkers(std::chrono::seconds(5)));
}
