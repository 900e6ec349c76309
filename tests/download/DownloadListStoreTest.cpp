// The download list kept between runs: what goes in comes back, and a
// damaged file is set aside instead of being trusted.
#include "download/DownloadListStore.h"

#include "download/DownloadItem.h"

#include "TempDir.h"
#include "platform/WorkerThreads.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

std::vector<DownloadRecord> SampleList()
{
    DownloadRecord running;
    running.strUrl = "http://127.0.0.1:8080/a b/song%20one.mp3";
    running.strFileName = "song%20one.mp3";
    running.strSize = "5000000000";
    running.nReceived = 4000000000;
    running.validators = {running.strUrl, "\"tab\there\"", "Tue, 14 Nov 2023 22:13:20 GMT", 5000000000};
    running.nSlot = 499;
    running.otherSources = {"http://127.0.0.1:8081/b c/song%20one.mp3", "https://127.0.0.1/\tsong.mp3"};
    DownloadRecord failed;
    failed.strUrl = "http://127.0.0.1/x.mp3";
    failed.strFileName = "x.mp3";
    failed.state = DownloadRecord::State::Failed;
    failed.strStatus = "line one\nline two";
    failed.validators.strUrl = failed.strUrl;
    failed.nSlot = 0;
    DownloadRecord paused = failed;
    paused.state = DownloadRecord::State::Paused;
    paused.strStatus.clear();
    DownloadRecord queued = failed;
    queued.state = DownloadRecord::State::Queued;
    queued.strStatus.clear();
    return {running, failed, paused, queued};
}

void ExpectSame(const std::vector<DownloadRecord>& a, const std::vector<DownloadRecord>& b)
{
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].strUrl, b[i].strUrl);
        EXPECT_EQ(a[i].strFileName, b[i].strFileName);
        EXPECT_EQ(a[i].strSize, b[i].strSize);
        EXPECT_EQ(a[i].strStatus, b[i].strStatus);
        EXPECT_EQ(a[i].nReceived, b[i].nReceived);
        EXPECT_EQ(a[i].state, b[i].state);
        EXPECT_EQ(a[i].validators, b[i].validators);
        EXPECT_EQ(a[i].nSlot, b[i].nSlot);
        EXPECT_EQ(a[i].otherSources, b[i].otherSources);
    }
}

TEST(DownloadListStoreTest, EveryFieldComesBackAsItWasSaved)
{
    TempDir dir;
    DownloadListStore store(dir.File("data/Tunorva/downloads.list"));
    std::vector<DownloadRecord> loaded;
    EXPECT_EQ(store.Load(loaded), DownloadListStore::LoadResult::Missing);
    ASSERT_TRUE(store.Save(SampleList())) << "the folder is created";
    EXPECT_EQ(store.Load(loaded), DownloadListStore::LoadResult::Loaded);
    ExpectSame(loaded, SampleList());
    ASSERT_TRUE(store.Save({}));
    EXPECT_EQ(store.Load(loaded), DownloadListStore::LoadResult::Loaded);
    EXPECT_TRUE(loaded.empty());
}

TEST(DownloadListStoreTest, ListsSavedInTheBackgroundEndWithTheNewestOnTheDisk)
{
    TempDir dir;
    const std::string path = dir.File("data/Tunorva/downloads.list");
    std::vector<DownloadRecord> newest = SampleList();
    {
        DownloadListStore store(path);
        for (std::size_t count = 1; count <= 200; ++count) {
            std::vector<DownloadRecord> list(count, SampleList()[1]);
            list.back().nSlot = static_cast<int>(count);
            store.SaveInBackground(std::move(list));
        }
        ASSERT_TRUE(store.Flush());
        std::vector<DownloadRecord> loaded;
        ASSERT_EQ(store.Load(loaded), DownloadListStore::LoadResult::Loaded);
        ASSERT_EQ(loaded.size(), 200u);
        EXPECT_EQ(loaded.back().nSlot, 200);

        store.SaveInBackground(newest);  // still being written when the store goes
    }
    std::vector<DownloadRecord> loaded;
    ASSERT_EQ(DownloadListStore(path).Load(loaded), DownloadListStore::LoadResult::Loaded);
    ExpectSame(loaded, newest);
    EXPECT_FALSE(fs::exists(path + ".bad"));
    EXPECT_TRUE(platform::WaitForWorkers(std::chrono::seconds(10))) << "the writer ends once its lists are written";
}

