#include "window/download/ListCtrlEx.h"

#include "window/download/DownloadsModel.h"
#include "window/search/FoundFilesModel.h"

#include "resources/Resource.h"
#include "resources/Messages.h"

#include "ScriptedResponder.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QSignalSpy>
#include <QImage>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// A download row with only its slot and name; the rest as a new row has it.
CDownloadsModel::Download NamedDownload(int slot, const char* name)
{
    CDownloadsModel::Download row;
    row.slot = slot;
    row.fileName = name;
    return row;
}

// Stands in for the pages view: the list's parent that takes its messages.
class ParentView final : public QWidget, public platform::MessageReceiver {
public:
    platform::LRESULT OnMessage(unsigned message, platform::WPARAM, platform::LPARAM) override
    {
        messages.push_back(message);
        return 0;
    }
    std::vector<unsigned> messages;
};

// The download list as the view builds it.
CListCtrlEx* MakeDownloadList(QWidget* parent)
{
    auto* list = new CListCtrlEx(parent, new CDownloadsModel);
    list->SetSingleSelection(true);
    list->SetOwnerDrawn(true);
    list->RefreshRowHeight();
    list->SetMenuName("DownloadFileOperations");
    list->setIconSize(QSize());
    const char* headers[] = {"File Name", "File Size", "Receive", "Progress", "Remaining Time", "Transfer Rate"};
    const int widths[] = {200, 100, 100, 200, 200, 100};
    for (int c = 0; c < 6; ++c)
        list->InsertColumn(c, headers[c], c == 2 ? LVCFMT_CENTER : LVCFMT_LEFT, widths[c]);
    list->InsertColumn(6, "ID", LVCFMT_LEFT, 0);
    list->setGeometry(0, 0, 900, 120);
    return list;
}

std::map<unsigned, bool> Enabled(QMenu* menu)
{
    std::map<unsigned, bool> out;
    for (QAction* action : menu->actions())
        out[action->data().toUInt()] = action->isEnabled();
    return out;
}

}  // namespace

TEST(ListCtrlEx, RowsAreAddedByIndexWithTheirTextsAndImage)
{
    CListCtrlEx list;
    list.InsertColumn(0, "Type", LVCFMT_CENTER, 43);
    list.InsertColumn(1, "Status", LVCFMT_LEFT, 100);
    list.InsertColumn(2, "File Name", LVCFMT_LEFT, 350);
    EXPECT_EQ(list.AddItem(0, 3, 5, {"HTTP", "Not Connected", "a.mp3"}), 0);
    EXPECT_EQ(list.AddItem(7, 3, 4, {"HTTP", "x"}), 1) << "an index past the end appends";
    EXPECT_EQ(list.AddItem(0, 2, 1, {"first", "second", "ignored"}), 0);
    EXPECT_EQ(list.AddItem(-1, 1, 0, {"never"}), -1);
    ASSERT_EQ(list.GetItemCount(), 3);
    EXPECT_EQ(list.GetItemText(0, 0), "first");
    EXPECT_EQ(list.GetItemText(0, 2), "") << "only `count` columns are set";
    EXPECT_EQ(list.GetItemText(1, 2), "a.mp3");
    EXPECT_EQ(list.GetItemText(2, 2), "") << "absent texts stay empty";
    EXPECT_EQ(list.GetItemImage(1), 5);
    EXPECT_EQ(list.GetItemImage(2), 4);
    EXPECT_EQ(list.verticalHeader()->defaultSectionSize(), 17);
    list.RefreshRowHeight();
    EXPECT_EQ(list.verticalHeader()->defaultSectionSize(), 16);
}

