#include "settings/SettingsStore.h"

#include "TempDir.h"
#include "platform/Files.h"

#include <gtest/gtest.h>

#include <filesystem>

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

}  // namespace
