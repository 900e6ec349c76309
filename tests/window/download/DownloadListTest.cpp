// Downloads through the real window: a search against a scripted engine, the
// popup menus, the toolbar, the figures in the rows and the end of each row.
#include "ShellFixture.h"

#include "window/download/DownloadController.h"
#include "window/download/ListCtrlEx.h"
#include "window/download/DownloadsModel.h"
#include "window/search/FoundFilesModel.h"
#include "resources/Messages.h"
#include "resources/Resource.h"
#include "search/EngineConfig.h"
#include "window/ToolBar.h"

#include "DownloadTestData.h"
#include "ScriptedHttpServer.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// A download row with only its slot and name; the rest as a new row has it.
CDownloadsModel::Download NamedDownload(int slot, const char* name)
{
    CDownloadsModel::Download row;
    row.slot = slot;
    row.fileName = name;
    return row;
}

// An engine with one result page naming four files on a file server:
// "quick.mp3" comes at once, "slow.mp3" drips for a few seconds, "gone.mp3"
// is a 404 and the "held-*.mp3" files take minutes.
class DownloadListTest : public ShellTest {
protected:
    DownloadListTest()
        : m_quick(PatternBody(20000)),
          m_slow(PatternBody(400 * 1024)),
          m_files([this](const HttpExchange& request) {
              if (request.target.find("quick") != std::string::npos) {
                  // The two probes answer at once; a download a second later,
                  // so that its row can be looked at first.
                  ScriptedReply reply{HttpResponse(200, m_quick)};
                  reply.delayBeforeMs = ++m_quickRequests > 2 ? 1000 : 0;
                  return reply;
              }
              if (request.target.find("gone") != std::string::npos)
                  return ScriptedReply{HttpResponse(404, "gone")};
              ScriptedReply reply{HttpResponse(200, m_slow)};
              // The headers come at once; "held.mp3" then takes minutes.
              const bool held = request.target.find("held") != std::string::npos;
              reply.chunkSize = held ? 512 : 4096;
              reply.chunkDelayMs = held ? 500 : 15;
              return reply;
          }),
          m_engine([this](const HttpExchange&) {
              std::string page = "<html><body>";
              for (const char* name : {"quick.mp3", "slow.mp3", "gone.mp3", "held-a.mp3", "held-b.mp3", "held-c.mp3", "held-d.mp3"})
                  page += "<a href=\"" + m_files.Url(std::string("/files/") + name) + "\">x</a>\n";
              return ScriptedReply{HttpResponse(200, page + "</body></html>")};
          })
    {
    }

    void BeforeStart() override
    {
        ClearProxy();
        EngineConfig config = EngineConfig::Defaults();
        config.sites[0].host = m_engine.HostPort();
        config.sites[1].host = m_engine.HostPort();
        SetEngines(config);
        fs::create_directories(m_dir.Path() / "Music");
    }

    void TearDown() override
    {
        ShellTest::TearDown();
        EXPECT_TRUE(platform::WaitForWorkers(std::chrono::seconds(5)));
        SetEngines(EngineConfig::Defaults());
    }

    static void ClearProxy()
    {
        for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
            unsetenv(name);
        setenv("no_proxy", "*", 1);
    }

    // Searches and waits until every found file has been probed.
    void Search()
    {
        m_view->m_cboArtist->setEditText(QStringLiteral("abba"));
        QTest::mouseClick(m_view->m_btnFind, Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_view->m_btnFind->text() == QStringLiteral("Find It!"); }, 10000));
        // Both engines list the seven files; the two rows of "gone.mp3",
        // answered 404, are not available.
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_view->m_stcAvailableCount->text() == QStringLiteral("12"); }, 10000))
            << "still " << ::testing::PrintToString(m_view->m_stcAvailableCount->text());
    }

    int FileRow(const std::string& name) const
    {
        for (int row = 0; row < Files().GetItemCount(); ++row) {
            if (Files().GetItemText(row, CFoundFilesModel::Name) == name)
                return row;
        }
        return -1;
    }

    // A right click on `row` of `list`; when a menu opens, its entry `id` is
    // chosen with the keyboard (0: the menu is closed with Escape). The
    // enabled state of each entry as shown; empty when no menu opened.
    static std::map<unsigned, bool> RightClick(CListCtrlEx& list, int row, unsigned id)
    {
        std::map<unsigned, bool> shown;
        QTimer::singleShot(50, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr)
                return;
            for (QAction* action : menu->actions()) {
                shown[action->data().toUInt()] = action->isEnabled();
                if (id != 0 && action->data().toUInt() == id)
                    menu->setActiveAction(action);
            }
            QTest::keyClick(menu, id != 0 ? Qt::Key_Return : Qt::Key_Escape);
        });
        const QRect cell = list.visualRect(list.model()->index(row, 0));
        QTest::mouseClick(list.viewport(), Qt::RightButton, {}, cell.center());
        // A menu that opened has been answered when the click returns; one
        // that did not open leaves the timer to find nothing.
        QTest::qWait(100);
        return shown;
    }

    CListCtrlEx& Files() const { return *m_view->m_lstFiles; }
    CListCtrlEx& Downloads() const { return *m_view->m_lstDownloads; }
    fs::path Music(const std::string& name) const { return m_dir.Path() / "Music" / name; }

    std::string m_quick;
    std::string m_slow;
    std::atomic<int> m_quickRequests{0};
    ScriptedHttpServer m_files;
    ScriptedHttpServer m_engine;
};

