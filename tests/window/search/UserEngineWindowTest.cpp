// The user's engines through the real window: two built-in engines and three
// of the user's, each started after the previous engine's first page, each
// counted on its own row, and all stopped by Stop.
#include "ShellFixture.h"
#include "window/search/SearchController.h"
#include "window/search/EnginesModel.h"

#include "window/download/ListCtrlEx.h"
#include "window/download/DownloadsModel.h"
#include "window/search/FoundFilesModel.h"
#include "resources/Resource.h"
#include "search/EngineConfig.h"
#include "search/UserEngineFolder.h"

#include "DownloadTestData.h"
#include "ScriptedHttpServer.h"

#include "window/MainFrame.h"
#include "window/desktop/DesktopServices.h"

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <filesystem>

#include <mutex>

using namespace testing_support;

namespace {

std::string Anchors(const std::vector<std::string>& hrefs)
{
    std::string html = "<html><body>";
    for (const std::string& href : hrefs)
        html += "<a href=\"" + href + "\">x</a>\n";
    return html + "</body></html>";
}

std::string Description(const std::string& name, const std::string& type, const std::string& templ)
{
    return "<OpenSearchDescription xmlns=\"http://a9.com/-/spec/opensearch/1.1/\"><ShortName>" + name +
           "</ShortName><Url type=\"" + type + "\" template=\"" + templ + "\"/></OpenSearchDescription>";
}

class RecordingLauncher final : public platform::Launcher {
public:
    RecordingLauncher() { m_previous = platform::SetLauncher(this); }
    ~RecordingLauncher() override { platform::SetLauncher(m_previous); }
    Result OpenDocument(const std::string& path) override
    {
        opened.push_back(path);
        return answer;
    }
    std::vector<std::string> opened;
    Result answer = Result::Started;

private:
    platform::Launcher* m_previous = nullptr;
};

// Types `text` into the next input dialog and accepts it, once it shows.
void AnswerNextInputDialog(const QString& text)
{
    QTimer::singleShot(0, [text] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<QInputDialog*>(widget); dialog && dialog->isVisible()) {
                dialog->setTextValue(text);
                dialog->accept();
                return;
            }
        }
        AnswerNextInputDialog(text);
    });
}

class UserEngineWindowTest : public ShellTest {
protected:
    UserEngineWindowTest()
        : m_files([](const HttpExchange&) { return ScriptedReply{HttpResponse(200, PatternBody(4000))}; }),
          m_engine1([this](const HttpExchange& r) { return Answer("one", r, Anchors({m_files.Url("/1.mp3")})); }),
          m_engine2([this](const HttpExchange& r) { return Answer("two", r, Anchors({m_files.Url("/2.mp3")})); }),
          m_pages([this](const HttpExchange& r) {
              // Every numbered page brings the same two files, one linked twice.
              return Answer("pages", r, Anchors({m_files.Url("/p1.mp3"), m_files.Url("/p1.mp3"), m_files.Url("/p2.mp3")}));
          }),
          m_feed([this](const HttpExchange& r) {
              return Answer("feed", r,
                            "<rss version=\"2.0\"><channel><title>F</title><item><enclosure url=\"" +
                                m_files.Url("/episode/7") + "\" type=\"audio/mpeg\"/></item></channel></rss>");
          }),
          m_last([this](const HttpExchange& r) { return Last(r); }),
          m_site([this](const HttpExchange& r) {
              if (r.target == "/")
                  return ScriptedReply{HttpResponse(
                      200, "<html><head><link rel=\"search\" type=\"application/opensearchdescription+xml\" "
                           "href=\"/d.xml\"></head></html>")};
              return ScriptedReply{HttpResponse(
                  200, Description("Added", "text/html", m_pages.Url("/added?q={searchTerms}&amp;i={startIndex}")))};
          })
    {
    }

    void BeforeStart() override
    {
        EngineConfig config = EngineConfig::Defaults();
        config.sites[0].host = m_engine1.HostPort();
        config.sites[1].host = m_engine2.HostPort();
        SetEngines(config);
        // File names give the order, not the engines' names.
        m_dir.Write("Engines/1-pages.xml",
                    Description("Zeta Pages", "text/html", m_pages.Url("/s?q={searchTerms}&amp;p={startPage}")));
        m_dir.Write("Engines/2-feed.xml", Description("Alpha Feed", "application/rss+xml", m_feed.Url("/f?q={searchTerms}")));
        m_dir.Write("Engines/3-last.xml", Description("Last", "text/html", m_last.Url("/s?q={searchTerms}")));
    }

