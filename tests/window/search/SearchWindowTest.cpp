// A whole search through the real window against scripted engines on 127.0.0.1.
#include "ShellFixture.h"

#include "window/search/EnginesModel.h"
#include "window/search/SearchController.h"

#include "window/download/ListCtrlEx.h"
#include "window/download/DownloadsModel.h"
#include "window/search/FoundFilesModel.h"
#include "resources/Resource.h"
#include "search/EngineConfig.h"

#include "ScriptedHttpServer.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>

using namespace testing_support;

namespace {

std::string Page(const std::string& anchors)
{
    return "<html><body>" + anchors + "</body></html>";
}

std::string Anchor(const std::string& href)
{
    return "<a href=\"" + href + "\">x</a>\n";
}

// Two engines and a file server, all on loopback; every file answers with a
// length of 123 except "nolength.mp3".
class SearchWindowTest : public ShellTest {
protected:
    SearchWindowTest()
        : m_files([](const HttpExchange& request) {
              if (request.target.find("nolength") != std::string::npos)
                  return ScriptedReply{HttpResponse(200, std::string(50, 'm'), {}, false)};
              return ScriptedReply{HttpResponse(200, std::string(123, 'm'))};
          }),
          m_engine1([this](const HttpExchange& request) { return Engine1(request); }),
          m_engine2([this](const HttpExchange& request) { return Engine2(request); })
    {
    }

    void BeforeStart() override
    {
        EngineConfig config = EngineConfig::Defaults();
        config.sites[0].host = m_engine1.HostPort();
        config.sites[1].host = m_engine2.HostPort();
        SetEngines(config);
        m_dir.Write("Sounds/NewMp3Found.wav", "RIFF");
    }

    void TearDown() override
    {
        ShellTest::TearDown();
        EXPECT_TRUE(platform::WaitForWorkers(std::chrono::seconds(5)));
        SetEngines(EngineConfig::Defaults());
    }

    virtual ScriptedReply Engine1(const HttpExchange& request)
    {
        if (request.target.find(".mp3") != std::string::npos)
            return ScriptedReply{HttpResponse(200, std::string(123, 'm'))};
        if (request.target.find("start=11") != std::string::npos)
            return ScriptedReply{HttpResponse(200, Page(Anchor(m_files.Url("/files/two.mp3")) +
                                                        Anchor(m_files.Url("/files/three.mp3"))))};
        return ScriptedReply{HttpResponse(
            200, Page(Anchor("/music/one.mp3") + Anchor(m_files.Url("/files/two.mp3")) + Anchor("about.html") +
                      Anchor(m_files.Url("/files/x.mp3/get.php")) +
                      Anchor("http://" + m_engine1.HostPort() + "/index.asp?sartist=abba&start=11")))};
    }

    virtual ScriptedReply Engine2(const HttpExchange&)
    {
        m_engine1RequestsWhenSecondStarted = m_engine1.RequestCount();
        return ScriptedReply{HttpResponse(200, Page(Anchor(m_files.Url("/files/nolength.mp3"))))};
    }

    void Search(const QString& artist, const QString& song = {})
    {
        m_view->m_cboArtist->setEditText(artist);
        m_view->m_cboSong->setEditText(song);
        QTest::mouseClick(m_view->m_btnFind, Qt::LeftButton);
    }

    QString Caption() const { return m_view->m_btnFind->text(); }
    CListCtrlEx& Files() const { return *m_view->m_lstFiles; }

    std::vector<std::string> Column(int column) const
    {
        std::vector<std::string> out;
        for (int row = 0; row < Files().GetItemCount(); ++row)
            out.push_back(Files().GetItemText(row, column));
        return out;
    }

    std::size_t IndexRequests(const ScriptedHttpServer& server) const
    {
        std::size_t n = 0;
        for (const HttpExchange& r : server.Requests())
            n += r.target.rfind("/index.asp", 0) == 0 && r.target.find(".mp3") == std::string::npos ? 1 : 0;
        return n;
    }

