#include "library/TagCache.h"
#include "library/TagScan.h"

#include "Mp3Fixture.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using mp3_fixture::TagKind;
using mp3_fixture::WriteMp3;

namespace {

struct ScanResult {
    TagScanStats stats;
    std::vector<TagScanRow> rows;
    int batches = 0;
};

ScanResult Scan(const std::string& folder, const std::vector<std::string>& names, TagCache* cache,
                std::size_t maxBatch = 100)
{
    ScanResult result;
    result.stats = ScanFolderTags(folder, names, cache, {}, std::chrono::milliseconds(1000), maxBatch,
                                  [&](std::vector<TagScanRow>&& batch) {
                                      ++result.batches;
                                      for (TagScanRow& row : batch)
                                          result.rows.push_back(std::move(row));
                                      return true;
                                  });
    return result;
}

}  // namespace

TEST(TagScan, DeliversEveryRowInOrderInBatches)
{
    testing_support::TempDir dir;
    const std::string folder = dir.Str() + "/";
    std::vector<std::string> names;
    for (int i = 0; i < 7; ++i) {
        names.push_back("song" + std::to_string(i) + ".mp3");
        WriteMp3(folder + names.back(), TagKind::Id3v24, {"Title " + std::to_string(i), "Artist", "Album"}, 3);
    }
    names.push_back("gone.mp3");  // removed between the listing and the scan
    const ScanResult result = Scan(folder, names, nullptr, 3);
    ASSERT_EQ(result.rows.size(), names.size());
    EXPECT_EQ(result.batches, 3);
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(result.rows[i].row, static_cast<int>(i));
        EXPECT_EQ(result.rows[i].name, names[i]);
    }
    EXPECT_EQ(result.rows[4].tags.title, "Title 4");
    EXPECT_EQ(result.rows[7].tags, TrackTags{});
    EXPECT_EQ(result.stats.read, 7u);
}

TEST(TagScan, StopsWhenTheReceiverOrTheTokenSaysSo)
{
    testing_support::TempDir dir;
    const std::string folder = dir.Str() + "/";
    std::vector<std::string> names;
    for (int i = 0; i < 5; ++i) {
        names.push_back(std::to_string(i) + ".mp3");
        WriteMp3(folder + names.back(), TagKind::None, {}, 3);
    }
    TagCache cache(TagCacheFile(dir.File("cache")));
    int batches = 0;
    const TagScanStats refused = ScanFolderTags(folder, names, &cache, {}, std::chrono::milliseconds(1000), 2,
                                                [&](std::vector<TagScanRow>&&) { return ++batches < 1; });
    EXPECT_TRUE(refused.stopped);
    EXPECT_EQ(batches, 1);
    EXPECT_EQ(refused.read, 2u);
    // A stopped scan saves nothing: the next one reads everything.
    EXPECT_FALSE(std::filesystem::exists(TagCacheFile(dir.File("cache"))));

    std::stop_source stop;
    stop.request_stop();
    const TagScanStats stopped = ScanFolderTags(folder, names, &cache, stop.get_token(),
                                                std::chrono::milliseconds(1000), 2,
                                                [](std::vector<TagScanRow>&&) { return true; });
    EXPECT_TRUE(stopped.stopped);
    EXPECT_EQ(stopped.read, 0u);
}

