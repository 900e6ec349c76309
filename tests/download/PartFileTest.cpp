// The part file a download writes into: taken over only while its path
// still names it.
#include "download/PartFile.h"

#include "DownloadTestData.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/file.h>

#include <atomic>
#include <filesystem>
#include <functional>

namespace {

// Runs once inside the next flock(2), before the lock is taken: the moment
// another download can finish and rename the part file into place.
std::atomic<std::function<void()>*> g_beforeLock{nullptr};

}  // namespace

// Stands in for the C library's flock in this test program only.
extern "C" int flock(int fd, int operation)
{
    using Real = int (*)(int, int);
    static const auto real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "flock"));
    if (std::function<void()>* hook = g_beforeLock.exchange(nullptr))
        (*hook)();
    return real(fd, operation);
}

namespace {

namespace fs = std::filesystem;

TEST(PartFileTest, APartFileRenamedIntoPlaceBeforeTheLockIsLeftAlone)
{
    testing_support::TempDir dir;
    const std::string part = dir.File(".song.mp3.part");
    dir.Write(".song.mp3.part", "a finished song");
    std::function<void()> finish = [&] { fs::rename(part, dir.File("song.mp3")); };
    g_beforeLock = &finish;

    PartFile file;
    ASSERT_EQ(file.Open(part), 0);
    EXPECT_EQ(g_beforeLock.load(), nullptr) << "the other download finished in between";
    EXPECT_EQ(file.Size(), 0u) << "a new part file, not the song";
    ASSERT_EQ(file.Write("new", 3), 0);
    file.Close();
    EXPECT_EQ(ReadWhole(dir.File("song.mp3")), "a finished song");
    EXPECT_EQ(ReadWhole(part), "new");
}

}  // namespace
