// Where Tunorva reads its shipped files and keeps the user's: beside a
// portable program, in the user's folders for an installed or read-only one.
#include "platform/AppProfile.h"
#include "platform/Files.h"

#include "ScopedEnv.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

using platform::AppFolderFacts;
using platform::AppFolders;
using testing_support::ScopedEnv;
using testing_support::TempDir;

namespace {

struct Expected {
    bool portable;
    std::string dataDir, configDir, tempDir, musicDir, enginesDir;
};

void ExpectFolders(const AppFolders& got, const Expected& want, const std::string& name)
{
    EXPECT_EQ(got.portable, want.portable) << name;
    EXPECT_EQ(got.dataDir, want.dataDir) << name;
    EXPECT_EQ(got.configDir, want.configDir) << name;
    EXPECT_EQ(got.tempDir, want.tempDir) << name;
    EXPECT_EQ(got.musicDir, want.musicDir) << name;
    EXPECT_EQ(got.enginesDir, want.enginesDir) << name;
}

}  // namespace

TEST(AppFolders, PortableCopiesKeepEverythingBesideTheProgramAndOthersUseTheUsersFolders)
{
    const auto facts = [](std::string programDir, bool writable, std::string installed) {
        AppFolderFacts f;
        f.programDir = std::move(programDir);
        f.programDirWritable = writable;
        f.installedDataDir = std::move(installed);
        f.home = "/home/u";
        f.xdgConfigHome = "/cfg";
        f.xdgCacheHome = "/cache/";
        f.xdgDataHome = "/data";
        f.userMusicDir = "/home/u/Musik";
        return f;
    };
    struct Case {
        const char* name;
        AppFolderFacts facts;
        Expected want;
    };
    AppFolderFacts relativeXdg = facts("/opt/t", false, "");
    relativeXdg.xdgConfigHome = "cfg";  // relative: ignored
    relativeXdg.xdgCacheHome = "";
    relativeXdg.xdgDataHome = "data";
    relativeXdg.userMusicDir = std::nullopt;  // xdg-user-dir missing
    AppFolderFacts oddMusic = facts("/usr/bin", false, "/usr/share/tunorva");
    oddMusic.userMusicDir = "";  // printed nothing
    AppFolderFacts relativeMusic = oddMusic;
    relativeMusic.userMusicDir = "Music";
    AppFolderFacts slashMusic = oddMusic;
    slashMusic.userMusicDir = "/home/u/Musik/";
    const Case cases[] = {
        {"writable portable copy", facts("/home/u/tunorva/", true, ""),
         {true, "/home/u/tunorva", "/home/u/tunorva", "/home/u/tunorva/Temp/", "/home/u/tunorva/Music/",
          "/home/u/tunorva/Engines/"}},
        {"read-only portable copy", facts("/opt/t", false, ""),
         {false, "/opt/t", "/cfg/Tunorva", "/cache/Tunorva/", "/home/u/Musik/Tunorva/", "/data/Tunorva/engines/"}},
        {"installed, read-only", facts("/usr/bin", false, "/usr/share/tunorva"),
         {false, "/usr/share/tunorva", "/cfg/Tunorva", "/cache/Tunorva/", "/home/u/Musik/Tunorva/", "/data/Tunorva/engines/"}},
        // Root can write to /usr/bin, yet an installed program never writes there.
        {"installed, run by root", facts("/usr/bin", true, "/usr/share/tunorva"),
         {false, "/usr/share/tunorva", "/cfg/Tunorva", "/cache/Tunorva/", "/home/u/Musik/Tunorva/", "/data/Tunorva/engines/"}},
        {"relative or empty XDG folders, no xdg-user-dir", relativeXdg,
         {false, "/opt/t", "/home/u/.config/Tunorva", "/home/u/.cache/Tunorva/", "/home/u/Music/Tunorva/",
          "/home/u/.local/share/Tunorva/engines/"}},
        {"xdg-user-dir printed nothing", oddMusic,
         {false, "/usr/share/tunorva", "/cfg/Tunorva", "/cache/Tunorva/", "/home/u/Music/Tunorva/", "/data/Tunorva/engines/"}},
        {"xdg-user-dir printed a relative path", relativeMusic,
         {false, "/usr/share/tunorva", "/cfg/Tunorva", "/cache/Tunorva/", "/home/u/Music/Tunorva/", "/data/Tunorva/engines/"}},
        {"music folder with a trailing separator", slashMusic,
         {false, "/usr/share/tunorva", "/cfg/Tunorva", "/cache/Tunorva/", "/home/u/Musik/Tunorva/", "/data/Tunorva/engines/"}},
    };
    for (const Case& c : cases)
        ExpectFolders(platform::ResolveAppFolders(c.facts), c.want, c.name);
}

