// What the probes read from each found file's head, as the found-files list
// shows it: the audio columns, "Not an MP3", and one file at two addresses.
#include "ShellFixture.h"

#include "window/download/DownloadController.h"
#include "window/download/DownloadsModel.h"
#include "window/download/ListCtrlEx.h"
#include "window/search/FoundFilesModel.h"
#include "download/DownloadMessages.h"
#include "download/Mp3Head.h"
#include "search/EngineConfig.h"

#include "ScriptedHttpServer.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <fstream>
#include <sstream>

using namespace testing_support;

namespace {

std::string Mp3(const std::string& name)
{
    std::ifstream in(std::string(TUNORVA_TEST_MP3_DIR) + "/" + name, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Serves `file` with ranges.
ScriptedReply Ranged(const std::string& file, const HttpExchange& e)
{
    std::size_t first = 0;
    std::size_t last = 0;
    if (std::sscanf(e.Header("Range").c_str(), "bytes=%zu-%zu", &first, &last) != 2)
        return ScriptedReply{HttpResponse(200, file)};
    last = std::min(last, file.size() - 1);
    return ScriptedReply{HttpResponse(206, file.substr(first, last - first + 1),
                                      "Content-Range: bytes " + std::to_string(first) + "-" + std::to_string(last) +
                                          "/" + std::to_string(file.size()) + "\r\n")};
}

class FileHeadWindowTest : public ShellTest {
protected:
    FileHeadWindowTest()
        : m_cbr(Mp3("cbr64.mp3")),
          m_vbr(Mp3("vbr-xing.mp3")),
          m_first([this](const HttpExchange& e) {
              if (e.target == "/page.mp3")
                  return ScriptedReply{HttpResponse(200, "<!DOCTYPE html><html>gone</html>")};
              ScriptedReply reply = Ranged(e.target == "/vbr.mp3" ? m_vbr : m_cbr, e);
              // A download takes its time, so that its row stays in the list.
              if (e.Header("Range").empty()) {
                  reply.chunkSize = 1000;
                  reply.chunkDelayMs = 100;
              }
              return reply;
          }),
          m_second([this](const HttpExchange& e) { return Ranged(m_cbr, e); }),
          m_engine([this](const HttpExchange&) {
              std::string page = "<html><body>";
              for (const std::string& url : {m_first.Url("/a/steady.mp3"), m_first.Url("/page.mp3"),
                                            m_first.Url("/vbr.mp3"), m_second.Url("/b/steady.mp3")})
                  page += "<a href=\"" + url + "\">x</a>\n";
              return ScriptedReply{HttpResponse(200, page + "</body></html>")};
          })
    {
    }

    void BeforeStart() override
    {
        EngineConfig config = EngineConfig::Defaults();
        config.sites[0].host = config.sites[1].host = m_engine.HostPort();
        SetEngines(config);
        setenv("no_proxy", "*", 1);
    }

    void TearDown() override
    {
        ShellTest::TearDown();
        EXPECT_TRUE(platform::WaitForWorkers(std::chrono::seconds(5)));
        SetEngines(EngineConfig::Defaults());
    }

    int Row(const std::string& url) const
    {
        for (int row = 0; row < Files().Count(); ++row) {
            if (Files().Text(row, CFoundFilesModel::Url).toStdString() == url)
                return row;
        }
        return -1;
    }

    CFoundFilesModel& Files() const { return *m_view->m_pFoundFiles; }

    std::string m_cbr;
    std::string m_vbr;
    ScriptedHttpServer m_first;
    ScriptedHttpServer m_second;
    ScriptedHttpServer m_engine;
};

TEST_F(FileHeadWindowTest, RowsShowTheHeadsAndKnowTheirOtherSources)
{
    m_view->m_cboArtist->setEditText(QStringLiteral("steady"));
    QTest::mouseClick(m_view->m_btnFind, Qt::LeftButton);
    // Both engines list the same four files: eight rows, six of them audio.
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_view->m_stcAvailableCount->text() == QStringLiteral("6"); }, 15000))
        << "still " << ::testing::PrintToString(m_view->m_stcAvailableCount->text());
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_view->m_btnFind->text() == QStringLiteral("Find It!"); }, 10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Files().Text(Row(m_first.Url("/page.mp3")), CFoundFilesModel::Status) == "Not an MP3"; }, 10000));

    const int a = Row(m_first.Url("/a/steady.mp3"));
    const int b = Row(m_second.Url("/b/steady.mp3"));
    const int vbr = Row(m_first.Url("/vbr.mp3"));
    const int page = Row(m_first.Url("/page.mp3"));
    ASSERT_GE(std::min({a, b, vbr, page}), 0);
    const auto cell = [&](int row, int column, int role = Qt::DisplayRole) {
        return Files().data(Files().index(row, column), role);
    };
    EXPECT_EQ(cell(a, CFoundFilesModel::Bitrate).toString(), "64");
    EXPECT_EQ(cell(a, CFoundFilesModel::Length).toString(), "0:10");
    EXPECT_EQ(cell(a, CFoundFilesModel::Length, ListRole::Length).toInt(), 10);
    EXPECT_EQ(cell(a, CFoundFilesModel::Title, Qt::AccessibleTextRole).toString(), "Steady Tone");
    EXPECT_EQ(cell(a, CFoundFilesModel::Artist, Qt::AccessibleTextRole).toString(), "Test Band");
    EXPECT_EQ(cell(vbr, CFoundFilesModel::Title, Qt::AccessibleTextRole).toString(), "Restless Noise");
    // Tags are anyone's text: on screen each stays an isolated run, so a
    // title in another direction cannot reorder the cells around it.
    EXPECT_EQ(cell(a, CFoundFilesModel::Title).toString(), QString(QChar(0x2068)) + "Steady Tone" + QChar(0x2069));
    EXPECT_EQ(cell(a, CFoundFilesModel::Artist).toString(), QString(QChar(0x2068)) + "Test Band" + QChar(0x2069));
    // Numbers sort as numbers: 56 kbit/s before 64.
    EXPECT_LT(cell(vbr, CFoundFilesModel::Bitrate, ListRole::Sort).toInt(),
              cell(a, CFoundFilesModel::Bitrate, ListRole::Sort).toInt());
    EXPECT_TRUE(cell(page, CFoundFilesModel::Bitrate).toString().isEmpty());

    // The same file at two addresses (each listed by both engines): every
    // row of it counts its two sources and lists them.
    EXPECT_EQ(cell(a, CFoundFilesModel::Sources).toString(), "2");
    EXPECT_EQ(cell(b, CFoundFilesModel::Sources).toString(), "2");
    EXPECT_EQ(cell(vbr, CFoundFilesModel::Sources).toString(), "1");
    EXPECT_TRUE(cell(page, CFoundFilesModel::Sources).toString().isEmpty());
    const QString tip = cell(b, CFoundFilesModel::Name, Qt::ToolTipRole).toString();
    EXPECT_EQ(tip.toStdString(), "The same file at 2 addresses:\n" + m_second.Url("/b/steady.mp3") + "\n" +
                                     m_first.Url("/a/steady.mp3"));
    EXPECT_TRUE(cell(vbr, CFoundFilesModel::Name, Qt::ToolTipRole).isNull());

    // A download of the row takes the other address along; the list shows
    // the server in use, and the next one when the download moves on.
    m_view->m_lstFiles->SelectItem(a);
    m_view->OnDownloadFile();
    CDownloadController& downloads = m_view->Downloads();
    const int slot = downloads.GetRowSlot(0);
    ASSERT_GE(slot, 0);
    EXPECT_EQ(downloads.Slot(slot).item.strOtherSources, std::vector<std::string>{m_second.Url("/b/steady.mp3")});
    EXPECT_EQ(m_view->m_lstDownloads->GetItemText(0, CDownloadsModel::Source), m_first.HostPort());
    downloads.OnSource(slot, m_second.Url("/b/steady.mp3"));
    EXPECT_EQ(m_view->m_lstDownloads->GetItemText(0, CDownloadsModel::Source), m_second.HostPort());
    EXPECT_TRUE(downloads.Slot(slot).item.strOtherSources.empty());
}

}  // namespace

