#include "window/HistoryCombo.h"

#include "TempDir.h"
#include "platform/AppProfile.h"
#include "platform/Files.h"
#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/inotify.h>
#include <unistd.h>
#include <memory>

using namespace testing_support;

namespace {

constexpr const char* kArtist = "Artist Key Word";
constexpr const char* kSong = "Song Key Word";

class HistoryComboTest : public ::testing::Test {
protected:
    void SetUp() override { platform::SetAppProfilePathForTesting(m_dir.File("profile.ini")); }
    void TearDown() override { platform::SetAppProfilePathForTesting(""); }

    // The artist box as the view builds it at start-up.
    static std::unique_ptr<CHistoryCombo> ArtistBox()
    {
        auto box = std::make_unique<CHistoryCombo>(false);
        box->ReadHistory(kArtist, "TunorvaHistory_Artist");
        return box;
    }

    static void Search(CHistoryCombo& box, const std::string& text)
    {
        box.setEditText(QString::fromStdString(text));
        box.WriteHistory(true);
    }

    static std::vector<std::string> Items(const CHistoryCombo& box)
    {
        std::vector<std::string> items;
        for (int i = 0; i < box.count(); ++i)
            items.push_back(box.itemText(i).toStdString());
        return items;
    }

    // The stored items in key order up to the first missing key, then the
    // remembered text ("<none>" when it is not stored).
    std::vector<std::string> Stored(const char* section, const std::string& prefix) const
    {
        const std::string path = m_dir.File("profile.ini");
        std::vector<std::string> out;
        for (int i = 0;; ++i) {
            const auto value = platform::ReadProfileValue(section, prefix + std::to_string(i), path);
            if (!value)
                break;
            out.push_back(*value);
        }
        out.push_back("current: " + platform::ReadProfileValue(section, prefix, path).value_or("<none>"));
        return out;
    }

    std::vector<std::string> StoredArtist() const { return Stored(kArtist, "TunorvaHistory_Artist"); }

    TempDir m_dir;
};

using Strings = std::vector<std::string>;

TEST_F(HistoryComboTest, FirstStartIsEmptyAndTheBoxIsAnUnsortedDropDown)
{
    auto box = ArtistBox();
    EXPECT_EQ(box->count(), 0);
    EXPECT_EQ(box->currentText(), "");
    EXPECT_TRUE(box->isEditable());
    Search(*box, "zz top");
    Search(*box, "abba");
    EXPECT_EQ(Items(*box), (Strings{"abba", "zz top"}));
}

TEST_F(HistoryComboTest, KeepsOneEntryPerKeywordWrittenTheLatestWayAndTrimmed)
{
    auto box = ArtistBox();
    Search(*box, "ABBA");
    Search(*box, "queen");
    Search(*box, "  abba  ");
    EXPECT_EQ(Items(*box), (Strings{"abba", "queen"}));
    EXPECT_EQ(box->currentText(), "abba");
    EXPECT_EQ(StoredArtist(), (Strings{"abba", "queen", "current: abba"}));

    // Values the profile reader would otherwise change come back as typed.
    Search(*box, " 'Tis \"live\" ");
    auto restarted = ArtistBox();
    EXPECT_EQ(Items(*restarted), (Strings{"'Tis \"live\"", "abba", "queen"}));
    EXPECT_EQ(restarted->currentText(), "'Tis \"live\"");
}

TEST_F(HistoryComboTest, LimitsTheListAndTheStoredKeys)
{
    auto box = ArtistBox();
    for (int i = 0; i < 11; ++i)
        Search(*box, "artist " + std::to_string(i));
    Strings newest;
    for (int i = 10; i >= 1; --i)
        newest.push_back("artist " + std::to_string(i));
    EXPECT_EQ(Items(*box), newest);
    Strings stored = newest;
    stored.push_back("current: artist 10");
    EXPECT_EQ(StoredArtist(), stored);

    // A smaller limit cuts the list at once and the stored keys at the next search.
    box->SetHistoryLimit(3);
    EXPECT_EQ(Items(*box), (Strings{"artist 10", "artist 9", "artist 8"}));
    EXPECT_EQ(StoredArtist().size(), 11u);
    Search(*box, "new");
    EXPECT_EQ(StoredArtist(), (Strings{"new", "artist 10", "artist 9", "current: new"}));

    // With no room at all the list stays empty, but the box text is kept.
    box->SetHistoryLimit(0);
    EXPECT_EQ(box->count(), 0);
    Search(*box, "abba");
    EXPECT_EQ(box->count(), 0);
    EXPECT_EQ(StoredArtist(), (Strings{"current: abba"}));

    box->SetHistoryLimit(-5);  // as a hand-edited setting can ask
    Search(*box, "queen");
    EXPECT_EQ(box->count(), 0);
}

// Counts the profile files that arrive in the test's folder: every save
// writes a new file beside the profile and renames it over the old one.
class ProfileWrites {
public:
    explicit ProfileWrites(const std::string& dir)
        : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        inotify_add_watch(m_fd, dir.c_str(), IN_MOVED_TO | IN_CREATE);
    }
    ~ProfileWrites() { ::close(m_fd); }
    int Count()
    {
        alignas(inotify_event) char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n <= 0)
                return m_count;
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if ((event->mask & (IN_MOVED_TO | IN_CREATE)) != 0 && event->len > 0 && std::string(event->name) == "profile.ini")
                    ++m_count;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

private:
    int m_fd;
    int m_count = 0;
};