    ScriptedHttpServer m_files;
    ScriptedHttpServer m_engine1;
    ScriptedHttpServer m_engine2;
    std::atomic<std::size_t> m_engine1RequestsWhenSecondStarted{0};
};

TEST_F(SearchWindowTest, AWholeSearchFillsTheListProbesEveryRowAndEndsByItself)
{
    Search(QStringLiteral("abba"));
    EXPECT_EQ(Caption(), QStringLiteral("Stop Searching"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Caption() == QStringLiteral("Find It!"); }, 10000)) << "still " << ::testing::PrintToString(Caption());
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_view->m_stcAvailableCount->text() == QStringLiteral("4"); }, 10000)) << "still " << ::testing::PrintToString(m_view->m_stcAvailableCount->text());

    // Rows in arrival order; the first page's come first, duplicates stay,
    // a name that is not an MP3 name gives no row.
    const auto names = Column(2);
    ASSERT_EQ(names.size(), 5u);
    EXPECT_EQ(names[0], "one.mp3");
    EXPECT_EQ(names[1], "two.mp3");
    auto sorted = names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<std::string>{"nolength.mp3", "one.mp3", "three.mp3", "two.mp3", "two.mp3"}));
    EXPECT_EQ(Files().GetItemText(0, CFoundFilesModel::Type), "HTTP");
    EXPECT_EQ(Files().GetItemImage(0), IMG_HTTP_FILE);
    // "/music/one.mp3" is taken from the engine's root.
    EXPECT_EQ(Files().GetItemText(0, CFoundFilesModel::Url), "http://" + m_engine1.HostPort() + "/music/one.mp3");
    EXPECT_EQ(m_view->m_stcFilesCount->text(), QStringLiteral("5"));

    // Probes: a length makes the row "Avaliable"; no length ends the row's
    // probe with no size shown, and the file does not count as available.
    const auto noLengthRow = static_cast<int>(std::find(names.begin(), names.end(), "nolength.mp3") - names.begin());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return Files().GetItemText(noLengthRow, CFoundFilesModel::Status) == "Size unknown"; }, 10000))
        << Files().GetItemText(noLengthRow, CFoundFilesModel::Status);
    for (int row = 0; row < Files().GetItemCount(); ++row) {
        SCOPED_TRACE(names[static_cast<std::size_t>(row)]);
        if (names[static_cast<std::size_t>(row)] == "nolength.mp3") {
            EXPECT_EQ(Files().GetItemText(row, CFoundFilesModel::Status), "Size unknown");
            EXPECT_EQ(Files().GetItemText(row, CFoundFilesModel::Size), "");
            EXPECT_EQ(m_view->m_pFoundFiles->SizeOf(row), -1);
        } else {
            EXPECT_EQ(Files().GetItemText(row, CFoundFilesModel::Status), "Avaliable");
            EXPECT_EQ(Files().GetItemText(row, CFoundFilesModel::Size), "123");
        }
    }

    // The first engine walked its two pages, the second engine started only
    // after the first page and was asked once.
    EXPECT_EQ(IndexRequests(m_engine1), 2u);
    EXPECT_EQ(IndexRequests(m_engine2), 1u);
    EXPECT_GE(m_engine1RequestsWhenSecondStarted.load(), 1u);
    EXPECT_EQ(m_engine1.Requests()[0].target,
              "/index.asp?sartist=abba&ssong=&searchtype=or&ref=&page=results&search=Search&Start=1");
    EXPECT_EQ(m_engine2.Requests()[0].target, "/index.asp?s=abba&ref=&page=results&resize=&zoektype=or&start=1");
    EXPECT_EQ(m_view->m_lstEngines->GetItemImage(2), IMG_ENGINE_NO_RESULTS);

    // A found-file sound for the rows (one that comes while the last still
    // plays is skipped), and the keyword went into the history.
    const auto played = m_sound.Played();
    const auto sounds = std::count(played.begin(), played.end(), "file:" + m_view->m_strSoundsDir + "NewMp3Found.wav");
    EXPECT_GE(sounds, 1);
    EXPECT_LE(sounds, 5);
    ASSERT_GE(m_view->m_cboArtist->count(), 1);
    EXPECT_EQ(m_view->m_cboArtist->itemText(0), QStringLiteral("abba"));
    EXPECT_TRUE(m_responder.Texts().empty());
}

