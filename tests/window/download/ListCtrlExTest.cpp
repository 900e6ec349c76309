#include "window/download/ListCtrlEx.h"

#include "resources/Resource.h"
#include "resources/Messages.h"

#include "ScriptedResponder.h"

#include <QHeaderView>
#include <QImage>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

namespace {

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
    auto* list = new CListCtrlEx(parent);
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

TEST(ListCtrlEx, SlotsAndProgressLiveInTheirColumns)
{
    QWidget parent;
    CListCtrlEx* list = MakeDownloadList(&parent);
    list->AddItem(0, 7, 0, {"a.mp3", "1000", "0", "0%", "0", "0", "42"});
    list->AddItem(1, 7, 0, {"b.mp3", "1000", "0", "0%", "0", "0", "x"});
    EXPECT_EQ(list->GetItemSlot(0), 42);
    EXPECT_EQ(list->GetItemSlot(1), 0);
    EXPECT_EQ(list->GetItemSlot(-1), -1);
    list->SetProgress(0, 500);
    EXPECT_EQ(list->GetItemText(0, 3), "500 %");
    EXPECT_TRUE(list->isColumnHidden(6));
    EXPECT_EQ(list->m_nRange[0], 100);
    EXPECT_EQ(list->m_nRange[999], 100);
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
    // The found-files menu has no such rules; the play list has no menu at all.
    list.SetMenuName("file_popup_menu");
    list.m_bItemPaused = true;
    std::unique_ptr<QMenu> files = list.BuildPopupMenu();
    ASSERT_TRUE(files);
    EXPECT_EQ(Enabled(files.get()), (std::map<unsigned, bool>{{ID_DOWNLOAD, true}, {ID_COPY_URL, true}}));
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
int FilledPixels(CListCtrlEx* list, int row, const QColor& colour, int column = 3)
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
    list->AddItem(0, 7, 0, {"a.mp3", "2000", "500", "0%", "0", "0", "3"});
    list->AddItem(1, 7, 0, {"b.mp3", "0", "0", "0%", "0", "0", "4"});
    list->AddItem(2, 7, 0, {"c.mp3", "0", "0", "0%", "0", "0", "5"});
    list->m_nRange[3] = 2000;
    list->SetProgress(0, 500);
    list->SetProgress(2, 900);  // more than the range of 100
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

    // Any cell that ends in "%" is a bar, whatever its column.
    list->SetItemText(1, 4, "50 %");
    EXPECT_EQ(FilledPixels(list, 1, list->m_crProgress, 4), 97);
}

TEST(ListCtrlEx, ARowWithoutSlotIsReportedOnceAndPaintingGoesOn)
{
    testing_support::ScriptedResponder responder;
    QWidget parent;
    parent.resize(900, 120);
    CListCtrlEx* list = MakeDownloadList(&parent);
    list->AddItem(0, 7, 0, {"a.mp3", "0", "0", "10 %", "0", "0", "-1"});
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