TEST(ListCtrlEx, RowsAddedInOneTurnReachTheViewAsOneBatch)
{
    CListCtrlEx list;
    list.InsertColumn(0, "Name", LVCFMT_LEFT, 100);
    QSignalSpy inserted(&list.Model(), &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(&list.Model(), &QAbstractItemModel::dataChanged);
    for (int i = 0; i < 300; ++i)
        list.AddItem(list.GetItemCount(), 1, 0, {"row " + std::to_string(i)});
    EXPECT_EQ(list.GetItemCount(), 300) << "the program sees every row at once";
    EXPECT_EQ(list.GetItemText(299, 0), "row 299");
    EXPECT_EQ(list.model()->rowCount(), 0) << "the view hears of them with the batch";
    ASSERT_TRUE(QTest::qWaitFor([&] { return list.model()->rowCount() == 300; }, 2000));
    EXPECT_EQ(inserted.count(), 1);
    // Changes of shown rows are told once a frame too, as one range.
    for (int i = 0; i < 300; i += 3)
        list.SetItemText(i, 0, "changed");
    list.AddItem(0, 1, 0, {"first"});  // before other rows: the views are told at once
    EXPECT_EQ(list.model()->rowCount(), 301);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(list.Model().data(list.Model().index(1, 0)).toString(), QStringLiteral("changed"));
    list.DeleteItem(0);
    EXPECT_EQ(list.GetItemText(0, 0), "changed");
}

TEST(ListCtrlEx, DownloadRowsAreFoundBySlotAndShowTheirShare)
{
    QWidget parent;
    CListCtrlEx* list = MakeDownloadList(&parent);
    auto& downloads = static_cast<CDownloadsModel&>(list->Model());
    downloads.AddDownload({42, "a.mp3", "0"});
    downloads.AddDownload({7, "b.mp3", "0"});
    EXPECT_EQ(list->GetItemSlot(1), 7);
    EXPECT_EQ(list->GetItemSlot(-1), -1);
    EXPECT_EQ(downloads.RowOfSlot(42), 0);
    EXPECT_EQ(downloads.RowOfSlot(3), -1);
    EXPECT_TRUE(list->isColumnHidden(CDownloadsModel::Id));

    downloads.SetSize(1, 2000);
    list->SetProgress(1, 500);
    downloads.Flush();
    const QModelIndex progress = downloads.index(1, CDownloadsModel::Progress);
    EXPECT_EQ(progress.data(ListRole::Received).toLongLong(), 500);
    EXPECT_EQ(progress.data(ListRole::Range).toLongLong(), 2000);
    EXPECT_EQ(progress.data(ListRole::Percent).toInt(), 25);
    EXPECT_EQ(progress.data(Qt::AccessibleTextRole).toString(), QStringLiteral("25 %")) << "a share, not bytes";
    EXPECT_EQ(list->GetItemText(1, CDownloadsModel::Received), "500");
    EXPECT_EQ(downloads.index(0, CDownloadsModel::Progress).data(ListRole::Range).toLongLong(),
              CDownloadsModel::kDefaultRange);

    // Removing a row moves the others up; their slots still find them.
    list->DeleteItem(0);
    EXPECT_EQ(downloads.RowOfSlot(7), 0);
    EXPECT_EQ(downloads.RowOfSlot(42), -1);
}

TEST(ListCtrlEx, ASortedListKeepsItsModelRowsAndMovesByKey)
{
    QWidget parent;
    parent.resize(600, 300);
    auto* files = new CFoundFilesModel;
    auto* list = new CListCtrlEx(&parent, files);
    list->setGeometry(0, 0, 600, 300);
    for (const char* header : {"Type", "Status", "File Name", "File Size", "URL"})
        list->InsertColumn(list->GetColumnCount(), header, LVCFMT_LEFT, 100);
    list->SetSortable(true);
    const std::uint64_t sizes[] = {900, 10000, 25};
    for (int row = 0; row < 3; ++row) {
        FoundFile file;
        file.url = "u";
        file.fileName = "song" + std::to_string(row) + ".mp3";
        files->AddFile(file);
        files->SetSize(row, sizes[row]);
    }
    files->Flush();
    parent.show();
    EXPECT_EQ(list->ViewRow(0), 0) << "unsorted until the user asks";

    // Numbers sort as numbers: 25 < 900 < 10000.
    QTest::mouseClick(list->horizontalHeader()->viewport(), Qt::LeftButton, {},
                      QPoint(list->horizontalHeader()->sectionViewportPosition(CFoundFilesModel::Size) + 20, 5));
    EXPECT_EQ(list->ModelRow(0), 2);
    EXPECT_EQ(list->ModelRow(1), 0);
    EXPECT_EQ(list->ModelRow(2), 1);
    // A probe's late answer still reaches its own row.
    files->SetSize(0, 5);
    files->Flush();
    EXPECT_EQ(list->GetItemText(0, CFoundFilesModel::Size), "5");
    EXPECT_EQ(list->ModelRow(0), 0) << "the order follows the new size";

    // Home and End take the first and the last row the user sees.
    list->setFocus();
    list->SelectItem(1);
    QTest::keyClick(list, Qt::Key_End);
    EXPECT_EQ(list->GetFirstSelectedItem(), 1);
    QTest::keyClick(list, Qt::Key_Home);
    EXPECT_EQ(list->GetFirstSelectedItem(), 0);
    EXPECT_TRUE(list->IsItemSelected(0));

    // Ctrl+3 orders by the third column (the name), again the other way round.
    QTest::keyClick(list, Qt::Key_3, Qt::ControlModifier);
    EXPECT_EQ(list->ModelRow(0), 0);
    QTest::keyClick(list, Qt::Key_3, Qt::ControlModifier);
    EXPECT_EQ(list->ModelRow(0), 2);

    // The menu key opens the current row's menu, with its model row.
    QSignalSpy clicked(list, &CListCtrlEx::rightClicked);
    QTest::keyClick(list, Qt::Key_Home);
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(1, 1), list->mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(list, &key);
    QTest::keyClick(list, Qt::Key_End);
    QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_EQ(clicked.count(), 2);
    EXPECT_EQ(clicked.at(0).at(0).toInt(), 2);
    EXPECT_EQ(clicked.at(1).at(0).toInt(), 0);
}

TEST(ListCtrlEx, DownloadMenuFollowsTheRowsRunningPausedAndFailedFlags)
{
    const struct {
        bool running, paused, failed;
        bool cancel, clear, resume, retry;
    } cases[] = {
        {false, false, false, true, true, true, false},
        {true, false, false, true, true, false, false},
        {false, true, false, false, true, true, false},
        {true, true, false, true, true, false, false},  // running wins, as it is applied last
        {false, false, true, false, true, false, true},  // a failed row: Retry or Clear
    };
    CListCtrlEx list;
    for (const char* name : {"DownloadFileOperations", "downloadfileoperations"}) {
        list.SetMenuName(name);
        for (const auto& c : cases) {
            list.m_bItemRunning = c.running;
            list.m_bItemPaused = c.paused;
            list.m_bItemFailed = c.failed;
            std::unique_ptr<QMenu> menu = list.BuildPopupMenu();
            ASSERT_TRUE(menu);
            const auto enabled = Enabled(menu.get());
            ASSERT_EQ(enabled.size(), 4u);
            EXPECT_EQ(enabled.at(ID_POPUP_RETRY_DOWNLOAD), c.retry);
            EXPECT_EQ(enabled.at(ID_POPUP_CANCEL_DOWNLOAD), c.cancel) << c.running << c.paused;
            EXPECT_EQ(enabled.at(ID_POPUP_CLEAR_DOWNLOAD), c.clear);
            EXPECT_EQ(enabled.at(ID_POPUP_RESUME_DOWNLOAD), c.resume);
        }
    }
    // The found-files menu follows only whether a preview plays; the play
    // list has no menu at all.
    list.SetMenuName("file_popup_menu");
    list.m_bItemPaused = true;
    std::unique_ptr<QMenu> files = list.BuildPopupMenu();
    ASSERT_TRUE(files);
    EXPECT_EQ(Enabled(files.get()), (std::map<unsigned, bool>{{ID_DOWNLOAD, true},
                                                               {ID_COPY_URL, true},
                                                               {ID_POPUP_PREVIEW, true},
                                                               {ID_POPUP_STOP_PREVIEW, false}}));
    list.m_bPreviewPlaying = true;
    EXPECT_TRUE(Enabled(list.BuildPopupMenu().get()).at(ID_POPUP_STOP_PREVIEW));
    EXPECT_EQ(files->actions().at(0)->text(), QStringLiteral("&DownLoad"));
    list.SetMenuName("PlayListOperations");
    EXPECT_FALSE(list.BuildPopupMenu());
    list.ShowPopupMenu(QPoint(5, 5));  // shows nothing and returns
}

TEST(ListCtrlEx, DownloadMenuCommandsBecomeMessagesToTheView)
{
    ParentView view;
    CListCtrlEx* list = MakeDownloadList(&view);
    list->OnPopupCommand(ID_POPUP_CANCEL_DOWNLOAD);
    list->OnPopupCommand(ID_POPUP_CLEAR_DOWNLOAD);
    list->OnPopupCommand(ID_POPUP_RESUME_DOWNLOAD);
    list->OnPopupCommand(ID_POPUP_RETRY_DOWNLOAD);
    list->OnPopupCommand(ID_DOWNLOAD);
    EXPECT_EQ(view.messages, (std::vector<unsigned>{WM_DOWNLOAD_CANCEL_ITEM, WM_DOWNLOAD_CLEAR_ITEM,
                                                    WM_DOWNLOAD_RESUME_ITEM, WM_DOWNLOAD_RETRY_ITEM}));
}

namespace {

// Columns of the bar in cell (`row`, `column`) that show `colour` somewhere
// (the label may cover part of a column, never all of it).
int FilledPixels(CListCtrlEx* list, int row, const QColor& colour, int column = CDownloadsModel::Progress)
{
    const QRect cell = list->visualRect(list->model()->index(row, column));
    const QImage image = list->viewport()->grab().toImage();
    int count = 0;
    for (int x = cell.left(); x <= cell.right(); ++x) {
        bool found = false;
        for (int y = cell.top(); y <= cell.bottom() && !found; ++y)
            found = QColor(image.pixel(x, y)) == colour;
        count += found ? 1 : 0;
    }
    return count;
}

}  // namespace

TEST(ListCtrlEx, ProgressCellsFillTheBarByTheSlotsRange)
{
    QWidget parent;
    parent.resize(900, 120);
    CListCtrlEx* list = MakeDownloadList(&parent);
    auto& downloads = static_cast<CDownloadsModel&>(list->Model());
    downloads.AddDownload({3, "a.mp3", "2000", 500, 2000});
    downloads.AddDownload(NamedDownload(4, "b.mp3"));
    downloads.AddDownload(NamedDownload(5, "c.mp3"));
    list->SetProgress(2, 900);  // more than the range of 100
    downloads.Flush();
    parent.show();

    // Bar width 200 - 4 - 2 = 194; 500 of 2000 fills a quarter of it, rounded.
    EXPECT_EQ(FilledPixels(list, 0, list->m_crProgress), 49);
    EXPECT_EQ(FilledPixels(list, 1, list->m_crProgress), 0) << "0% draws an empty bar";
    EXPECT_EQ(FilledPixels(list, 2, list->m_crProgress), 194) << "never beyond the bar";
    EXPECT_EQ(list->m_crProgress, QColor(50, 0, 0));

    // A highlighted row fills the done part with the face colour instead.
    list->SelectItem(0);
    EXPECT_EQ(FilledPixels(list, 0, list->m_crProgress), 0);
    if (list->m_crFace != list->m_crHighlight && list->m_crFace != list->m_crBackground) {
        EXPECT_NEAR(FilledPixels(list, 0, list->m_crFace), 49, 1);  // the grid may share the colour
    }

    // Only the progress column is a bar, whatever a text says.
    list->SetItemText(1, CDownloadsModel::TimeLeft, "50 %");
    downloads.Flush();
    EXPECT_EQ(FilledPixels(list, 1, list->m_crProgress, CDownloadsModel::TimeLeft), 0);
}

TEST(ListCtrlEx, ARowWithoutSlotIsReportedOnceAndPaintingGoesOn)
{
    testing_support::ScriptedResponder responder;
    QWidget parent;
    parent.resize(900, 120);
    CListCtrlEx* list = MakeDownloadList(&parent);
    static_cast<CDownloadsModel&>(list->Model()).AddDownload(NamedDownload(-1, "a.mp3"));
    list->Model().Flush();
    parent.show();
    for (int i = 0; i < 3; ++i)
        list->viewport()->grab();
    ASSERT_TRUE(QTest::qWaitFor([&] { return responder.Texts().size() == std::size_t{1}; }, 2000)) << "still " << ::testing::PrintToString(responder.Texts().size());
    EXPECT_EQ(responder.Texts().front(), "Drawing range can not be handled");
    for (int i = 0; i < 3; ++i)
        list->viewport()->grab();
    QTest::qWait(50);
    EXPECT_EQ(responder.Texts().size(), 1u) << "repaints alone do not report again";
    EXPECT_EQ(FilledPixels(list, 0, list->m_crProgress), 0);
}
