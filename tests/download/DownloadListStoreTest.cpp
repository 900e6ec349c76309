// The download list kept between runs: what goes in comes back, and a
// damaged file is set aside instead of being trusted.
#include "download/DownloadListStore.h"

#include "TempDir.h"
#include "platform/WorkerThreads.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

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
    const std::pair<const char*, std::string> cases[] = {
        {"cut short", cut},
        {"bad number", badNumber},
        {"bad escape", badEscape},
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
