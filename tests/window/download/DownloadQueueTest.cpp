// The download list through the real window: the queue beyond the number of
// simultaneous downloads, Retry on a failed row, and the list kept across a
// closed window, restored at the next start (or set aside when damaged).
#include "ShellFixture.h"

#include "download/DownloadListStore.h"
#include "download/ResumeState.h"
#include "resources/Resource.h"
#include "window/download/DownloadController.h"
#include "window/download/ListCtrlEx.h"
#include "window/download/DownloadsModel.h"
#include "window/search/FoundFilesModel.h"

#include "DownloadTestData.h"
#include "ScriptedHttpServer.h"

#include <QAction>
#include <QMenu>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <filesystem>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

const std::string kETag = "\"song-1\"";

class DownloadQueueTest : public ShellTest {
protected:
    DownloadQueueTest()
        : m_body(PatternBody(256 * 1024)),
          m_server([this](const HttpExchange& request) {
              if (request.target.find("gone") != std::string::npos && !m_goneIsBack)
                  return ScriptedReply{HttpResponse(404, "gone")};
              const std::string range = request.Header("Range");
              ScriptedReply reply;
              if (range.rfind("bytes=", 0) == 0 && request.Header("If-Range") == kETag) {
                  const std::size_t from = std::stoul(range.substr(6));
                  reply.bytes = HttpResponse(206, m_body.substr(from),
                                             "ETag: " + kETag + "\r\nContent-Range: bytes " + std::to_string(from) + "-" +
                                                 std::to_string(m_body.size() - 1) + "/" +
                                                 std::to_string(m_body.size()) + "\r\n");
              } else {
                  reply.bytes = HttpResponse(200, m_body, "ETag: " + kETag + "\r\n");
              }
              const bool held = request.target.find("held") != std::string::npos;
              reply.chunkSize = held ? 1024 : 16 * 1024;
              reply.chunkDelayMs = held ? m_heldDelayMs.load() : 20;
              return reply;
          })
    {
    }

    void BeforeStart() override
    {
        for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
            unsetenv(name);
        setenv("no_proxy", "*", 1);
        fs::create_directories(m_dir.Path() / "Music");
    }

    void TearDown() override
    {
        ShellTest::TearDown();
        EXPECT_TRUE(platform::WaitForWorkers(std::chrono::seconds(5)));
    }

    void Start(const std::string& name)
    {
        m_view->m_item = DownloadItem{};
        m_view->m_item.nItem = -1;  // no found file: no name and no other addresses from a row
        m_view->m_item.strUrl = m_server.Url("/files/" + name);
        const int rows = Downloads().GetItemCount();
        m_view->OnDownload();
        ASSERT_EQ(Downloads().GetItemCount(), rows + 1);
    }

    // The row of the download of `name` (rows started here have no found
    // file to take their name from).
    int Row(const std::string& name) const
    {
        for (int row = 0; row < Downloads().GetItemCount(); ++row) {
            const int slot = m_view->Downloads().GetRowSlot(row);
            if (slot >= 0 && m_view->Downloads().Slot(slot).item.strFileName == name)
                return row;
        }
        return -1;
    }

    std::vector<DownloadRecord> SavedList() const
    {
        std::vector<DownloadRecord> records;
        DownloadListStore(m_dir.File("data/Tunorva/downloads.list")).Load(records);
        return records;
    }

    CListCtrlEx& Downloads() const { return *m_view->m_lstDownloads; }
    fs::path Music(const std::string& name) const { return m_dir.Path() / "Music" / name; }

    std::string m_body;
    std::atomic<bool> m_goneIsBack{false};
    std::atomic<int> m_heldDelayMs{200};  // "held-*" files drip until a test lets them go
    ScriptedHttpServer m_server;
};

