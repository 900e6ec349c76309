// The search controller on its own, with no window: two engines and a
// user's engine on 127.0.0.1, a music folder, a download list and a stand-in
// for the frame that hands the workers' messages to the controller. What
// the window adds (the toggle, the labels, the lists) is tested through it
// in SearchWindowTest and UserEngineWindowTest.
#include "window/search/SearchController.h"

#include "download/DownloadItem.h"
#include "download/DownloadMessages.h"
#include "download/Mp3Head.h"
#include "platform/MessageChannel.h"
#include "platform/WorkerThreads.h"
#include "resources/Resource.h"
#include "search/EngineConfig.h"
#include "search/EngineReports.h"
#include "window/search/EnginesModel.h"
#include "window/search/FoundFilesModel.h"

#include "ScriptedHttpServer.h"
#include "TempDir.h"

#include <QObject>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// The frame's search handlers in short: each message becomes one call.
class SearchReceiver final : public platform::MessageReceiver {
public:
    explicit SearchReceiver(CSearchController& search) : m_search(search) {}

    platform::LRESULT OnMessage(unsigned message, platform::WPARAM wParam, platform::LPARAM lParam) override
    {
        if (const std::optional<EngineReport> report = ReadEngineReport(message, wParam, lParam)) {
            m_search.OnReport(*report);
            return 0;
        }
        platform::Dispatch<FileStatus, FileSizeProbed, UserEnginesRead>(
            message, wParam, lParam,
            platform::Overloaded{
                [&](const FileStatus& m) { m_search.OnFileStatus(m); },
                [&](const FileSizeProbed& m) { m_search.OnFileSizeProbed(m); },
                [&](const UserEnginesRead& m) { m_search.OnUserEnginesRead(m); },
            });
        return 0;
    }

private:
    CSearchController& m_search;
};

std::string Page(const std::vector<std::string>& hrefs)
{
    std::string page = "<html><body>";
    for (const std::string& href : hrefs)
        page += "<a href=\"" + href + "\">x</a>\n";
    return page + "</body></html>";
}

class SearchControllerTest : public ::testing::Test {
protected:
    SearchControllerTest()
        : m_engine1([this](const HttpExchange& request) {
              if (request.target.find("start=11") != std::string::npos)
                  return ScriptedReply{HttpResponse(200, Page({"/three.mp3"}))};
              if (m_holdFirstPage) {
                  ScriptedReply reply{"HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + Page({"/held.mp3"})};
                  reply.holdOpen = true;
                  return reply;
              }
              return ScriptedReply{HttpResponse(
                  200, Page({"/one.mp3", "/two.mp3", "about.html",
                             "http://" + m_engine1.HostPort() + "/index.asp?sartist=abba&start=11"}))};
          }),
          m_engine2([this](const HttpExchange&) {
              m_engine1PagesWhenSecondStarted = m_engine1.RequestCount();
              return ScriptedReply{HttpResponse(200, Page({"/four.mp3"}))};
          }),
          m_search(&m_parent, Owner()),
          m_receiver(m_search)
    {
        fs::create_directories(m_dir.Path() / "Music");
        std::ofstream(m_dir.File("Music/one.mp3")) << "in the library";
        setenv("no_proxy", "*", 1);
        platform::SetMainWindow(&m_receiver, &m_context);
    }

    ~SearchControllerTest() override
    {
        m_search.Stop();
        platform::ClearMainWindow(&m_receiver);
        EXPECT_TRUE(platform::WaitForWorkers(std::chrono::seconds(5)));
        SetEngines(EngineConfig::Defaults());
    }

    static EngineConfig Config(const ScriptedHttpServer& one, const ScriptedHttpServer& two)
    {
        EngineConfig config = EngineConfig::Defaults();
        config.sites[0].host = one.HostPort();
        config.sites[1].host = two.HostPort();
        return config;
    }

    CSearchController::Owner Owner()
    {
        // The engines' settings are read when the controller is made.
        SetEngines(Config(m_engine1, m_engine2));
        CSearchController::Owner owner;
        owner.statusText = [this](const std::string& text) { m_status.push_back(text); };
        owner.counts = [this](int found, int available) {
            m_found = found;
            m_available = available;
        };
        owner.progressStep = [this] { ++m_steps; };
        owner.progressPos = [](int) {};
        owner.fileFound = [this] { ++m_sounds; };
        owner.searchingChanged = [this](bool searching) { m_searching.push_back(searching); };
        owner.musicDir = [this] { return m_dir.Str() + "/Music/"; };
        owner.probe = [this](const DownloadItem& item, std::stop_token stop) { m_probes.push_back({item, stop}); };
        owner.downloadSlots = [this]() -> const std::array<DownloadSlot, kDownloadSlots>& { return m_slots; };
        return owner;
    }

    // The found files' names; the first engine's next page and the second
    // engine's first page run at once, so the last two may come either way.
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (int row = 0; row < m_search.Files().Count(); ++row)
            names.push_back(m_search.Files().File(row)->fileName);
        if (names.size() == 4)
            std::sort(names.begin() + 2, names.end());
        return names;
    }

