// The download list kept between runs: what goes in comes back, and a
// damaged file is set aside instead of being trusted.
#include "download/DownloadListStore.h"

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
    // as we write it.
    std::vector<DownloadRecord> huge(300, SampleList()[1]);
    for (DownloadRecord& record : huge)
        record.strUrl = record.validators.strUrl = "http://127.0.0.1/" + std::string(60000, 'a') + ".mp3";
    const std::string tooLarge = SerializeDownloadList(huge);
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
