// The download controller on its own, with no window: a model, a music
// folder, the scripted server and a stand-in for the frame that hands the
// workers' messages to the controller. What the window adds (popups,
// toolbar, found files) is tested through it in DownloadListTest and
// DownloadQueueTest.
#include "window/download/DownloadController.h"

#include "download/DownloadListStore.h"
#include "download/DownloadMessages.h"
#include "download/ResumeState.h"
#include "platform/Files.h"
#include "platform/MessageChannel.h"
#include "platform/WorkerThreads.h"
#include "resources/Messages.h"
#include "resources/Resource.h"
#include "settings/LanguagePack.h"
#include "settings/SettingsStore.h"
#include "window/download/DownloadsModel.h"

#include "DownloadTestData.h"
#include "ScriptedHttpServer.h"
#include "ScriptedResponder.h"
#include "TempDir.h"

#include <QObject>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// The frame's download handlers in short: each message becomes one call.
class DownloadReceiver final : public platform::MessageReceiver {
public:
    explicit DownloadReceiver(CDownloadController& downloads) : m_downloads(downloads) {}

    platform::LRESULT OnMessage(unsigned message, platform::WPARAM wParam, platform::LPARAM lParam) override
    {
        platform::Dispatch<DownloadSize, DownloadProgress, DownloadTimeLeft, DownloadRate, DownloadDone,
                           DownloadDeclined, DownloadFailed>(
            message, wParam, lParam,
            platform::Overloaded{
                [&](const DownloadSize& m) { m_downloads.OnSize(m.slot, m.length); },
                [&](const DownloadProgress& m) {
                    m_downloads.OnProgress(m.slot, static_cast<std::int64_t>(m.bytes));
                },
                [&](const DownloadTimeLeft& m) { m_downloads.OnTimeLeft(m.slot, m.seconds, m.received, m.length); },
                [&](const DownloadRate& m) { m_downloads.OnRate(m.slot, m.bytesPerSecond); },
                [&](const DownloadDone& m) { m_downloads.OnDone(m.slot); },
                [&](const DownloadDeclined& m) { m_downloads.OnDeclined(m.slot); },
                [&](const DownloadFailed& m) {
                    if (m_downloads.OnFailed(m.slot, m.text.c_str()))
                        m_downloads.DownloadsChanged();
                },
            });
        return 0;
    }

private:
    CDownloadController& m_downloads;
};

class DownloadControllerTest : public ::testing::Test {
protected:
    DownloadControllerTest()
        : m_body(PatternBody(64 * 1024)),
          m_server([this](const HttpExchange& request) {
              if (request.target.find("gone") != std::string::npos)
                  return ScriptedReply{HttpResponse(404, "gone")};
              ScriptedReply reply;
              reply.bytes = HttpResponse(200, m_body);
              // "held-*" files drip for a minute, until the test clears them.
              const bool held = request.target.find("held") != std::string::npos;
              reply.chunkSize = held ? 512 : 16 * 1024;
              reply.chunkDelayMs = held ? 500 : 5;
              return reply;
          }),
          m_downloads(m_model, CDownloadController::Owner{[this] { ++m_nListChanged; },
                                                          [this] { return m_dir.Str() + "/Music"; }}),
          m_receiver(m_downloads)
    {
        for (int column = CDownloadsModel::FileName; column <= CDownloadsModel::Id; ++column)
            m_model.InsertColumn(column, QString::number(column), LVCFMT_LEFT);
        fs::create_directories(m_dir.Path() / "Music");
        setenv("no_proxy", "*", 1);
        platform::SetMainWindow(&m_receiver, &m_context);
    }

    ~DownloadControllerTest() override
    {
        m_downloads.StopDownloadsForExit();
        platform::ClearMainWindow(&m_receiver);
        EXPECT_TRUE(platform::WaitForWorkers(std::chrono::seconds(5)));
    }

    bool Start(const std::string& name)
    {
        DownloadItem item;
        item.strUrl = m_server.Url("/files/" + name);
        return m_downloads.StartDownload(item, {name, "0", false});
    }