    bool Searching() const { return !m_searching.empty() && m_searching.back(); }

    struct Probe {
        DownloadItem item;
        std::stop_token stop;
    };

    TempDir m_dir;
    bool m_holdFirstPage = false;
    std::atomic<std::size_t> m_engine1PagesWhenSecondStarted{0};
    ScriptedHttpServer m_engine1;
    ScriptedHttpServer m_engine2;
    std::vector<std::string> m_status;
    int m_found = -1;
    int m_available = -1;
    int m_steps = 0;
    int m_sounds = 0;
    std::vector<bool> m_searching;
    std::vector<Probe> m_probes;
    std::array<DownloadSlot, kDownloadSlots> m_slots{};
    QObject m_parent;
    QObject m_context;
    CSearchController m_search;
    SearchReceiver m_receiver;
};

TEST_F(SearchControllerTest, ASearchWalksItsEnginesInTurnAndKeepsARecordPerFoundFile)
{
    // A download of two.mp3's address is in the list; one.mp3 is in the folder.
    m_slots[7].inUse = true;
    m_slots[7].item.strUrl = m_engine1.Url("/two.mp3");

    m_search.Start({"abba", ""});
    EXPECT_TRUE(Searching());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Searching(); }, 10000)) << "the search ends by itself";

    // Rows in the order found; the second engine started after the first's
    // first page; one probe, one sound and one step per row.
    EXPECT_EQ(Names(), (std::vector<std::string>{"one.mp3", "two.mp3", "four.mp3", "three.mp3"}))
        << "the first engine's first page comes first";
    EXPECT_GE(m_engine1PagesWhenSecondStarted.load(), 1u);
    EXPECT_EQ(m_found, 4);
    EXPECT_EQ(m_sounds, 4);
    ASSERT_EQ(m_probes.size(), 4u);
    for (std::size_t i = 0; i < m_probes.size(); ++i) {
        EXPECT_EQ(m_probes[i].item.nItem, static_cast<int>(i));
        EXPECT_EQ(m_probes[i].item.nSearchId, m_search.SearchId());
        EXPECT_EQ(m_probes[i].item.strUrl, m_search.Files().File(static_cast<int>(i))->url);
    }

    // Each record knows its engine, its first text and what the library and
    // the download list say of it.
    const CFoundFilesModel& files = m_search.Files();
    EXPECT_EQ(files.File(0)->engine, 0);
    EXPECT_EQ(files.File(files.File(2)->fileName == "four.mp3" ? 2 : 3)->engine, 1);
    EXPECT_EQ(files.File(0)->image, IMG_HTTP_FILE);
    EXPECT_EQ(files.File(0)->probeTextId, IDS_NOT_CONNECTED);
    EXPECT_EQ(files.StateOf(0), IDS_STATUS_IN_LIBRARY);
    EXPECT_EQ(files.StateOf(1), IDS_STATUS_DOWNLOADING);
    EXPECT_EQ(files.StateOf(2), 0u);

    // The engine rows: the first engine had results; the listed third site
    // none. (The second's picture follows whichever page came last.)
    const CEnginesModel& engines = m_search.EngineRows();
    EXPECT_EQ(engines.Image(0), IMG_ENGINE_RESULTS);
    EXPECT_EQ(engines.Image(2), IMG_ENGINE_NO_RESULTS);
    EXPECT_GE(engines.EngineAt(1)->files, 3) << "a built-in row counts the search's files at its page";
}