// A sound server may take seconds to play the found-file sound: the search
// never waits for it, and the sounds asked for meanwhile are skipped.
TEST_F(SearchWindowTest, ASoundThatTakesLongNeverHoldsTheSearchBack)
{
    m_sound.Hold();
    Search(QStringLiteral("abba"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Caption() == QStringLiteral("Find It!"); }, 10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_view->m_stcAvailableCount->text() == QStringLiteral("4"); }, 10000));
    EXPECT_EQ(Files().GetItemCount(), 5);
    const auto played = m_sound.Played();
    EXPECT_EQ(std::count(played.begin(), played.end(), "file:" + m_view->m_strSoundsDir + "NewMp3Found.wav"), 1)
        << "the first sound is still playing: every later one is skipped";
    m_sound.Release();
}

class OnePagePerEngine : public SearchWindowTest {
protected:
    ScriptedReply Engine1(const HttpExchange&) override
    {
        return ScriptedReply{HttpResponse(200, Page(Anchor(m_files.Url("/a.mp3")) + Anchor(m_files.Url("/b.mp3"))))};
    }
};

TEST_F(OnePagePerEngine, EngineListShowsEachEnginesStateAndCount)
{
    m_view->m_bPlaySound = 0;
    Search(QStringLiteral("abba"), QStringLiteral("waterloo"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Caption() == QStringLiteral("Find It!"); }, 10000)) << "still " << ::testing::PrintToString(Caption());
    CListCtrlEx& engines = *m_view->m_lstEngines;
    EXPECT_EQ(engines.GetItemImage(0), IMG_ENGINE_RESULTS);
    EXPECT_EQ(engines.GetItemText(0, CEnginesModel::Files), "2");
    EXPECT_EQ(engines.GetItemImage(1), IMG_ENGINE_RESULTS);
    EXPECT_EQ(engines.GetItemText(1, CEnginesModel::Files), "3");
    EXPECT_EQ(engines.GetItemImage(2), IMG_ENGINE_NO_RESULTS);
    EXPECT_NE(m_engine1.Requests()[0].target.find("&ssong=waterloo&searchtype=and&"), std::string::npos);
    const auto played = m_sound.Played();
    EXPECT_TRUE(std::none_of(played.begin(), played.end(),
                             [](const std::string& s) { return s.find("NewMp3Found") != std::string::npos; }))
        << "no found-file sound with the setting off";
}

// The first engine's first page never finishes on its own.
class HeldFirstPage : public SearchWindowTest {
protected:
    ScriptedReply Engine1(const HttpExchange& request) override
    {
        if (request.target.find("sartist=new") != std::string::npos)
            return ScriptedReply{HttpResponse(200, Page(Anchor(m_files.Url("/new.mp3"))))};
        ScriptedReply reply{"HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" +
                            Anchor(m_files.Url("/old.mp3"))};
        reply.holdOpen = true;
        return reply;
    }
};

