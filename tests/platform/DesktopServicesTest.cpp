#include "platform/DesktopMessageBox.h"
#include "platform/Sound.h"

#include "TempDir.h"

#include <gtest/gtest.h>

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

TEST(Sound, WithoutASoundDeviceTheDesktopBackendReturns)
{
    testing_support::TempDir dir;
    dir.Write("x.wav", "not really a wave file");
    // These machines have no sound card: both calls come back without a sound.
    PlaySound(dir.File("x.wav"), SND_NOWAIT);
    PlaySound(dir.File("missing.wav"), SND_NOWAIT);
    SUCCEED();
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