TEST_F(SearchControllerTest, ProbeAnswersReachTheirRowsAndAnEarlierSearchsAreDropped)
{
    m_search.Start({"abba", ""});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Searching(); }, 10000));
    const std::uint64_t id = m_search.SearchId();
    Mp3Head head;
    head.known = true;
    head.mp3 = true;
    head.bitrate = 128;
    head.title = "Waterloo";
    head.fingerprint = "f";

    struct Case {
        const char* what;
        FileSizeProbed probed;
        FileStatus status;
        std::int64_t size;
        unsigned textId;
        int available;
    };
    const Case cases[] = {
        {"found", {0, id, 5000, head, true}, {0, id, "Avaliable", true, IDS_AVALIABLE, {}, true}, 5000, IDS_AVALIABLE, 1},
        {"no length", {1, id, 0, head, false}, {1, id, "Size unknown", false, IDS_STATUS_SIZE_UNKNOWN, {}, true}, -1,
         IDS_STATUS_SIZE_UNKNOWN, 1},
        {"an earlier search's", {2, id - 1, 777, head, true}, {2, id - 1, "Avaliable", true}, -1, IDS_NOT_CONNECTED, 1},
        {"a mirror of the first", {3, id, 5000, head, true}, {3, id, "x", true}, 5000, IDS_AVALIABLE, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_search.OnFileSizeProbed(c.probed);
        m_search.OnFileStatus(c.status);
        EXPECT_EQ(m_search.Files().SizeOf(c.probed.row), c.size);
        EXPECT_EQ(m_search.Files().File(c.probed.row)->probeTextId, c.textId);
        EXPECT_EQ(m_available, c.available);
    }
    EXPECT_EQ(m_search.Files().File(1)->title, "Waterloo") << "a file of no size still shows its head";
    EXPECT_EQ(m_search.Files().SourceCount(0), 2);
    EXPECT_EQ(m_search.Files().SourceCount(1), 0) << "a file of no known size is no one's mirror";
    EXPECT_FALSE(m_search.Files().File(2)->probeEnded) << "still waiting for its own probe";
    EXPECT_TRUE(m_search.Files().File(1)->probeEnded) << "the probe ended without a size";
}

TEST_F(SearchControllerTest, StopEndsTheEnginesAndANewSearchSilencesTheOldProbes)
{
    m_holdFirstPage = true;
    m_search.Start({"abba", ""});
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_engine1.RequestCount() == 1; }, 5000));
    m_search.Stop();
    EXPECT_FALSE(Searching());
    // The user's engines read meanwhile wait for no search.
    m_holdFirstPage = false;
    const std::uint64_t first = m_search.SearchId();
    m_search.Start({"abba", ""});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Searching(); }, 10000));
    EXPECT_GT(m_search.SearchId(), first);
    EXPECT_EQ(Names(), (std::vector<std::string>{"one.mp3", "two.mp3", "four.mp3", "three.mp3"}))
        << "the held page's file never came: its engine was stopped";
    EXPECT_EQ(m_engine2.RequestCount(), 1u) << "the stopped search never started its second engine";
    for (const Probe& probe : m_probes)
        EXPECT_FALSE(probe.stop.stop_requested());
    m_search.Start({"abba", ""});
    for (const Probe& probe : m_probes)
        EXPECT_TRUE(probe.stop.stop_requested()) << "a new search stops the last one's probes";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Searching(); }, 10000));
}

}  // namespace