    int SlotOfRow(int row) const { return m_downloads.GetRowSlot(row); }
    std::string TimeLeft(int row) const { return m_model.Text(row, CDownloadsModel::TimeLeft).toStdString(); }
    fs::path Part(const std::string& name) const { return PartFilePath(m_dir.Str() + "/Music/" + name); }

    static void Touch(const fs::path& path) { std::ofstream(path) << "x"; }

    std::string m_body;
    ScriptedHttpServer m_server;
    TempDir m_dir;
    ScriptedResponder m_responder;
    QObject m_context;
    CDownloadsModel m_model;
    int m_nListChanged = 0;
    CDownloadController m_downloads;
    DownloadReceiver m_receiver;
};

TEST_F(DownloadControllerTest, TheRingWrapsSkipsSlotsInUseAndRefusesWhenAllAreTaken)
{
    m_downloads.SetLimits(1, 0);
    // One transfer runs; the other 499 rows wait without a worker.
    ASSERT_TRUE(Start("held-0.mp3"));
    for (int i = 1; i < kDownloadSlots; ++i)
        ASSERT_TRUE(Start("q" + std::to_string(i) + ".mp3"));
    ASSERT_EQ(m_model.Count(), kDownloadSlots);
    for (int row : {0, 1, 250, 499})
        EXPECT_EQ(SlotOfRow(row), row) << "slots go round in order";
    EXPECT_EQ(m_downloads.RunningDownloads(), 1);

    EXPECT_FALSE(Start("over.mp3"));
    EXPECT_EQ(m_responder.Texts(), std::vector<std::string>{"No search keyes avaliable !"});
    EXPECT_EQ(m_model.Count(), kDownloadSlots);

    // From 499 the ring goes back to the start and takes the free ones in turn.
    m_downloads.Clear(7);
    m_downloads.Clear(3);
    ASSERT_TRUE(Start("again-a.mp3"));
    ASSERT_TRUE(Start("again-b.mp3"));
    EXPECT_EQ(SlotOfRow(m_model.Count() - 2), 3);
    EXPECT_EQ(SlotOfRow(m_model.Count() - 1), 7);
    EXPECT_EQ(m_downloads.Slot(7).item.strFileName, "again-b.mp3");
    EXPECT_FALSE(Start("over.mp3"));
    EXPECT_EQ(m_responder.Texts().size(), 2u);
}

TEST_F(DownloadControllerTest, QueuedRowsStartInListOrderAsPlacesFreeAndLimitsAreClamped)
{
    m_downloads.SetLimits(2, 0);
    for (const char* name : {"held-a.mp3", "held-b.mp3", "held-c.mp3", "held-d.mp3", "held-e.mp3"})
        ASSERT_TRUE(Start(name));
    EXPECT_EQ(m_downloads.RunningDownloads(), 2);
    for (int row : {2, 3, 4})
        EXPECT_TRUE(m_downloads.Slot(SlotOfRow(row)).queued) << row;

    // A paused row and a cleared one each leave their place to the first
    // queued row in the list.
    m_downloads.Pause(SlotOfRow(1));
    EXPECT_TRUE(m_downloads.Slot(SlotOfRow(2)).running) << "held-c";
    EXPECT_EQ(TimeLeft(2), "0");
    EXPECT_TRUE(m_downloads.Slot(SlotOfRow(3)).queued);
    m_downloads.Clear(SlotOfRow(0));
    ASSERT_EQ(m_model.Count(), 4);
    EXPECT_TRUE(m_downloads.Slot(SlotOfRow(2)).running) << "held-d";
    EXPECT_TRUE(m_downloads.Slot(SlotOfRow(3)).queued);
    EXPECT_EQ(TimeLeft(3), "Queued");

    // A higher limit starts the rest at once.
    m_downloads.SetLimits(4, 0);
    EXPECT_EQ(m_downloads.RunningDownloads(), 3);
    EXPECT_FALSE(m_downloads.Slot(SlotOfRow(3)).queued);

    struct Case {
        int simultaneous, speed, expectedSimultaneous, expectedSpeed;
    };
    for (const Case& c : {Case{0, -1, 1, 0}, Case{3, 50, 3, 50},
                          Case{1000, 1 << 30, Settings::kMaxSimultaneousDownloads, Settings::kMaxSpeedLimitKBps}}) {
        m_downloads.SetLimits(c.simultaneous, c.speed);
        EXPECT_EQ(m_downloads.SimultaneousDownloads(), c.expectedSimultaneous);
        EXPECT_EQ(m_downloads.SpeedLimitKBps(), c.expectedSpeed);
    }
}