TEST_F(DownloadQueueTest, RowsBeyondTheLimitWaitAsQueuedAndStartInOrder)
{
    m_view->Downloads().SetLimits(2, 0);
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3", "d.mp3"})
        Start(name);
    EXPECT_EQ(m_view->Downloads().RunningDownloads(), 2);
    EXPECT_EQ(Downloads().GetItemText(2, CDownloadsModel::TimeLeft), "Queued");
    EXPECT_EQ(Downloads().GetItemText(3, CDownloadsModel::TimeLeft), "Queued");
    ASSERT_TRUE(QTest::qWaitFor([&] { return SavedList().size() == 4u; }, 1000)) << "a new row is saved at once";
    const auto saved = SavedList();
    EXPECT_EQ(saved[3].state, DownloadRecord::State::Queued);

    // Which look at the rows first saw c and then d leave the queue: c is
    // started first, though both may leave within one look and their
    // requests, sent from two workers, may reach the server in either order.
    int look = 0;
    int cStarted = -1;
    int dStarted = -1;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            ++look;
            for (const auto& [name, started] : {std::pair{"c.mp3", &cStarted}, std::pair{"d.mp3", &dStarted}}) {
                const int row = Row(name);
                if (*started < 0 && (row < 0 || Downloads().GetItemText(row, CDownloadsModel::TimeLeft) != "Queued"))
                    *started = look;
            }
            return Downloads().GetItemCount() == 0;
        },
        30000));
    EXPECT_LE(cStarted, dStarted);
    std::vector<std::string> asked;
    for (const HttpExchange& request : m_server.Requests())
        asked.push_back(request.target);
    ASSERT_EQ(asked.size(), 4u);
    std::sort(asked.begin() + 2, asked.end());
    EXPECT_EQ(asked[2], "/files/c.mp3");
    EXPECT_EQ(asked[3], "/files/d.mp3");
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3", "d.mp3"})
        EXPECT_TRUE(ReadWhole(Music(name)) == m_body) << name;
    EXPECT_TRUE(QTest::qWaitFor([&] { return SavedList().empty(); }, 1000)) << "done removes the entries";
}

TEST_F(DownloadQueueTest, AFailedRowIsRetriedFromItsPopup)
{
    Start("gone.mp3");
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_view->Downloads().Slot(0).failed; }, 10000));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return SavedList().size() == 1u && SavedList()[0].state == DownloadRecord::State::Failed; }, 1000));
    Downloads().SelectItem(0);
    m_view->m_lstDownloads->m_bItemFailed = true;
    const auto menu = m_view->m_lstDownloads->BuildPopupMenu();
    ASSERT_TRUE(menu);
    bool retryEnabled = false;
    for (QAction* action : menu->actions())
        retryEnabled |= action->data().toUInt() == ID_POPUP_RETRY_DOWNLOAD && action->isEnabled() &&
                        action->text() == QStringLiteral("Re&try");
    EXPECT_TRUE(retryEnabled);

    m_goneIsBack = true;
    m_view->m_lstDownloads->OnPopupCommand(ID_POPUP_RETRY_DOWNLOAD);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Downloads().GetItemCount() == 0; }, 10000));
    EXPECT_TRUE(ReadWhole(Music("gone.mp3")) == m_body);
}

TEST_F(DownloadQueueTest, AClosedWindowKeepsItsListAndTheNextStartFinishesIt)
{
    Start("held-a.mp3");
    Start("held-b.mp3");
    Downloads().SelectItem(1);
    m_view->OnCancelDownload();
    ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(Music(".held-a.mp3.part.info")); }, 10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return fs::file_size(Music(".held-a.mp3.part")) > 2048; }, 10000));
    m_frame->close();  // the window closes
    m_app.reset();
    ASSERT_TRUE(platform::WaitForWorkers(std::chrono::seconds(5)));
    auto saved = SavedList();
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(saved[0].state, DownloadRecord::State::Running);
    EXPECT_EQ(saved[0].validators.strETag, kETag);
    EXPECT_EQ(saved[1].state, DownloadRecord::State::Paused);
    const auto kept = fs::file_size(Music(".held-a.mp3.part"));
    EXPECT_GT(kept, 0u) << "the part file stays for the next start";
    EXPECT_FALSE(fs::exists(Music("held-a.mp3")));

    // The next start: the running one goes on from its part file, the paused
    // one waits for Resume.
    m_heldDelayMs = 1;
    m_app = std::make_unique<CTunorvaApp>();
    ASSERT_TRUE(m_app->InitInstance());
    m_frame = m_app->MainWindow();
    m_view = m_frame->m_wndView;
    ASSERT_EQ(Downloads().GetItemCount(), 2);
    EXPECT_EQ(Downloads().GetItemText(1, CDownloadsModel::TimeLeft), "Paused");
    EXPECT_TRUE(m_view->Downloads().Slot(Downloads().GetItemSlot(1)).paused);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Row("held-a.mp3") < 0; }, 60000));
    EXPECT_TRUE(ReadWhole(Music("held-a.mp3")) == m_body);
    bool resumed = false;
    for (const HttpExchange& request : m_server.Requests())
        resumed |= request.target == "/files/held-a.mp3" && request.Header("Range") == "bytes=" + std::to_string(kept) + "-";
    EXPECT_TRUE(resumed) << "only the missing bytes were asked for";
    Downloads().SelectItem(0);
    m_view->OnClearDownload();
    ASSERT_TRUE(QTest::qWaitFor([&] { return platform::RunningWorkerCount() == 0 && SavedList().empty(); }, 5000));
    EXPECT_FALSE(fs::exists(Music(".held-b.mp3.part"))) << "Clear deletes the part file";

    // A restored row still waiting its turn has no worker: Clear deletes its
    // part file all the same.
    m_view->Downloads().SetLimits(1, 0);
    m_heldDelayMs = 200;
    Start("held-c.mp3");
    Start("held-d.mp3");
    m_dir.Write("Music/.held-d.mp3.part", m_body.substr(0, 1000));
    Downloads().SelectItem(1);
    m_view->OnClearDownload();
    EXPECT_FALSE(fs::exists(Music(".held-d.mp3.part")));
}