TEST_F(DownloadListTest, FilesDownloadFromThePopupAndTheToolbarAndLandInTheMusicFolder)
{
    Search();
    // The popup: a right click on a row that is not selected shows nothing.
    const int quick = FileRow("quick.mp3");
    ASSERT_GE(quick, 0);
    Files().clearSelection();
    EXPECT_TRUE(RightClick(Files(), quick, 0).empty());
    Files().SelectItem(quick);
    EXPECT_EQ(RightClick(Files(), quick, ID_DOWNLOAD).size(), 4u);  // DownLoad, Copy URL, Preview, Stop preview
    ASSERT_EQ(Downloads().GetItemCount(), 1);
    EXPECT_EQ(Downloads().GetItemText(0, CDownloadsModel::FileName), "quick.mp3");
    EXPECT_EQ(Downloads().GetItemText(0, CDownloadsModel::FileSize), "20000");
    EXPECT_EQ(Downloads().GetItemSlot(0), 0) << "the first download takes slot 0";
    ASSERT_TRUE(QTest::qWaitFor([&] { return Downloads().GetItemCount() == 0; }, 10000)) << "done removes the row";
    EXPECT_TRUE(ReadWhole(Music("quick.mp3")) == m_quick);

    // The toolbar takes the first selected row; a 404 stays with its text.
    m_view->ShowSearchPage();
    Files().clearSelection();
    Files().SelectItem(FileRow("gone.mp3"));
    m_frame->m_wndToolBar->ButtonAction(ID_TB_DOWNLOAD_FILE)->trigger();
    ASSERT_EQ(Downloads().GetItemCount(), 1);
    const std::string failure = "The server answered 404";
    ASSERT_TRUE(QTest::qWaitFor([&] { return Downloads().GetItemText(0, CDownloadsModel::TimeLeft) == failure; }, 10000));
    EXPECT_EQ(Downloads().GetItemSlot(0), 1);
    // The found file says so while the failed row is in the list.
    EXPECT_EQ(Files().GetItemText(FileRow("gone.mp3"), CFoundFilesModel::Status), "Failed");
    EXPECT_FALSE(fs::exists(Music("gone.mp3")));
    EXPECT_TRUE(m_responder.Texts().empty()) << ::testing::PrintToString(m_responder.Texts());
}

TEST_F(DownloadListTest, ARowShowsItsFiguresPausesResumesAndFinishes)
{
    Search();
    Files().SelectItem(FileRow("slow.mp3"));
    m_view->OnDownloadFile();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Downloads().GetItemText(0, CDownloadsModel::TimeLeft).find("copied)") != std::string::npos; }, 10000));
    EXPECT_EQ(Downloads().GetItemText(0, CDownloadsModel::FileSize), std::to_string(m_slow.size()));
    EXPECT_NE(Downloads().GetItemText(0, CDownloadsModel::Received), "0");
    // The bar spans the file's size and shows the share received.
    const QModelIndex progress = m_view->m_pDownloads->index(0, CDownloadsModel::Progress);
    EXPECT_EQ(progress.data(ListRole::Range).toLongLong(), static_cast<qint64>(m_slow.size()));
    EXPECT_EQ(progress.data(ListRole::Percent).toLongLong(),
              progress.data(ListRole::Received).toLongLong() * 100 / static_cast<qint64>(m_slow.size()));
    EXPECT_NE(Downloads().GetItemText(0, CDownloadsModel::Rate).find("/Sec"), std::string::npos);

    // Cancel pauses: the popup then offers Resume only.
    m_view->ShowDownloadPage();
    Downloads().SelectItem(0);
    m_frame->m_wndToolBar->ButtonAction(ID_TB_CANCEL_DOWNLOAD)->trigger();
    EXPECT_TRUE(m_view->Downloads().Slot(0).paused);
    EXPECT_EQ(RightClick(Downloads(), 0, ID_POPUP_RESUME_DOWNLOAD),
              (std::map<unsigned, bool>{{ID_POPUP_CANCEL_DOWNLOAD, false},
                                        {ID_POPUP_CLEAR_DOWNLOAD, true},
                                        {ID_POPUP_RESUME_DOWNLOAD, true},
                                        {ID_POPUP_RETRY_DOWNLOAD, false}}));
    EXPECT_TRUE(m_view->Downloads().Slot(0).running);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Downloads().GetItemCount() == 0; }, 15000));
    EXPECT_TRUE(ReadWhole(Music("slow.mp3")) == m_slow);
    EXPECT_FALSE(m_view->Downloads().Slot(0).worker) << "done frees the slot";
}

