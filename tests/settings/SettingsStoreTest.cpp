#include "settings/SettingsStore.h"

#include "ScopedEnv.h"
#include "TempDir.h"
#include "platform/AppProfile.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "resources/Resource.h"
#include "search/EngineConfig.h"
#include "settings/LanguagePack.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;

namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override { platform::SetProgramDirForTesting(m_dir.Str()); }
    void TearDown() override { platform::SetProgramDirForTesting(""); }

    void WriteStore(const std::string& content) const { m_dir.Write("Tunorva.ini", content); }
    std::string Store() const { return platform::ReadWholeFile(m_dir.File("Tunorva.ini")).value_or("<none>"); }

    TempDir m_dir;
};

TEST_F(SettingsStoreTest, FirstStartKeepsTheDefaultsAndTheFirstSaveWritesAllFour)
{
    Settings settings = Settings::Defaults();
    LoadSettings(settings);
    EXPECT_EQ(settings.m_bPlaySound, 1);
    EXPECT_EQ(settings.m_strMusicDir, m_dir.Str() + "/Music/");
    EXPECT_EQ(settings.m_nMaxHistoryItems, 10);
    EXPECT_EQ(settings.m_strLanguage, "English");

    SaveSettings(settings);
    EXPECT_EQ(Store(), "[Tunorva]\nPlaySound=1\nMusicDir=" + m_dir.Str() +
                           "/Music/\nnMaxHistoryItems=10\nLanguage=English\nSimultaneousDownloads=4\nSpeedLimitKBps=0\n");
}

TEST_F(SettingsStoreTest, EveryValueAUserCanChooseComesBackExactly)
{
    const std::vector<std::string> dirs{
        "/home/u/My Music/", "  blanks around  ", "\"quoted\"", "'single'", "\"", "\tTab/", "a=b;c [x]/",
        "", "/Müsik/Ärger/", std::string(kSettingsValueMax, 'd')};
    for (const std::string& dir : dirs) {
        SCOPED_TRACE(dir);
        Settings saved{0, dir, -3, " Deutsch"};
        SaveSettings(saved);
        Settings loaded = Settings::Defaults();
        LoadSettings(loaded);
        EXPECT_EQ(loaded.m_bPlaySound, 0);
        EXPECT_EQ(loaded.m_strMusicDir, dir);
        EXPECT_EQ(loaded.m_nMaxHistoryItems, -3);
        EXPECT_EQ(loaded.m_strLanguage, " Deutsch");
    }
}

TEST_F(SettingsStoreTest, LoadReadsTheStoredTextsByTheirRules)
{
    struct Case {
        std::string playSound;
        std::string maxItems;
        int expectedSound;
        int expectedMax;
    };
    const std::vector<Case> cases{
        {"1", "25", 1, 25},   {"0", "abc", 0, 0},     {"", "12abc", 0, 12},  {"yes", "  -7", 0, -7},
        {"10", "+5", 1, 5},   {"1x", "", 1, 0},       {"2", "99999999999", 0, 2147483647},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.playSound + " / " + c.maxItems);
        WriteStore("[Tunorva]\nPlaySound=" + c.playSound + "\nnMaxHistoryItems=" + c.maxItems +
                   "\nMusicDir=/no/slash\n");
        Settings settings = Settings::Defaults();
        LoadSettings(settings);
        EXPECT_EQ(settings.m_bPlaySound, c.expectedSound);
        EXPECT_EQ(settings.m_nMaxHistoryItems, c.expectedMax);
        EXPECT_EQ(settings.m_strMusicDir, "/no/slash");  // no separator is added
        EXPECT_EQ(settings.m_strLanguage, "English");    // missing: default kept
    }
}

TEST_F(SettingsStoreTest, DownloadLimitsAreTakenWithinTheirRanges)
{
    const struct {
        const char* simultaneous;
        const char* limit;
        int expectedSimultaneous;
        int expectedLimit;
    } cases[] = {{"3", "250", 3, 250}, {"0", "-5", 1, 0}, {"50", "99999999999", 20, 1000000}, {"x", "", 1, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.simultaneous);
        WriteStore(std::string("[Tunorva]\nSimultaneousDownloads=") + c.simultaneous + "\nSpeedLimitKBps=" + c.limit + "\n");
        Settings settings = Settings::Defaults();
        LoadSettings(settings);
        EXPECT_EQ(settings.m_nSimultaneousDownloads, c.expectedSimultaneous);
        EXPECT_EQ(settings.m_nSpeedLimitKBps, c.expectedLimit);
    }
}