class AppFoldersOnDisk : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_env.Set("HOME", m_dir.File("home"));
        m_env.Set("XDG_CONFIG_HOME", m_dir.File("config"));
        m_env.Set("XDG_CACHE_HOME", m_dir.File("cache"));
        m_env.Set("XDG_DATA_HOME", m_dir.File("data"));
        // A stand-in xdg-user-dir first on the path.
        m_dir.Write("tools/xdg-user-dir", "#!/bin/sh\n[ \"$1\" = MUSIC ] && echo \"" + m_dir.File("Musik") + "\"\n");
        std::filesystem::permissions(m_dir.Path() / "tools/xdg-user-dir", std::filesystem::perms::owner_all);
        m_env.Set("PATH", m_dir.File("tools") + ":" + std::string(std::getenv("PATH") ? std::getenv("PATH") : ""));
    }
    void TearDown() override { platform::SetProgramDirForTesting(""); }

    Expected UserFolders(const std::string& dataDir) const
    {
        return {false, dataDir, m_dir.File("config") + "/Tunorva", m_dir.File("cache") + "/Tunorva/",
                m_dir.File("Musik") + "/Tunorva/", m_dir.File("data") + "/Tunorva/engines/"};
    }

    TempDir m_dir;
    ScopedEnv m_env;
};

TEST_F(AppFoldersOnDisk, AWritableFolderIsPortableAndAnInstalledPrefixIsNot)
{
    const std::string portable = m_dir.File("portable");
    std::filesystem::create_directories(portable + "/Language");
    platform::SetProgramDirForTesting(portable);
    ExpectFolders(platform::GetAppFolders(), {true, portable, portable, portable + "/Temp/", portable + "/Music/", portable + "/Engines/"},
                  "portable");

    // <prefix>/bin with <prefix>/share/tunorva, writable as ~/.local is.
    const std::string prefix = m_dir.File("prefix");
    std::filesystem::create_directories(prefix + "/bin");
    std::filesystem::create_directories(prefix + "/share/tunorva/Language");
    platform::SetProgramDirForTesting(prefix + "/bin");
    ExpectFolders(platform::GetAppFolders(), UserFolders(prefix + "/share/tunorva"), "installed");

    // A bin folder without the shared files is just a folder: portable.
    std::filesystem::remove_all(prefix + "/share");
    EXPECT_TRUE(platform::GetAppFolders().portable);
}

TEST_F(AppFoldersOnDisk, AReadOnlyFolderKeepsItsFilesAndWritesNothingThere)
{
    const std::string program = m_dir.File("readonly");
    std::filesystem::create_directories(program);
    // Made writable again however the test ends, so the folder can be removed.
    struct ReadOnly {
        std::string path;
        bool mounted = false;
        ~ReadOnly() { mounted ? umount(path.c_str()) : chmod(path.c_str(), 0755); }
    } readOnly{program};
    if (geteuid() == 0) {
        // Root writes through any permission bits; only a read-only mount stops it.
        readOnly.mounted = mount("tmpfs", program.c_str(), "tmpfs", MS_RDONLY, "size=16k") == 0;
        if (!readOnly.mounted)
            GTEST_SKIP() << "root, and no read-only mount here";
    } else {
        chmod(program.c_str(), 0555);
    }
    platform::SetProgramDirForTesting(program);
    ExpectFolders(platform::GetAppFolders(), UserFolders(program), "read-only");

    // Without xdg-user-dir the music folder is ~/Music.
    m_env.Set("PATH", "/nonexistent");
    EXPECT_EQ(platform::GetAppFolders().musicDir, m_dir.File("home") + "/Music/Tunorva/");
}