namespace {

// Sorting by Sources asks every compared row for its count: with many rows
// of one file that count must be one look-up, not a walk over the rows.
TEST(FoundFilesSources, ManyRowsOfOneFileSortByTheirCountAndKnowTheirAddresses)
{
    QWidget parent;
    auto* files = new CFoundFilesModel(&parent);
    auto* list = new CListCtrlEx(&parent, files);
    for (const char* header : {"Type", "Status", "File Name", "File Size", "URL", "Bitrate", "Length", "Title",
                               "Artist", "Sources"})
        list->InsertColumn(list->GetColumnCount(), header, LVCFMT_LEFT, 60);
    list->SetSortable(true);
    Mp3Head head;
    head.known = true;
    head.mp3 = true;
    constexpr int kRows = 20000;
    for (int row = 0; row < kRows; ++row) {
        FoundFile file;
        // Every other row is one and the same file; the rest are each their
        // own; one address is listed twice and counts once.
        file.url = "http://h" + std::to_string(row % 2 == 0 ? row / 2 : kRows + row) + ".test/a.mp3";
        if (row == 2)
            file.url = "http://h0.test/a.mp3";
        file.fileName = "a.mp3";
        files->AddFile(file);
        head.fingerprint = row % 2 == 0 ? "same" : "own" + std::to_string(row);
        files->SetHead(row, 1000, head);
    }
    files->Flush();
    const int shared = kRows / 2 - 1;
    EXPECT_EQ(files->SourceCount(0), shared);
    EXPECT_EQ(files->SourceCount(1), 1);
    EXPECT_EQ(files->SourcesOf(4).size(), static_cast<std::size_t>(shared));
    EXPECT_EQ(files->SourcesOf(4).front(), "http://h2.test/a.mp3") << "the row's own address first";
    EXPECT_TRUE(files->data(files->index(1, CFoundFilesModel::Sources), Qt::ToolTipRole).isNull());

    list->sortByColumn(CFoundFilesModel::Sources, Qt::DescendingOrder);
    for (int viewRow : {0, kRows / 2 - 1})
        EXPECT_EQ(list->ModelRow(viewRow) % 2, 0) << viewRow;
    for (int viewRow : {kRows / 2, kRows - 1})
        EXPECT_EQ(list->ModelRow(viewRow) % 2, 1) << viewRow;
}

}  // namespace