TEST_F(SettingsStoreTest, ValuesLongerThanTheBufferKeepTheirDefaults)
{
    for (const std::size_t length : {kSettingsValueMax, kSettingsValueMax + 1, std::size_t{259}, std::size_t{400}}) {
        SCOPED_TRACE(length);
        const std::string dir = "/" + std::string(length - 1, 'm');
        WriteStore("[Tunorva]\nMusicDir=" + dir + "\nLanguage=" + std::string(length, 'l') + "\n");
        Settings settings = Settings::Defaults();
        LoadSettings(settings);
        const bool fits = length <= kSettingsValueMax;
        EXPECT_EQ(settings.m_strMusicDir, fits ? dir : m_dir.Str() + "/Music/");
        EXPECT_EQ(settings.m_strLanguage, fits ? std::string(length, 'l') : "English");
    }
}

TEST_F(SettingsStoreTest, SaveReplacesTheSectionButKeepsOtherSections)
{
    WriteStore("[Other]\nKeep=me\n[Tunorva]\nForeign=gone\nPlaySound=0\n[Later]\nAlso=kept\n");
    Settings settings = Settings::Defaults();
    settings.m_strMusicDir = "/m/";
    SaveSettings(settings);
    EXPECT_EQ(Store(), "[Other]\nKeep=me\n[Tunorva]\nPlaySound=1\nMusicDir=/m/\nnMaxHistoryItems=10\n"
                       "Language=English\nSimultaneousDownloads=4\nSpeedLimitKBps=0\n[Later]\nAlso=kept\n");
}

TEST_F(SettingsStoreTest, UnusableStoresAreSilent)
{
    // A line break cannot be stored: that value is left out, the rest is kept.
    Settings odd = Settings::Defaults();
    odd.m_strMusicDir = "/two\nlines/";
    odd.m_nMaxHistoryItems = 4;
    SaveSettings(odd);
    Settings loaded = Settings::Defaults();
    LoadSettings(loaded);
    EXPECT_EQ(loaded.m_strMusicDir, m_dir.Str() + "/Music/");
    EXPECT_EQ(loaded.m_nMaxHistoryItems, 4);

    // A folder where the file should be: it can be neither read nor replaced.
    std::filesystem::remove(m_dir.File("Tunorva.ini"));
    std::filesystem::create_directory(m_dir.File("Tunorva.ini"));
    Settings settings = Settings::Defaults();
    settings.m_nMaxHistoryItems = 77;
    SaveSettings(settings);
    LoadSettings(settings);
    EXPECT_EQ(settings.m_nMaxHistoryItems, 77);
    EXPECT_TRUE(std::filesystem::is_directory(m_dir.File("Tunorva.ini")));
}

// Installed as <prefix>/bin/tunorva: the settings live in the user's settings
// folder, made on the first save, the language files come from share/tunorva,
// and nothing is written beside the program.
TEST_F(SettingsStoreTest, AnInstalledProgramKeepsTheUsersFilesInTheUsersFolders)
{
    ScopedEnv env;
    env.Set("XDG_CONFIG_HOME", m_dir.File("config"));
    env.Set("PATH", "/nonexistent");  // no xdg-user-dir: ~/Music
    env.Set("HOME", m_dir.File("home"));
    const std::string bin = m_dir.File("usr/bin");
    std::filesystem::create_directories(bin);
    m_dir.Write("usr/share/tunorva/Language/Deutsch.ini", "[Tunorva]\n");
    platform::SetProgramDirForTesting(bin);

    EXPECT_EQ(SettingsFilePath(), m_dir.File("config") + "/Tunorva/Tunorva.ini");
    EXPECT_EQ(GetLanguageDir(), m_dir.File("usr/share/tunorva") + "/Language/");
    Settings settings = Settings::Defaults();
    EXPECT_EQ(settings.m_strMusicDir, m_dir.File("home") + "/Music/Tunorva/");
    settings.m_strLanguage = "Deutsch";
    SaveSettings(settings);
    Settings loaded = Settings::Defaults();
    LoadSettings(loaded);
    EXPECT_EQ(loaded.m_strLanguage, "Deutsch");
    EXPECT_TRUE(std::filesystem::is_empty(bin));
}