TEST_F(DownloadControllerTest, TheSavedListComesBackWithClashingSlotsMovedAndIsWrittenAgain)
{
    const std::string list = m_dir.File("downloads.list");
    auto record = [&](const std::string& name, DownloadRecord::State state, int slot) {
        DownloadRecord r;
        r.strUrl = m_server.Url("/files/" + name);
        r.strFileName = name;
        r.strSize = "65536";
        r.nReceived = 1000;
        r.state = state;
        r.strStatus = state == DownloadRecord::State::Failed ? "Failed to receive" : "";
        r.nSlot = slot;
        return r;
    };
    DownloadRecord mirrored = record("failed.mp3", DownloadRecord::State::Failed, 5);
    mirrored.otherSources = {m_server.Url("/mirror/failed.mp3")};
    ASSERT_TRUE(DownloadListStore(list).Save({mirrored,
                                              record("held-paused.mp3", DownloadRecord::State::Paused, 5),
                                              record("../escape.mp3", DownloadRecord::State::Queued, 6),
                                              record("held-queued.mp3", DownloadRecord::State::Queued, 900),
                                              record("held-next.mp3", DownloadRecord::State::Queued, 9)}));
    m_downloads.SetLimits(1, 0);
    m_downloads.RestoreDownloads(list);

    // The name that leaves the folder is dropped; a taken or impossible slot
    // gives way to the first free one; the order of the rows stays.
    ASSERT_EQ(m_model.Count(), 4);
    struct Row {
        int slot;
        std::string timeLeft;
    };
    const Row expected[] = {{5, "Failed to receive"}, {0, "Paused"}, {1, "0"}, {9, "Queued"}};
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(SlotOfRow(row), expected[row].slot) << row;
        EXPECT_EQ(TimeLeft(row), expected[row].timeLeft) << row;
        EXPECT_EQ(m_model.ReceivedOf(row), 1000) << row;
    }
    EXPECT_TRUE(m_downloads.Slot(5).failed);
    EXPECT_EQ(m_downloads.Slot(5).item.strOtherSources, mirrored.otherSources);
    EXPECT_TRUE(m_downloads.Slot(0).paused);
    EXPECT_TRUE(m_downloads.Slot(1).running) << "a queued row starts while there is room";
    EXPECT_GE(m_nListChanged, 1);

    // The ring goes on after the highest restored slot.
    ASSERT_TRUE(Start("held-new.mp3"));
    EXPECT_EQ(SlotOfRow(4), 10);

    m_downloads.StopDownloadsForExit();
    EXPECT_EQ(m_model.Count(), 0);
    std::vector<DownloadRecord> saved;
    ASSERT_EQ(DownloadListStore(list).Load(saved), DownloadListStore::LoadResult::Loaded);
    ASSERT_EQ(saved.size(), 5u);
    const std::pair<int, DownloadRecord::State> states[] = {{5, DownloadRecord::State::Failed},
                                                            {0, DownloadRecord::State::Paused},
                                                            {1, DownloadRecord::State::Running},
                                                            {9, DownloadRecord::State::Queued},
                                                            {10, DownloadRecord::State::Queued}};
    for (std::size_t i = 0; i < saved.size(); ++i) {
        EXPECT_EQ(saved[i].nSlot, states[i].first) << i;
        EXPECT_EQ(saved[i].state, states[i].second) << i;
    }
    EXPECT_EQ(saved[0].strStatus, "Failed to receive");
    EXPECT_EQ(saved[0].otherSources, mirrored.otherSources);
    EXPECT_EQ(saved[1].strFileName, "held-paused.mp3");
}