    void SetUp() override
    {
        ShellTest::SetUp();
        if (!HasFatalFailure()) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return !m_view->UserEngineRowsPending(); }, 10000));
        }
    }

    void TearDown() override
    {
        ShellTest::TearDown();
        EXPECT_TRUE(platform::WaitForWorkers(std::chrono::seconds(5)));
        SetEngines(EngineConfig::Defaults());
    }

    virtual ScriptedReply Last(const HttpExchange& r) { return Answer("last", r, Anchors({m_files.Url("/l.mp3")})); }

    ScriptedReply Answer(const std::string& engine, const HttpExchange&, const std::string& body)
    {
        {
            std::lock_guard lock(m_mutex);
            if (std::find(m_order.begin(), m_order.end(), engine) == m_order.end())
                m_order.push_back(engine);
        }
        return ScriptedReply{HttpResponse(200, body)};
    }

    std::vector<std::string> Order()
    {
        std::lock_guard lock(m_mutex);
        return m_order;
    }

    void Search()
    {
        m_view->m_bPlaySound = 0;
        m_view->m_cboArtist->setEditText(QStringLiteral("abba"));
        m_view->m_cboSong->setEditText(QStringLiteral("gold"));
        QTest::mouseClick(m_view->m_btnFind, Qt::LeftButton);
    }

    QString Caption() const { return m_view->m_btnFind->text(); }

    ScriptedHttpServer m_files;
    ScriptedHttpServer m_engine1;
    ScriptedHttpServer m_engine2;
    ScriptedHttpServer m_pages;
    ScriptedHttpServer m_feed;
    ScriptedHttpServer m_last;
    ScriptedHttpServer m_site;
    std::mutex m_mutex;
    std::vector<std::string> m_order;
};

}  // namespace

TEST_F(UserEngineWindowTest, UserEnginesFollowTheBuiltInOnesInFileOrderWithRowsCountsAndTheirIcon)
{
    CListCtrlEx& engines = *m_view->m_lstEngines;
    ASSERT_EQ(engines.GetItemCount(), 6);
    EXPECT_EQ(engines.GetItemText(3, CEnginesModel::Name), "Zeta Pages");
    EXPECT_EQ(engines.GetItemText(4, CEnginesModel::Name), "Alpha Feed");
    EXPECT_EQ(engines.GetItemText(5, CEnginesModel::Name), "Last");
    EXPECT_EQ(engines.GetItemText(4, CEnginesModel::HomePage), "http://" + m_feed.HostPort() + "/");

    Search();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Caption() == QStringLiteral("Find It!"); }, 15000));
    EXPECT_EQ(Order(), (std::vector<std::string>{"one", "two", "pages", "feed", "last"}));
    // Page 2 brought nothing new and ended the walk; both pages counted.
    EXPECT_EQ(m_pages.RequestCount(), 2u);
    EXPECT_NE(m_pages.Requests()[0].target.find("/s?q=abba%20gold&p=1"), std::string::npos);
    EXPECT_EQ(engines.GetItemText(3, CEnginesModel::Files), "6");
    EXPECT_EQ(engines.GetItemText(4, CEnginesModel::Files), "1");
    EXPECT_EQ(engines.GetItemText(5, CEnginesModel::Files), "1");
    EXPECT_EQ(engines.GetItemImage(5), IMG_ENGINE_RESULTS);
    // The built-in rows read as they always have.
    EXPECT_EQ(engines.GetItemImage(0), IMG_ENGINE_RESULTS);

    CListCtrlEx& files = *m_view->m_lstFiles;
    ASSERT_EQ(files.GetItemCount(), 10);
    EXPECT_EQ(files.GetItemImage(0), IMG_HTTP_FILE);
    EXPECT_EQ(files.GetItemImage(2), IMG_USER_ENGINE_FILE);
    int episode = -1;
    for (int row = 0; row < files.GetItemCount(); ++row)
        episode = files.GetItemText(row, CFoundFilesModel::Name) == "7.mp3" ? row : episode;
    ASSERT_GE(episode, 0) << "an audio/mpeg enclosure is named as an MP3";
    EXPECT_EQ(m_view->m_stcFilesCount->text(), QStringLiteral("10"));

    // Its download lands under that name, though its address has no ".mp3".
    std::filesystem::create_directories(m_dir.Path() / "Music");
    files.SelectItem(episode);
    m_view->OnDownloadFile();
    const auto saved = m_dir.Path() / "Music" / "7.mp3";
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(saved) && std::filesystem::file_size(saved) == 4000; },
                                10000))
        << m_view->m_lstDownloads->GetItemText(0, CDownloadsModel::FileName) << " | " << m_view->m_lstDownloads->GetItemText(0, CDownloadsModel::TimeLeft);
}