TEST_F(HeldFirstPage, StopStopsAndNothingOfTheOldSearchReachesTheNewOne)
{
    Search(QStringLiteral("old"));
    // Workers wait for this thread in every message, so wait by running the loop.
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_engine1.RequestCount() == std::size_t{1}; }, 5000)) << "still " << ::testing::PrintToString(m_engine1.RequestCount());
    QTest::mouseClick(m_view->m_btnFind, Qt::LeftButton);  // Stop
    EXPECT_EQ(Caption(), QStringLiteral("Find It!"));
    // Once the stopped worker has ended, nothing of it can arrive any more.
    ASSERT_TRUE(QTest::qWaitFor([] { return platform::RunningWorkerCount() == 0; }, 5000));
    EXPECT_EQ(Files().GetItemCount(), 0);
    EXPECT_EQ(m_engine1.RequestCount(), 1u) << "no further request after Stop";
    EXPECT_EQ(m_engine2.RequestCount(), 0u) << "a stopped search never starts its second engine";

    Search(QStringLiteral("new"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Caption() == QStringLiteral("Find It!"); }, 10000)) << "still " << ::testing::PrintToString(Caption());
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_view->m_stcAvailableCount->text() == QStringLiteral("1"); }, 10000)) << "still " << ::testing::PrintToString(m_view->m_stcAvailableCount->text());
    EXPECT_EQ(Column(2), (std::vector<std::string>{"new.mp3", "nolength.mp3"}));

    // A press while the old search still runs takes the stop branch; the
    // press after it replaces the search, and the old one reports nothing.
    Search(QStringLiteral("old"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_engine1.RequestCount() == std::size_t{3}; }, 5000)) << "still " << ::testing::PrintToString(m_engine1.RequestCount());
    QTest::mouseClick(m_view->m_btnFind, Qt::LeftButton);
    Search(QStringLiteral("new"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Caption() == QStringLiteral("Find It!"); }, 10000)) << "still " << ::testing::PrintToString(Caption());
    ASSERT_TRUE(QTest::qWaitFor([] { return platform::RunningWorkerCount() == 0; }, 5000));
    EXPECT_EQ(Column(2), (std::vector<std::string>{"new.mp3", "nolength.mp3"}));
}

TEST_F(SearchWindowTest, NoKeywordsNoSearchAndCopyUrlNeedsASelection)
{
    Search(QStringLiteral("abba"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Caption() == QStringLiteral("Find It!"); }, 10000)) << "still " << ::testing::PrintToString(Caption());
    const std::size_t requests = m_engine1.RequestCount();

    Search(QString(), QString());
    EXPECT_EQ(m_responder.Texts(), (std::vector<std::string>{"No search keyes avaliable !"}));
    EXPECT_EQ(Files().GetItemCount(), 5) << "the list keeps its rows";
    EXPECT_EQ(m_engine1.RequestCount(), requests);

    QApplication::clipboard()->setText(QStringLiteral("untouched"));
    Files().clearSelection();
    m_view->OnCmdMsg(ID_TB_COPY_URL);
    EXPECT_EQ(m_responder.Texts().back(), "No Item Selected.");
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("untouched"));

    Files().SelectItem(1);
    m_view->OnCmdMsg(ID_TB_COPY_URL);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), Files().GetItemText(1, CFoundFilesModel::Url));
    EXPECT_EQ(m_responder.Texts().size(), 2u);

    // A right-click on the selected row opens the list's menu; its "&Copy URL"
    // copies the clicked row's URL.
    Files().SelectItem(2);
    QApplication::clipboard()->setText(QStringLiteral("untouched"));
    QTimer chooser;
    bool chosen = false;
    QObject::connect(&chooser, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr)
            return;
        for (QAction* action : menu->actions()) {
            if (action->text() == QStringLiteral("&Copy URL")) {
                chosen = true;
                menu->setActiveAction(action);
                QTest::keyClick(menu, Qt::Key_Return);
                return;
            }
        }
    });
    chooser.start(20);
    const QRect cell = Files().visualRect(Files().model()->index(2, 0));
    QTest::mouseClick(Files().viewport(), Qt::RightButton, Qt::NoModifier, cell.center());
    chooser.stop();
    EXPECT_TRUE(chosen);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), Files().GetItemText(2, CFoundFilesModel::Url));
}

TEST_F(SearchWindowTest, KeywordsReachTheEngineWholeAndTheHistoryKeepsThemAsTyped)
{
    m_view->m_bPlaySound = 0;
    Search(QStringLiteral("AC&DC #1"), QString::fromUtf8("50% + caf\xC3\xA9"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Caption() == QStringLiteral("Find It!"); }, 10000));
    ASSERT_GE(m_engine1.RequestCount(), 1u);
    EXPECT_EQ(m_engine1.Requests()[0].target,
              "/index.asp?sartist=AC%26DC%20%231&ssong=50%25%20%2B%20caf%C3%A9&searchtype=and&ref=&page=results&"
              "search=Search&Start=1");
    EXPECT_EQ(m_engine2.Requests().at(0).target,
              "/index.asp?s=AC%26DC%20%231&ref=&page=results&resize=&zoektype=and&start=1");
    EXPECT_EQ(m_view->m_cboArtist->itemText(0), QStringLiteral("AC&DC #1"));
    EXPECT_EQ(m_view->m_cboSong->itemText(0), QString::fromUtf8("50% + caf\xC3\xA9"));
}