// After the download moved on, a Retry starts where it got to: an address
// that failed for good is not tried again, one whose tries were only spent
// comes after the rest. Thousands of links to one file keep sixteen.
TEST_F(DownloadControllerTest, ARetryNeverGoesBackToAnAddressThatFailedForGood)
{
    const auto url = [&](const std::string& name) { return m_server.Url("/files/held-" + name + ".mp3"); };
    DownloadItem item;
    item.strUrl = url("a");
    item.strOtherSources = {url("b"), url("c"), url("d"), url("e")};
    for (int i = 0; i < 5000; ++i)
        item.strOtherSources.push_back(url(std::to_string(i)));
    ASSERT_TRUE(m_downloads.StartDownload(item, {"held-a.mp3", "0", false}));
    const int slot = SlotOfRow(0);
    EXPECT_EQ(m_downloads.Slot(slot).item.strOtherSources.size(), kMaxOtherSources);

    m_downloads.OnSource(slot, url("b"), true);   // a's tries were spent
    m_downloads.OnSource(slot, url("d"), false);  // b failed for good, c was passed over
    const DownloadItem& now = m_downloads.Slot(slot).item;
    EXPECT_EQ(now.strUrl, url("d"));
    ASSERT_GE(now.strOtherSources.size(), 2u);
    EXPECT_EQ(now.strOtherSources.front(), url("e"));
    EXPECT_EQ(now.strOtherSources.back(), url("a"));
    EXPECT_EQ(std::count(now.strOtherSources.begin(), now.strOtherSources.end(), url("b")), 0);
    EXPECT_EQ(std::count(now.strOtherSources.begin(), now.strOtherSources.end(), url("c")), 0);
}

TEST_F(DownloadControllerTest, ClearDeletesTheLeftPartFileOfAFailedOrQueuedRowUnlessAnotherRowSavesToIt)
{
    const std::string list = m_dir.File("downloads.list");
    auto record = [&](const std::string& name, DownloadRecord::State state) {
        DownloadRecord r;
        r.strUrl = m_server.Url("/files/" + name);
        r.strFileName = name;
        r.state = state;
        r.strStatus = "Failed";
        return r;
    };
    ASSERT_TRUE(DownloadListStore(list).Save({record("held-run.mp3", DownloadRecord::State::Queued),
                                              record("a.mp3", DownloadRecord::State::Failed),
                                              record("b.mp3", DownloadRecord::State::Queued),
                                              record("c.mp3", DownloadRecord::State::Failed),
                                              record("c.mp3", DownloadRecord::State::Queued)}));
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) {
        Touch(Part(name));
        Touch(ResumeStatePath(Part(name).string()));
    }
    m_downloads.SetLimits(1, 0);
    m_downloads.RestoreDownloads(list);
    ASSERT_EQ(m_model.Count(), 5);
    ASSERT_TRUE(m_downloads.Slot(SlotOfRow(4)).queued);

    struct Step {
        int row;
        std::string name;
        bool partLeft;
    };
    // Rows are cleared from the back, so the earlier rows keep their numbers.
    for (const Step& step : {Step{3, "c.mp3", true}, Step{3, "c.mp3", false}, Step{2, "b.mp3", false},
                             Step{1, "a.mp3", false}}) {
        m_downloads.Clear(SlotOfRow(step.row));
        EXPECT_EQ(fs::exists(Part(step.name)), step.partLeft) << step.row << " " << step.name;
        EXPECT_EQ(fs::exists(ResumeStatePath(Part(step.name).string())), step.partLeft) << step.name;
    }
    EXPECT_EQ(m_model.Count(), 1);
    EXPECT_EQ(m_model.Text(0, CDownloadsModel::FileName), "held-run.mp3");
}