// The last engine's page never finishes on its own.
class HeldLastEngine : public UserEngineWindowTest {
protected:
    ScriptedReply Last(const HttpExchange& r) override
    {
        Answer("last", r, {});
        ScriptedReply reply{"HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n<a href='/x.mp3'>"};
        reply.holdOpen = true;
        return reply;
    }
};

TEST_F(HeldLastEngine, StopStopsTheUserEnginesToo)
{
    Search();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_last.RequestCount() == std::size_t{1}; }, 10000));
    EXPECT_EQ(Caption(), QStringLiteral("Stop Searching"));
    QTest::mouseClick(m_view->m_btnFind, Qt::LeftButton);
    EXPECT_EQ(Caption(), QStringLiteral("Find It!"));
    ASSERT_TRUE(QTest::qWaitFor([] { return platform::RunningWorkerCount() == 0; }, 5000));
    EXPECT_EQ(m_last.RequestCount(), 1u);
    EXPECT_EQ(m_view->m_lstEngines->GetItemText(5, CEnginesModel::Files), "0");
}

TEST_F(HeldLastEngine, AnEngineRemovedDuringASearchLeavesItsRowWhenTheSearchEnds)
{
    ScriptedResponder boxes;
    Search();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_last.RequestCount() == std::size_t{1}; }, 10000));
    CListCtrlEx& engines = *m_view->m_lstEngines;
    engines.SelectItem(3);
    boxes.QueueAnswer(platform::IDYES);
    ASSERT_TRUE(m_frame->OnCmdMsg(ID_POPUP_REMOVE_ENGINE));
    EXPECT_FALSE(std::filesystem::exists(m_dir.Path() / "Engines/1-pages.xml"));
    // The search goes on with the engines it started with.
    QTest::qWait(200);
    EXPECT_EQ(engines.GetItemCount(), 6);
    QTest::mouseClick(m_view->m_btnFind, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return engines.GetItemCount() == 5; }, 10000));
    EXPECT_EQ(engines.GetItemText(3, CEnginesModel::Name), "Alpha Feed");
}