class DamagedListTest : public DownloadQueueTest {
protected:
    void BeforeStart() override
    {
        DownloadQueueTest::BeforeStart();
        fs::create_directories(m_dir.Path() / "data" / "Tunorva");
        m_dir.Write("data/Tunorva/downloads.list", "Tunorva download list 1\nrunning\tnot a number\n");
    }
};

TEST_F(DamagedListTest, IsSetAsideWithAMessage)
{
    ASSERT_EQ(m_responder.Texts().size(), 1u);
    const std::string bad = m_dir.File("data/Tunorva/downloads.list.bad");
    EXPECT_EQ(m_responder.Texts()[0], "The saved download list could not be read; it was set aside as '" + bad + "'.");
    EXPECT_TRUE(fs::exists(bad));
    EXPECT_EQ(Downloads().GetItemCount(), 0);
    Start("a.mp3");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Downloads().GetItemCount() == 0; }, 10000));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return fs::exists(m_dir.File("data/Tunorva/downloads.list")) && SavedList().empty(); }, 1000))
        << "a fresh list is written";
}

}  // namespace

TEST_F(DownloadQueueTest, FoundRowsSayWhatTheLibraryAndTheDownloadListHold)
{
    std::ofstream(Music("old.mp3")) << "ID3";
    m_view->Downloads().SetLimits(1, 0);
    // The rows of a search, probed against the same server.
    const std::vector<std::string> names = {"old.mp3", "gone.mp3", "held-a.mp3", "b.mp3", "new.mp3"};
    for (const std::string& name : names) {
        const std::string url = m_server.Url("/files/" + name);
        platform::Deliver(*m_frame, Mp3Found{url, 1});
    }
    const auto status = [&](const std::string& name) {
        const auto at = std::find(names.begin(), names.end(), name) - names.begin();
        return m_view->m_lstFiles->GetItemText(static_cast<int>(at), CFoundFilesModel::Status);
    };
    // The folder's new file is seen through the watcher.
    ASSERT_TRUE(QTest::qWaitFor([&] { return status("old.mp3") == "In library"; }, 5000));
    // The probes' answers do not cover a library state.
    ASSERT_TRUE(QTest::qWaitFor([&] { return status("new.mp3") == "Avaliable"; }, 10000));
    EXPECT_EQ(status("old.mp3"), "In library");

    Start("gone.mp3");
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_view->Downloads().Slot(0).failed; }, 10000));
    Start("held-a.mp3");
    Start("b.mp3");
    EXPECT_EQ(status("gone.mp3"), "Failed");
    EXPECT_EQ(status("held-a.mp3"), "Downloading");
    EXPECT_EQ(status("b.mp3"), "Queued");
    EXPECT_EQ(status("new.mp3"), "Avaliable");

    // Finished downloads are in the folder; a cleared failed row gives the
    // probe's text back.
    m_heldDelayMs = 0;
    ASSERT_TRUE(QTest::qWaitFor([&] { return Downloads().GetItemCount() == 1; }, 20000));
    EXPECT_EQ(status("held-a.mp3"), "In library");
    EXPECT_EQ(status("b.mp3"), "In library");
    Downloads().SelectItem(0);
    m_view->OnClearDownload();
    EXPECT_NE(status("gone.mp3"), "Failed");
    EXPECT_NE(status("gone.mp3"), "");

    // A file removed outside the program is noticed through the folder.
    fs::remove(Music("old.mp3"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return status("old.mp3") != "In library"; }, 5000));
    EXPECT_NE(status("old.mp3"), "");

    // A new search's rows start from the folder as it is.
    m_view->m_lstFiles->DeleteAllItems();
    const std::string url = m_server.Url("/other/b.mp3");
    platform::Deliver(*m_frame, Mp3Found{url, 1});
    EXPECT_EQ(m_view->m_lstFiles->GetItemText(0, CFoundFilesModel::Status), "In library");
}