TEST(DownloadListStoreTest, ADamagedListIsSetAsideAndNeverHalfTaken)
{
    const std::string whole = SerializeDownloadList(SampleList());
    const std::string cut = whole.substr(0, whole.size() - 4);  // a list written only in part
    std::string badNumber = whole;
    badNumber.replace(badNumber.find("4000000000"), 10, "4x00000000");
    std::string badEscape = whole;
    badEscape.replace(badEscape.find("%09"), 3, "%G9");
    std::string emptySource = whole;  // a tab at the end of the first row
    emptySource.insert(emptySource.find('\n', emptySource.find('\n') + 1), "\t");
    const std::pair<const char*, std::string> cases[] = {
        {"cut short", cut},
        {"bad number", badNumber},
        {"bad escape", badEscape},
        {"empty other address", emptySource},
        {"other file", "[Tunorva]\nMusicDir=/tmp\n"},
        {"binary", std::string("\0\x01\xFF", 3)},
        {"empty", ""},
        {"text after the end", whole + "running\t1\n"},
    };
    TempDir dir;
    DownloadListStore store(dir.File("downloads.list"));
    int n = 0;
    for (const auto& [name, text] : cases) {
        SCOPED_TRACE(name);
        dir.Write("downloads.list", text);
        std::vector<DownloadRecord> loaded;
        std::string aside;
        EXPECT_EQ(store.Load(loaded, &aside), DownloadListStore::LoadResult::Damaged);
        EXPECT_TRUE(loaded.empty());
        EXPECT_EQ(aside, dir.File(n == 0 ? "downloads.list.bad" : "downloads.list.bad." + std::to_string(n + 1)));
        EXPECT_FALSE(fs::exists(dir.File("downloads.list")));
        ++n;
    }
}

TEST(DownloadListStoreTest, AListThatIsNoFileOrTooLargeIsSetAsideWithoutWaiting)
{
    // Rows with long addresses, over the cap in all, but otherwise a list
    // as we write it (we no longer keep such addresses; another program or
    // an older one may have).
    const std::string one = SerializeDownloadList({SampleList()[1]});
    const std::size_t rowAt = one.find('\n') + 1;
    std::string row = one.substr(rowAt, one.find('\n', rowAt) + 1 - rowAt);
    const std::string url = SampleList()[1].strUrl;
    row.replace(row.find(url), url.size(), "http://127.0.0.1/" + std::string(60000, 'a') + ".mp3");
    std::string tooLarge = one.substr(0, rowAt);
    for (int i = 0; i < 300; ++i)
        tooLarge += row;
    tooLarge += "end\n";
    ASSERT_GT(tooLarge.size(), DownloadListStore::kMaxDownloadListBytes);

    TempDir dir;
    const std::string path = dir.File("downloads.list");
    DownloadListStore store(path);
    for (const char* kind : {"fifo", "too large", "link to /dev/zero"}) {
        SCOPED_TRACE(kind);
        if (kind[0] == 'f')
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        else if (kind[0] == 't')
            dir.Write("downloads.list", tooLarge);
        else
            fs::create_symlink("/dev/zero", path);
        std::vector<DownloadRecord> loaded;
        std::string aside;
        auto load = std::async(std::launch::async, [&] { return store.Load(loaded, &aside); });
        if (load.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            ADD_FAILURE() << "the window's start waits on the list";
            // Let the read end: a writer comes and goes.
            ::close(::open(path.c_str(), O_WRONLY | O_NONBLOCK));
        }
        EXPECT_EQ(load.get(), DownloadListStore::LoadResult::Damaged);
        EXPECT_TRUE(loaded.empty());
        EXPECT_FALSE(fs::exists(fs::symlink_status(path))) << "set aside";
        EXPECT_TRUE(fs::exists(fs::symlink_status(aside))) << aside;
        fs::remove(aside);
    }
}

TEST(DownloadListStoreTest, TheListLivesInTheUsersDataFolder)
{
    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string previous = saved != nullptr ? saved : "";
    setenv("XDG_DATA_HOME", "/data/home", 1);
    EXPECT_EQ(DownloadListStore::DefaultPath(), "/data/home/Tunorva/downloads.list");
    setenv("XDG_DATA_HOME", "relative", 1);  // not absolute: ignored
    setenv("HOME", std::getenv("HOME") != nullptr ? std::getenv("HOME") : "/root", 1);
    EXPECT_EQ(DownloadListStore::DefaultPath(), std::string(std::getenv("HOME")) + "/.local/share/Tunorva/downloads.list");
    if (saved != nullptr)
        setenv("XDG_DATA_HOME", previous.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}

}  // namespace