TEST_F(DownloadControllerTest, AWorkersReportsReachItsRowAndItsEndFreesTheSlot)
{
    ASSERT_TRUE(Start("song.mp3"));
    ASSERT_TRUE(Start("gone.mp3"));
    const int failedSlot = SlotOfRow(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_model.Count() == 1 && m_downloads.Slot(failedSlot).failed; }, 10000));
    EXPECT_EQ(ReadWhole(m_dir.Path() / "Music" / "song.mp3"), m_body);
    EXPECT_FALSE(m_downloads.Slot(0).inUse) << "done frees the slot";
    EXPECT_EQ(TimeLeft(0), "The server answered 404");
    EXPECT_EQ(m_model.Text(0, CDownloadsModel::Rate), "");

    // Reports for a slot without a row say so where the user would see it.
    m_downloads.OnSize(77, 10);
    m_downloads.OnProgress(77, 5);
    m_downloads.OnRate(77, 1000);
    EXPECT_EQ(m_responder.Texts(), (std::vector<std::string>{"Set progress rage can not be handled. Where ID= 77",
                                                            "Step progreass can not be handled."}));
    // A declined report without a slot takes the newest row.
    m_downloads.OnDeclined(std::nullopt);
    EXPECT_EQ(m_model.Count(), 0);
    EXPECT_FALSE(m_downloads.Slot(failedSlot).inUse);
}

TEST_F(DownloadControllerTest, AResumedTransferWaitsForAPlaceAndAQueuedOneAsksAboutItsFileWhenQueued)
{
    m_downloads.SetLimits(2, 0);
    for (const char* name : {"held-a.mp3", "held-b.mp3", "held-c.mp3"})
        ASSERT_TRUE(Start(name));
    m_downloads.Pause(SlotOfRow(0));
    ASSERT_TRUE(m_downloads.Slot(SlotOfRow(2)).running) << "the queued row took the paused one's place";

    // Resumed while both places are taken, the transfer waits as queued.
    m_downloads.Resume(SlotOfRow(0));
    EXPECT_EQ(m_downloads.RunningDownloads(), 2);
    EXPECT_TRUE(m_downloads.Slot(SlotOfRow(0)).queued);
    EXPECT_EQ(TimeLeft(0), "Queued");
    // Paused again it leaves the queue; resumed, it waits again and takes
    // the first place that frees.
    m_downloads.Pause(SlotOfRow(0));
    EXPECT_EQ(TimeLeft(0), "Paused");
    EXPECT_FALSE(m_downloads.Slot(SlotOfRow(0)).queued);
    // A change of language says the waiting states in the new one.
    m_dir.Write("Language/Test.ini", "[Tunorva]\n61287=In der Warteschlange\n61292=Angehalten\n");
    platform::SetProgramDirForTesting(m_dir.Str());
    SetLanguage("Test");
    m_downloads.ShowStatesInLanguage();
    EXPECT_EQ(TimeLeft(0), "Angehalten");
    SetLanguage("");
    platform::SetProgramDirForTesting("");
    EXPECT_EQ(TimeLeft(0), "Paused") << "the row keeps its state, not a text";
    m_downloads.Resume(SlotOfRow(0));
    EXPECT_EQ(TimeLeft(0), "Queued");
    m_downloads.Clear(SlotOfRow(1));
    EXPECT_TRUE(m_downloads.Slot(SlotOfRow(0)).running);
    EXPECT_FALSE(m_downloads.Slot(SlotOfRow(0)).paused);
    EXPECT_EQ(m_downloads.RunningDownloads(), 2);

    // A queued download whose file is in the folder asks now, not at its turn.
    const fs::path kept = m_dir.Path() / "Music" / "kept.mp3";
    const fs::path replaced = m_dir.Path() / "Music" / "replaced.mp3";
    std::ofstream(kept) << "old song";
    std::ofstream(replaced) << "old song";
    m_responder.QueueAnswer(platform::IDNO);
    EXPECT_FALSE(Start("kept.mp3"));
    EXPECT_EQ(m_model.Count(), 2) << "No leaves no row";
    m_responder.QueueAnswer(platform::IDYES);
    ASSERT_TRUE(Start("replaced.mp3"));
    ASSERT_EQ(m_responder.Texts().size(), 2u);
    EXPECT_NE(m_responder.Texts()[1].find("replaced.mp3"), std::string::npos);
    EXPECT_TRUE(m_downloads.Slot(SlotOfRow(2)).queued);

    // At its turn it replaces the file without asking again.
    m_downloads.Clear(SlotOfRow(1));
    m_downloads.Clear(SlotOfRow(0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_model.Count() == 0; }, 10000));
    EXPECT_EQ(ReadWhole(replaced), m_body);
    EXPECT_EQ(ReadWhole(kept), "old song");
    EXPECT_EQ(m_responder.Texts().size(), 2u);
}