// The first page takes a moment, so the test can press Find meanwhile.
class SlowFirstPage : public SearchWindowTest {
protected:
    ScriptedReply Engine1(const HttpExchange& request) override
    {
        ScriptedReply reply = SearchWindowTest::Engine1(request);
        reply.delayBeforeMs = 400;
        return reply;
    }
};

TEST_F(SlowFirstPage, FindWithEmptyBoxesLeavesTheRunningSearchAlone)
{
    m_view->m_bPlaySound = 0;
    Search(QStringLiteral("abba"));
    Search(QString(), QString());
    EXPECT_EQ(m_responder.Texts(), (std::vector<std::string>{"No search keyes avaliable !"}));
    EXPECT_EQ(Caption(), QStringLiteral("Stop Searching"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Caption() == QStringLiteral("Find It!"); }, 10000));
    ASSERT_EQ(m_engine2.RequestCount(), 1u);
    EXPECT_EQ(m_engine2.Requests()[0].target, "/index.asp?s=abba&ref=&page=results&resize=&zoektype=or&start=1");
    EXPECT_EQ(Files().GetItemCount(), 5);
}

// A sound that plays until the test lets it end.
TEST_F(SearchWindowTest, TheFileNameColumnShowsTheNameTheDownloadWillHave)
{
    m_view->m_bPlaySound = 0;
    for (const char* target : {"/Song%20One.mp3?token=1", "/%2e%2e%2Fx.mp3", "/dl?file=y.mp3", "/list/"}) {
        const std::string url = m_files.Url(target);
        platform::Deliver(*m_frame, Mp3Found{url, 1});
    }
    EXPECT_EQ(Column(2), (std::vector<std::string>{"Song One.mp3", "_x.mp3"}));
    EXPECT_EQ(Column(4), (std::vector<std::string>{m_files.Url("/Song%20One.mp3?token=1"), m_files.Url("/%2e%2e%2Fx.mp3")}));
    ASSERT_TRUE(QTest::qWaitFor([] { return platform::RunningWorkerCount() == 0; }, 10000));
}

TEST_F(SearchWindowTest, ASearchStopsAddingRowsAtItsBoundAndSaysSo)
{
    m_view->m_bPlaySound = 0;
    m_view->Search().SetMaxFoundFiles(2);
    for (const char* name : {"/first.mp3", "/last.mp3", "/more.mp3", "/most.mp3"}) {
        const std::string url = m_files.Url(name);
        platform::Deliver(*m_frame, Mp3Found{url, 1});
    }
    EXPECT_EQ(Column(2), (std::vector<std::string>{"first.mp3", "last.mp3"}));
    EXPECT_EQ(m_frame->m_wndStatusBar->currentMessage(),
              QStringLiteral("The search has found 2 files; no more are added to the list."));
    EXPECT_EQ(CSearchController::kMaxFoundFiles, 50000);

    const std::string page = "http://engine.test/index.asp?start=1";
    platform::Deliver(*m_frame, PageCapped{page});
    EXPECT_EQ(m_frame->m_wndStatusBar->currentMessage().toStdString(),
              "Only the first 5000 links of a result page were taken: " + page);
    platform::Deliver(*m_frame, PageBodyCapped{page});
    EXPECT_EQ(m_frame->m_wndStatusBar->currentMessage().toStdString(),
              "Only the first 32 MiB of a result page were read: " + page);
    ASSERT_TRUE(QTest::qWaitFor([] { return platform::RunningWorkerCount() == 0; }, 10000));
}

}  // namespace