namespace {

// A row at every limit: its own address 8 KiB of bytes that are escaped,
// short fields too long to keep, a long failure text of two-byte
// characters, and more other addresses than a row keeps, some too long.
DownloadRecord RowAtTheLimits(int slot)
{
    DownloadRecord r;
    r.strUrl = "http://127.0.0.1/" + std::string(kMaxAddressBytes - 17, '%');
    r.strFileName = std::string(251, 'n') + ".mp3";
    r.strSize = std::string(2000, '9');
    r.validators = {r.strUrl, "\"" + std::string(3000, '\t') + "\"", "Tue, 14 Nov 2023 22:13:20 GMT", 1000};
    r.strStatus.clear();
    for (int i = 0; i < 1500; ++i)
        r.strStatus += "\xC3\xA9";  // é
    r.state = DownloadRecord::State::Failed;
    r.nSlot = slot;
    r.otherSources.push_back("http://127.0.0.1/" + std::string(kMaxAddressBytes, 'x'));  // too long
    for (int i = 0; i < 40; ++i)
        r.otherSources.push_back("http://127.0.0.1/" + std::to_string(i) + std::string(kMaxAddressBytes - 20, '%'));
    return r;
}

}  // namespace

// Whatever the rows hold, the list written is one the next start reads:
// other addresses are bounded per row (16, each at most 8 KiB) and take the
// room the rows leave; a row whose own address no server takes is not kept.
TEST(DownloadListStoreTest, EveryListWrittenIsReadBackAtItsLimits)
{
    std::vector<DownloadRecord> rows;
    for (int slot = 0; slot < 500; ++slot)
        rows.push_back(RowAtTheLimits(slot));
    DownloadRecord tooLong = SampleList()[1];
    tooLong.strUrl = "http://127.0.0.1/" + std::string(kMaxAddressBytes, 'y');
    rows.insert(rows.begin() + 10, tooLong);
    DownloadRecord manyShort = SampleList()[1];
    manyShort.otherSources.assign(5000, "http://127.0.0.1:8081/song.mp3");
    rows.insert(rows.begin(), manyShort);  // the first row: its room comes first

    TempDir dir;
    DownloadListStore store(dir.File("downloads.list"));
    ASSERT_TRUE(store.Save(rows));
    EXPECT_LE(fs::file_size(store.Path()), DownloadListStore::kMaxDownloadListBytes);
    std::vector<DownloadRecord> loaded;
    ASSERT_EQ(store.Load(loaded), DownloadListStore::LoadResult::Loaded);
    ASSERT_EQ(loaded.size(), 500u) << "every row but the one with the overlong address";
    EXPECT_EQ(loaded[0].otherSources, std::vector<std::string>(kMaxOtherSources, manyShort.otherSources[0]));
    std::size_t others = 0;
    for (std::size_t i = 1; i < loaded.size(); ++i) {
        const DownloadRecord& r = loaded[i];
        EXPECT_EQ(r.nSlot, static_cast<int>(i - 1));
        EXPECT_EQ(r.strUrl, rows[i < 11 ? i : i + 1].strUrl);
        EXPECT_TRUE(r.strSize.empty() && r.validators.strETag.empty()) << "fields too long to be real are not kept";
        EXPECT_EQ(r.validators.strLastModified, "Tue, 14 Nov 2023 22:13:20 GMT");
        EXPECT_EQ(r.strStatus, rows[1].strStatus.substr(0, 1024)) << "cut between two characters";
        EXPECT_LE(r.otherSources.size(), kMaxOtherSources);
        for (std::size_t k = 0; k < r.otherSources.size(); ++k)
            EXPECT_EQ(r.otherSources[k], rows[1].otherSources[k + 1]);
        others += r.otherSources.size();
    }
    EXPECT_GT(others, 0u) << "the room left is used";
}

// The same list handed over again is not written again.
TEST(DownloadListStoreTest, AListIsWrittenOnlyWhenItChanged)
{
    TempDir dir;
    DownloadListStore store(dir.File("downloads.list"));
    const std::size_t size = SerializeDownloadList(SampleList()).size();
    for (int i = 0; i < 20; ++i) {
        store.SaveInBackground(SampleList());
        ASSERT_TRUE(store.Flush());
    }
    EXPECT_EQ(store.BytesWritten(), size);
    std::vector<DownloadRecord> changed = SampleList();
    changed[0].nReceived += 1;
    store.SaveInBackground(changed);
    ASSERT_TRUE(store.Flush());
    EXPECT_EQ(store.BytesWritten(), 2 * size);
}