TEST_F(DownloadControllerTest, TheWaitBeforeARetryCountsDownOnItsRowUntilTheNextReport)
{
    m_downloads.SetLimits(1, 0);
    ASSERT_TRUE(Start("held-a.mp3"));
    ASSERT_TRUE(Start("waiting.mp3"));
    const int slot = SlotOfRow(1);
    RetryNotice notice;
    notice.nTry = 2;
    notice.nOf = 5;
    notice.nWaitMs = 3000;
    notice.strCause = "Connection reset";
    notice.strText = "Retrying in 3 sec (try 2 of 5): Connection reset";
    m_downloads.OnRetrying(slot, notice);
    EXPECT_EQ(TimeLeft(1), notice.strText);
    EXPECT_TRUE(QTest::qWaitFor([&] { return TimeLeft(1) == "Retrying in 2 sec (try 2 of 5): Connection reset"; }, 2500));
    EXPECT_TRUE(QTest::qWaitFor([&] { return TimeLeft(1) == "Retrying in 1 sec (try 2 of 5): Connection reset"; }, 2500));

    // The next try's own report ends the count.
    m_downloads.OnTimeLeft(slot, 12, 1024, 2048);
    QTest::qWait(1200);
    EXPECT_EQ(TimeLeft(1), "12 sec (1.0 KB of 2.0 KB copied)");
}

// A paused row says "Paused" and shows no rate, even when figures the worker
// sent before the pause arrive after it; going on, it shows figures again.
// The row keeps numbers, so a change of language draws them in the new one.
TEST_F(DownloadControllerTest, APausedRowSaysSoAndItsFiguresFollowTheLanguage)
{
    ASSERT_TRUE(Start("held-a.mp3"));
    const int slot = SlotOfRow(0);
    m_downloads.OnRate(slot, 5850);
    m_downloads.OnTimeLeft(slot, 64, 193 * 1024, 457 * 1024 + 922);
    EXPECT_EQ(TimeLeft(0), "1 min 4 sec (193.0 KB of 457.9 KB copied)");
    EXPECT_EQ(m_model.Text(0, CDownloadsModel::Rate), "5.85 KB/Sec");

    m_dir.Write("Language/French.ini", "[Tunorva]\n117=%1 sur %2\n123=%1 Ko\n127=%1 (%2 copiés)\n32770=%1 Ko/s\n"
                                       "61292=En pause\n");
    platform::SetProgramDirForTesting(m_dir.Str());
    SetLanguage("French");
    m_downloads.ShowStatesInLanguage();
    EXPECT_EQ(TimeLeft(0), "1 min 4 sec (193,0 Ko sur 457,9 Ko copiés)");
    EXPECT_EQ(m_model.Text(0, CDownloadsModel::Rate), "5,85 Ko/s");

    m_downloads.Pause(slot);
    EXPECT_EQ(TimeLeft(0), "En pause");
    EXPECT_EQ(m_model.Text(0, CDownloadsModel::Rate), "");
    EXPECT_EQ(m_model.data(m_model.index(0, CDownloadsModel::TimeLeft), ListRole::State).toUInt(),
              static_cast<unsigned>(IDS_PAUSED));
    m_downloads.OnRate(slot, 4000);
    m_downloads.OnTimeLeft(slot, 30, 200 * 1024, 457 * 1024 + 922);
    EXPECT_EQ(TimeLeft(0), "En pause") << "a report sent before the pause brings no figures back";
    EXPECT_EQ(m_model.Text(0, CDownloadsModel::Rate), "");
    SetLanguage("");
    platform::SetProgramDirForTesting("");
    m_downloads.ShowStatesInLanguage();
    EXPECT_EQ(TimeLeft(0), "Paused");

    m_downloads.Resume(slot);
    EXPECT_EQ(TimeLeft(0), "0");
    EXPECT_EQ(m_model.Text(0, CDownloadsModel::Rate), "0");
    m_downloads.OnTimeLeft(slot, 30, 200 * 1024, 457 * 1024 + 922);
    EXPECT_EQ(TimeLeft(0), "30 sec (200.0 KB of 457.9 KB copied)");
}

}  // namespace
