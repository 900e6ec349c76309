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
        {"SONG.MP3", "*.mp3", true},      {".mp3", "*.mp3", true},        {"a.mp3.txt", "*.mp3", false},
        {"a.mp", "*.mp3", false},         {"Musicx.mp3", "Music*.mp3", true}, {"x.mp3", "Music*.mp3", false},
        {"ab", "a?", true},               {"a", "a?", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchesWildcard(c.name, c.pattern), c.matches) << c.name << " ~ " << c.pattern;
}

TEST(Files, RenameNeverReplacesAndDeleteGoesToTheTrash)
{
    TempDir dir;
    dir.Write("a.mp3", "a");
    dir.Write("b.mp3", "b");
    EXPECT_EQ(RenameNoReplace(dir.File("a.mp3"), dir.File("b.mp3")), EEXIST);
    EXPECT_EQ(ReadWholeFile(dir.File("b.mp3")), "b");
    EXPECT_EQ(RenameNoReplace(dir.File("a.mp3"), dir.File("c.mp3")), 0);
    EXPECT_EQ(RenameNoReplace(dir.File("a.mp3"), dir.File("d.mp3")), ENOENT);
    EXPECT_EQ(ErrorText(EEXIST), "File exists");

    // A data folder that does not exist yet, as on a fresh account.
    TempDir data;
    const char* previous = std::getenv("XDG_DATA_HOME");
    const std::string saved = previous != nullptr ? previous : "";
    setenv("XDG_DATA_HOME", data.File("share").c_str(), 1);
    EXPECT_EQ(MoveFileToTrash(dir.File("c.mp3")), RemoveResult::Trashed);
    EXPECT_EQ(ReadWholeFile(data.File("share/Trash/files/c.mp3")), "a");
    int error = 0;
    EXPECT_EQ(MoveFileToTrash(dir.File("c.mp3"), &error), RemoveResult::Failed);
    EXPECT_EQ(error, ENOENT);
    // A trash that cannot take the file leaves it in place: deleting it for
    // good is the caller's question to ask.
    TempDir blocked;
    blocked.Write("share/Trash", "a file, not a folder");
    setenv("XDG_DATA_HOME", blocked.File("share").c_str(), 1);
    dir.Write("d.mp3", "d");
    // Nothing of the failed try is left in the current folder either.
    TempDir current;
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(current.Path());
    EXPECT_EQ(MoveFileToTrash(dir.File("d.mp3")), RemoveResult::NoTrash);
    std::filesystem::current_path(before);
    EXPECT_EQ(ReadWholeFile(dir.File("d.mp3")), "d");
    EXPECT_TRUE(std::filesystem::is_empty(current.Path()));
    if (previous != nullptr)
        setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}