TEST_F(UserEngineWindowTest, ThePopupAddsAndRemovesEnginesAndOpensTheirFolder)
{
    ScriptedResponder boxes;
    RecordingLauncher launcher;
    CListCtrlEx& engines = *m_view->m_lstEngines;
    // The site's page names its description; the new engine takes its row in file-name order.
    AnswerNextInputDialog(QString::fromStdString(m_site.Url("/")));
    ASSERT_TRUE(m_frame->OnCmdMsg(ID_POPUP_ADD_ENGINE));
    ASSERT_TRUE(QTest::qWaitFor([&] { return engines.GetItemCount() == 7; }, 10000));
    EXPECT_EQ(engines.GetItemText(3, CEnginesModel::Name), "Zeta Pages");
    EXPECT_EQ(engines.GetItemText(6, CEnginesModel::Name), "Added");
    EXPECT_TRUE(std::filesystem::exists(m_dir.Path() / "Engines/Added.xml"));

    // A second add of the same name asks first; "No" keeps the file.
    AnswerNextInputDialog(QString::fromStdString(m_site.Url("/")));
    ASSERT_TRUE(m_frame->OnCmdMsg(ID_POPUP_ADD_ENGINE));
    ASSERT_TRUE(QTest::qWaitFor([&] { return boxes.Texts().size() == 1u; }, 10000));
    EXPECT_NE(boxes.Texts()[0].find("Added"), std::string::npos);

    // Remove asks too, and takes only the user's engines.
    engines.SelectItem(0);
    ASSERT_TRUE(m_frame->OnCmdMsg(ID_POPUP_REMOVE_ENGINE));
    EXPECT_EQ(engines.GetItemCount(), 7);
    boxes.QueueAnswer(platform::IDYES);
    engines.SelectItem(6);
    ASSERT_TRUE(m_frame->OnCmdMsg(ID_POPUP_REMOVE_ENGINE));
    EXPECT_TRUE(QTest::qWaitFor([&] { return engines.GetItemCount() == 6; }, 10000));
    EXPECT_FALSE(std::filesystem::exists(m_dir.Path() / "Engines/Added.xml"));
    EXPECT_EQ(boxes.Texts().size(), 3u);

    ASSERT_TRUE(m_frame->OnCmdMsg(ID_POPUP_EDIT_ENGINES_FOLDER));
    ASSERT_EQ(launcher.opened.size(), 1u);
    EXPECT_EQ(std::filesystem::path(launcher.opened[0]).lexically_normal(),
              (m_dir.Path() / "Engines/").lexically_normal());
    EXPECT_EQ(boxes.Texts().size(), 3u);
    // With nothing to open it, the user learns where the folder is.
    launcher.answer = platform::Launcher::Result::NoApplication;
    ASSERT_TRUE(m_frame->OnCmdMsg(ID_POPUP_EDIT_ENGINES_FOLDER));
    ASSERT_EQ(boxes.Texts().size(), 4u);
    EXPECT_EQ(boxes.Texts()[3], "No program could open the folder " + launcher.opened[1] + ".");
}

// A description that cannot be used is skipped and named in the status bar;
// the window starts as it always does.
class BrokenUserEngine : public UserEngineWindowTest {
protected:
    void BeforeStart() override
    {
        UserEngineWindowTest::BeforeStart();
        m_dir.Write("Engines/0-broken.xml", "<!DOCTYPE d [<!ENTITY x 'y'>]><OpenSearchDescription/>");
    }
};

TEST_F(BrokenUserEngine, IsSkippedWithAMessage)
{
    EXPECT_EQ(m_view->m_lstEngines->GetItemCount(), 6);
    const std::string status = m_frame->m_wndStatusBar->currentMessage().toStdString();
    EXPECT_NE(status.find("0-broken.xml"), std::string::npos) << status;
    EXPECT_NE(status.find("entities"), std::string::npos) << status;
}

// A folder of large descriptions is read on a worker: the window is there
// before its rows, and closing it while the folder is read neither hangs nor
// crashes.
class LargeEnginesFolder : public ShellTest {
protected:
    void BeforeStart() override
    {
        const std::string padding(kMaxDescriptionBytes - 4096, 'x');
        for (std::size_t i = 0; i < kMaxUserEngines; ++i) {
            m_dir.Write("Engines/" + std::to_string(10 + i) + ".xml",
                        "<OpenSearchDescription><ShortName>E" + std::to_string(i) + "</ShortName><Description>" +
                            padding + "</Description><Url type=\"text/html\" template=\"http://127.0.0.1:9/?q={searchTerms}\"/>"
                            "</OpenSearchDescription>");
        }
    }
};

TEST_F(LargeEnginesFolder, TheWindowShowsAtOnceAndTheRowsFollow)
{
    EXPECT_TRUE(m_frame->isVisible());
    EXPECT_EQ(m_view->m_lstEngines->GetItemCount(), CSearchController::kFirstUserEngineRow);
    EXPECT_TRUE(m_view->UserEngineRowsPending());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_view->UserEngineRowsPending(); }, 20000));
    ASSERT_EQ(m_view->m_lstEngines->GetItemCount(), CSearchController::kFirstUserEngineRow + static_cast<int>(kMaxUserEngines));
    EXPECT_EQ(m_view->m_lstEngines->GetItemText(CSearchController::kFirstUserEngineRow, CEnginesModel::Name), "E0");
}

TEST_F(LargeEnginesFolder, ClosingWhileTheFolderIsReadNeitherHangsNorCrashes)
{
    m_app.reset();
    EXPECT_TRUE(platform::WaitForWorkers(std::chrono::seconds(10)));
}