TEST(TagScan, CacheServesUnchangedFilesAndRereadsChangedOnes)
{
    testing_support::TempDir dir;
    const std::string folder = dir.File("Music") + "/";
    std::filesystem::create_directories(folder);
    const std::string cacheFile = TagCacheFile(dir.File("cache"));
    WriteMp3(folder + "a.mp3", TagKind::Id3v23, {"First", "Band", "One"});
    WriteMp3(folder + "b.mp3", TagKind::Id3v23, {"Second", "Band", "One"});
    WriteMp3(folder + "c\tx.mp3", TagKind::Id3v24, {"Tab\tand\nbreak\\", "Band", "One"});
    const std::vector<std::string> names = {"a.mp3", "b.mp3", "c\tx.mp3"};

    TagCache cold(cacheFile);
    const ScanResult first = Scan(folder, names, &cold);
    EXPECT_EQ(first.stats.read, 3u);
    EXPECT_EQ(first.stats.fromCache, 0u);
    ASSERT_TRUE(std::filesystem::exists(cacheFile));

    // A new cache object, as after a restart: everything comes from the file.
    TagCache warm(cacheFile);
    const ScanResult second = Scan(folder, names, &warm);
    EXPECT_EQ(second.stats.read, 0u);
    EXPECT_EQ(second.stats.fromCache, 3u);
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(second.rows[i].tags, first.rows[i].tags) << names[i];
    EXPECT_EQ(second.rows[2].tags.title, "Tab\tand\nbreak\\");

    // Same size, new time; and a new size with the old time.
    WriteMp3(folder + "a.mp3", TagKind::Id3v23, {"Fir5t", "Band", "One"});
    std::filesystem::last_write_time(folder + "a.mp3",
                                     std::filesystem::last_write_time(folder + "a.mp3") + std::chrono::seconds(5));
    const auto bTime = std::filesystem::last_write_time(folder + "b.mp3");
    WriteMp3(folder + "b.mp3", TagKind::Id3v23, {"Second, longer", "Band", "One"});
    std::filesystem::last_write_time(folder + "b.mp3", bTime);
    TagCache again(cacheFile);
    const ScanResult third = Scan(folder, names, &again);
    EXPECT_EQ(third.stats.read, 2u);
    EXPECT_EQ(third.rows[0].tags.title, "Fir5t");
    EXPECT_EQ(third.rows[1].tags.title, "Second, longer");

    // A file gone from the folder leaves the cache at the next whole scan.
    TagCache pruned(cacheFile);
    Scan(folder, {"a.mp3"}, &pruned);
    EXPECT_EQ(pruned.Size(), 1u);
}

TEST(TagCache, DamagedFileLinesAreSkipped)
{
    testing_support::TempDir dir;
    const std::string file = dir.File("tags.txt");
    {
        std::ofstream out(file, std::ios::binary);
        out << "Tunorva tag cache 1\n"
            << "10\t20\t3\t128\t/m/good.mp3\tT\tA\tB\n"
            << "10\t20\t3\t128\t/m/short.mp3\tT\tA\n"
            << "x\t20\t3\t128\t/m/bad-size.mp3\tT\tA\tB\n"
            << "10\t20\t-7\t128\t/m/bad-length.mp3\tT\tA\tB\n"
            << "10\t20\t3\t128\t/m/bad-escape.mp3\tT\\q\tA\tB\n"
            << "10\t20\t3\t128\t\tT\tA\tB\n"
            << "11\t21\t-1\t-1\t/m/unknown.mp3\t\t\t\n";
    }
    TagCache cache(file);
    cache.Load();
    EXPECT_EQ(cache.Size(), 2u);
    EXPECT_EQ(cache.Find("/m/good.mp3", 10, 20), (TrackTags{"T", "A", "B", 3, 128}));
    EXPECT_FALSE(cache.Find("/m/good.mp3", 10, 21));
    EXPECT_FALSE(cache.Find("/m/good.mp3", 11, 20));
    EXPECT_EQ(cache.Find("/m/unknown.mp3", 11, 21), TrackTags{});

    // Another header: not our file, nothing is loaded.
    std::ofstream(file, std::ios::binary) << "something else\n10\t20\t3\t128\t/m/good.mp3\tT\tA\tB\n";
    cache.Load();
    EXPECT_EQ(cache.Size(), 0u);
}

TEST(TagCache, AHugeLineCostsNoMemoryAndAFifoNoWait)
{
    testing_support::TempDir dir;
    const std::string file = dir.File("tags.txt");
    const std::string good = "10\t20\t3\t128\t/m/good.mp3\tT\tA\tB\n";
    dir.Write("tags.txt", "Tunorva tag cache 1\n" + good);
    {
        // 128 MiB of one line (a hole, so it costs no disk), then a good line.
        const int fd = ::open(file.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        const off_t hole = 128 << 20;
        ASSERT_EQ(::ftruncate(fd, hole), 0);
        const std::string after = "\n" + std::string(good).replace(good.find("good"), 4, "next");
        ASSERT_EQ(::pwrite(fd, after.data(), after.size(), hole), static_cast<ssize_t>(after.size()));
        ::close(fd);
    }
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    TagCache cache(file);
    cache.Load();
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    EXPECT_EQ(cache.Size(), 2u) << "the lines around the long one count";
    EXPECT_TRUE(cache.Find("/m/next.mp3", 10, 20));
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 32 * 1024) << "kB held while reading";

    std::filesystem::remove(file);
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    auto load = std::async(std::launch::async, [&] { cache.Load(); });
    if (load.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ADD_FAILURE() << "the scan waits on the cache file";
        ::close(::open(file.c_str(), O_WRONLY | O_NONBLOCK));
    }
    load.get();
    EXPECT_EQ(cache.Size(), 0u);
}