// Language files and profiles are passed around like downloads: whatever
// stands at their place, reading ends at once and gives the defaults, and
// nothing that is not a small regular file is written over.
TEST(HostileProfileFiles, OnlySmallRegularFilesAreReadAndNoneIsWrittenOver)
{
    enum class Kind { Fifo, Sparse2GiB, Folder, JustTooLarge };
    const Kind kinds[] = {Kind::Fifo, Kind::Sparse2GiB, Kind::Folder, Kind::JustTooLarge};
    for (const Kind kind : kinds) {
        SCOPED_TRACE(static_cast<int>(kind));
        TempDir dir;
        platform::SetProgramDirForTesting(dir.Str());
        platform::SetAppProfilePathForTesting(dir.File("profile.ini"));
        const std::string valid = "[Tunorva]\n61227=Hostile\nLanguage=Evil\n[Engine1]\nHost=evil.example\n"
                                  "[Artist Key Word]\nTunorvaHistory_Artist0=evil\n";
        std::filesystem::create_directories(dir.Path() / "Language");
        const std::string files[] = {dir.File("Language/Test.ini"), dir.File("Tunorva.ini"), dir.File("Engines.ini"),
                                     dir.File("profile.ini")};
        for (const std::string& file : files) {
            switch (kind) {
            case Kind::Fifo:
                ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
                break;
            case Kind::Sparse2GiB:
            case Kind::JustTooLarge: {
                // A valid start, then padding up to the size.
                dir.Write(std::filesystem::path(file).lexically_relative(dir.Path()).string(), valid);
                const off_t size = kind == Kind::Sparse2GiB ? off_t{2} << 30 : off_t{1024 * 1024 + 1};
                ASSERT_EQ(::truncate(file.c_str(), size), 0);
                break;
            }
            case Kind::Folder:
                std::filesystem::create_directories(file);
                break;
            }
        }
        SetLanguage("Test");
        EXPECT_EQ(LoadLanguageString(IDS_NO_ITEM_SELECTED), "No Item Selected.");
        EXPECT_NE(LanguageFileState(), platform::SmallFileState::Read);
        Settings settings = Settings::Defaults();
        LoadSettings(settings);
        EXPECT_EQ(settings.m_strLanguage, Settings::Defaults().m_strLanguage);
        EXPECT_EQ(EngineConfig::Load(dir.File("Engines.ini")).sites[0].host, EngineConfig::Defaults().sites[0].host);
        EXPECT_EQ(platform::GetProfileString("Artist Key Word", "TunorvaHistory_Artist0", "none"), "none");

        // Writers leave what stands there alone.
        const std::string value = "x";
        EXPECT_FALSE(platform::WriteProfileString("Artist Key Word", "TunorvaHistory_Artist0", &value));
        SaveSettings(Settings::Defaults());
        for (const std::string& file : files) {
            struct stat info {};
            ASSERT_EQ(::stat(file.c_str(), &info), 0);
            EXPECT_FALSE(S_ISREG(info.st_mode) && info.st_size <= 1024 * 1024) << file;
        }
        SetLanguage("");
        platform::SetAppProfilePathForTesting("");
        platform::SetProgramDirForTesting("");
    }
}

// A file of exactly the largest size is still read.
TEST_F(SettingsStoreTest, AFileOfTheLargestSizeIsRead)
{
    std::string content = "[Tunorva]\nLanguage=French\n;";
    content.resize(1024 * 1024, 'x');
    WriteStore(content);
    Settings settings = Settings::Defaults();
    LoadSettings(settings);
    EXPECT_EQ(settings.m_strLanguage, "French");
}

}  // namespace