TEST_F(HistoryComboTest, EachSaveAndEachEraseWritesTheProfileOnce)
{
    auto box = ArtistBox();
    for (int i = 0; i < 10; ++i)
        Search(*box, "artist " + std::to_string(i));
    ProfileWrites writes(m_dir.Str());
    Search(*box, "abba");
    EXPECT_EQ(writes.Count(), 1);
    box->SetHistoryLimit(2);
    Search(*box, "queen");  // also drops the stored keys 2 to 9
    EXPECT_EQ(writes.Count(), 2);
    EXPECT_EQ(StoredArtist(), (Strings{"queen", "abba", "current: queen"}));
    box->EraseHistory(true);
    EXPECT_EQ(writes.Count(), 3);
    EXPECT_EQ(StoredArtist(), (Strings{"current: <none>"}));
}

TEST_F(HistoryComboTest, RestoresTheRememberedTextIntoTheEditPart)
{
    const std::string path = m_dir.File("profile.ini");
    const std::string queen = "queen", abba = "ABBA", upper = "QUEEN";
    platform::WriteProfileString(kArtist, "TunorvaHistory_Artist0", &queen);
    platform::WriteProfileString(kArtist, "TunorvaHistory_Artist", &abba);
    auto box = ArtistBox();
    EXPECT_EQ(Items(*box), (Strings{"queen"}));
    EXPECT_EQ(box->currentText(), "ABBA");

    // A remembered text that is in the list (in other capitals) selects it.
    platform::WriteProfileString(kArtist, "TunorvaHistory_Artist", &upper);
    auto again = ArtistBox();
    EXPECT_EQ(again->currentIndex(), 0);
    EXPECT_EQ(again->currentText(), "queen");
}

TEST_F(HistoryComboTest, EraseEmptiesBoxAndStorageOnlyWhenAsked)
{
    auto box = ArtistBox();
    Search(*box, "abba");
    Search(*box, "queen");
    box->EraseHistory(false);
    EXPECT_EQ(box->count(), 0);
    EXPECT_EQ(box->currentText(), "");
    EXPECT_EQ(StoredArtist(), (Strings{"queen", "abba", "current: queen"}));

    auto song = std::make_unique<CHistoryCombo>(false);
    song->ReadHistory(kSong, "TunorvaHistory_Song");
    Search(*song, "waterloo");
    box = ArtistBox();
    box->EraseHistory(true);
    EXPECT_EQ(box->count(), 0);
    EXPECT_EQ(StoredArtist(), (Strings{"current: <none>"}));
    EXPECT_EQ(Stored(kSong, "TunorvaHistory_Song"), (Strings{"waterloo", "current: waterloo"}));
}

TEST_F(HistoryComboTest, ASongOnlySearchStoresTheArtistBoxAsItIs)
{
    auto artist = ArtistBox();
    auto song = std::make_unique<CHistoryCombo>(false);
    song->ReadHistory(kSong, "TunorvaHistory_Song");
    Search(*artist, "abba");
    artist->setEditText("");
    song->setEditText("waterloo");
    artist->WriteHistory(true);
    song->WriteHistory(true);
    EXPECT_EQ(StoredArtist(), (Strings{"abba", "current: "}));
    EXPECT_EQ(Stored(kSong, "TunorvaHistory_Song"), (Strings{"waterloo", "current: waterloo"}));
}

TEST(AppProfile, LivesUnderTheUsersConfigFolderWhichIsCreatedOnWrite)
{
    TempDir dir;
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old != nullptr ? old : "";
    setenv("XDG_CONFIG_HOME", (dir.Str() + "/config").c_str(), 1);
    const std::string expected = dir.Str() + "/config/Local AppWizard-Generated Applications/Tunorva.ini";
    EXPECT_EQ(platform::AppProfilePath(), expected);
    const std::string value = "abba";
    EXPECT_TRUE(platform::WriteProfileString(kArtist, "TunorvaHistory_Artist0", &value));
    EXPECT_TRUE(platform::FileExists(expected));
    EXPECT_EQ(platform::GetProfileString(kArtist, "TunorvaHistory_Artist0", "x"), "abba");
    const std::string twoLines = "a\nb";
    EXPECT_FALSE(platform::WriteProfileString(kArtist, "Bad", &twoLines));
    EXPECT_EQ(platform::GetProfileString(kArtist, "Bad", "none"), "none");

    setenv("XDG_CONFIG_HOME", "relative/path", 1);  // not absolute: ignored
    EXPECT_EQ(platform::AppProfilePath().rfind(std::string(std::getenv("HOME")) + "/.config/", 0), 0u);
    if (old != nullptr)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
