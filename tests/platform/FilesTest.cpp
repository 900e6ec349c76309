#include "platform/Files.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

using namespace platform;
using testing_support::TempDir;

TEST(Files, WildcardsMatchWithoutRegardToCase)
{
    const struct {
        const char* name;
        const char* pattern;
        bool matches;
    } cases[] = {
        {"song.mp3", "*.mp3", true},   {"SONG.MP3", "*.mp3", true}, {".mp3", "*.mp3", true},
        {"song.mp3.txt", "*.mp3", false}, {"song.mp", "*.mp3", false}, {"a.mp3.mp3", "*.mp3", true},
        {"Musicx.mp3", "Music*.mp3", true}, {"x.mp3", "Music*.mp3", false}, {"ab", "a?", true},
        {"a", "a?", false},            {"", "*", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchesWildcard(c.name, c.pattern), c.matches) << c.name << " ~ " << c.pattern;
}

TEST(Files, FindFilesListsTheMatchesSortedWithWholeSizes)
{
    TempDir dir;
    dir.Write("b.mp3", "12345");
    dir.Write("A.MP3", "1");
    dir.Write(".mp3", "");
    dir.Write("notes.txt", "x");
    std::filesystem::create_directory(dir.Path() / "folder.mp3");
    // A sparse file beyond 2 GiB: its size must not wrap to a negative number.
    dir.Write("big.mp3", "");
    std::filesystem::resize_file(dir.File("big.mp3"), 3'000'000'000ULL);

    const std::vector<FoundFile> found = FindFiles(dir.Str() + "/*.mp3");
    ASSERT_EQ(found.size(), 5u);
    const struct {
        const char* name;
        std::uintmax_t size;
        bool isDirectory;
    } expected[] = {{".mp3", 0, false}, {"A.MP3", 1, false}, {"b.mp3", 5, false}, {"big.mp3", 3'000'000'000ULL, false},
                    {"folder.mp3", 0, true}};
    for (std::size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].name, expected[i].name);
        EXPECT_EQ(found[i].isDirectory, expected[i].isDirectory) << found[i].name;
        if (!found[i].isDirectory) {
            EXPECT_EQ(found[i].size, expected[i].size) << found[i].name;
        }
    }
    EXPECT_TRUE(FindFiles(dir.Str() + "/missing/*.mp3").empty());
}

TEST(Files, RenameNeverReplacesAnExistingFile)
{
    TempDir dir;
    dir.Write("a.mp3", "a");
    dir.Write("b.mp3", "b");
    EXPECT_EQ(RenameNoReplace(dir.File("a.mp3"), dir.File("b.mp3")), EEXIST);
    EXPECT_EQ(ReadWholeFile(dir.File("a.mp3")), "a");
    EXPECT_EQ(ReadWholeFile(dir.File("b.mp3")), "b");
    EXPECT_EQ(RenameNoReplace(dir.File("a.mp3"), dir.File("c.mp3")), 0);
    EXPECT_EQ(ReadWholeFile(dir.File("c.mp3")), "a");
    EXPECT_FALSE(FileExists(dir.File("a.mp3")));
    EXPECT_EQ(RenameNoReplace(dir.File("a.mp3"), dir.File("d.mp3")), ENOENT);
    EXPECT_EQ(ErrorText(EEXIST), "File exists");
}

TEST(Files, DeletedFilesGoToTheTrash)
{
    TempDir dir;
    TempDir data;
    const char* previous = std::getenv("XDG_DATA_HOME");
    const std::string saved = previous != nullptr ? previous : "";
    // A data folder that does not exist yet, as on a fresh account.
    setenv("XDG_DATA_HOME", data.File("share").c_str(), 1);
    dir.Write("gone.mp3", "music");

    EXPECT_EQ(MoveFileToTrash(dir.File("gone.mp3")), RemoveResult::Trashed);
    EXPECT_FALSE(FileExists(dir.File("gone.mp3")));
    EXPECT_EQ(ReadWholeFile(data.File("share/Trash/files/gone.mp3")), "music");

    int error = 0;
    EXPECT_EQ(MoveFileToTrash(dir.File("gone.mp3"), &error), RemoveResult::Failed);
    EXPECT_EQ(error, ENOENT);

    if (previous != nullptr)
        setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}