TEST_F(DownloadListTest, ClearEndsTransfersFreesTheirSlotsAndLeavesNoPartialFiles)
{
    Search();
    for (const char* name : {"held-a.mp3", "held-b.mp3", "held-c.mp3", "held-d.mp3"}) {
        Files().clearSelection();
        Files().SelectItem(FileRow(name));
        m_view->OnDownloadFile();
    }
    ASSERT_EQ(Downloads().GetItemCount(), 4);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return fs::exists(Music(".held-d.mp3.part")) && fs::exists(Music(".held-a.mp3.part")); }, 10000));
    Downloads().SelectItem(0);
    m_view->OnCancelDownload();  // one of them paused
    Downloads().SelectItem(1);
    m_view->OnClearDownload();
    EXPECT_EQ(Downloads().GetItemCount(), 3);
    EXPECT_FALSE(m_view->Downloads().Slot(1).worker);
    m_view->OnClearAll();
    EXPECT_EQ(Downloads().GetItemCount(), 0);
    for (const DownloadSlot& slot : m_view->Downloads().AllSlots())
        EXPECT_FALSE(slot.worker);
    ASSERT_TRUE(QTest::qWaitFor([] { return platform::RunningWorkerCount() == 0; }, 5000));
    EXPECT_TRUE(fs::is_empty(m_dir.Path() / "Music")) << "the partial files go";
}

TEST_F(DownloadListTest, SlotsRingAndEveryCommandSaysWhenItHasNothingToActOn)
{
    // With nothing selected each command names what is missing.
    m_view->OnDownloadFile();
    m_view->OnCancelDownload();
    m_view->OnClearDownload();
    m_view->OnDownloadResumeItem(0, 0);
    m_view->OnCancelAll();  // an empty list: nothing to say
    m_view->OnClearAll();
    EXPECT_EQ(m_responder.Texts(), (std::vector<std::string>{"No such file to be downloaded.",
                                                            "No such file to be canceled.",
                                                            "No such file to be canceled.",
                                                            "No such file to be canceled."}));

    // Messages for a row that is not in the list.
    const int stray = 77;
    platform::Deliver(*m_frame, DownloadSize{stray, 10});
    platform::Deliver(*m_frame, DownloadProgress{stray, 5});
    platform::Deliver(*m_frame, DownloadTimeLeft{stray, 1, 2, 3});
    platform::Deliver(*m_frame, DownloadRate{stray, 1000});
    const auto texts = m_responder.Texts();
    EXPECT_EQ(std::vector<std::string>(texts.begin() + 4, texts.end()),
              (std::vector<std::string>{"Set progress rage can not be handled. Where ID= 77",
                                        "Step progreass can not be handled.",
                                        "Setting Time remaining can not be handled."}));

    // A declined download takes its own row, not the newest one.
    Downloads().DeleteAllItems();
    m_view->m_pDownloads->AddDownload(NamedDownload(12, "a.mp3"));
    m_view->m_pDownloads->AddDownload(NamedDownload(13, "b.mp3"));
    platform::Deliver(*m_frame, DownloadDeclined{12});
    ASSERT_EQ(Downloads().GetItemCount(), 1);
    EXPECT_EQ(Downloads().GetItemText(0, CDownloadsModel::FileName), "b.mp3");
    Downloads().DeleteAllItems();
}

}  // namespace
