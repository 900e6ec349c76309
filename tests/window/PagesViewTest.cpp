#include "ShellFixture.h"
#include "window/search/EnginesModel.h"

#include "window/download/ListCtrlEx.h"
#include "resources/Resource.h"
#include "search/EngineConfig.h"
#include "window/ToolBar.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <stop_token>
#include <thread>

using testing_support::ShellTest;

namespace {

const std::vector<unsigned> kSearchGroup = {ID_TB_DOWNLOAD_FILE, ID_TB_COPY_URL};
const std::vector<unsigned> kDownloadGroup = {ID_TB_CANCEL_DOWNLOAD, ID_TB_CLEAR_DOWNLOAD, ID_TB_CANCEL_ALL,
                                              ID_TB_CLEAR_ALL};
const std::vector<unsigned> kPlayListGroup = {ID_TB_PLAY, ID_TB_RENAME, ID_TB_DELETE, ID_TB_REFRESH};

bool GroupShown(const CToolBar* bar, const std::vector<unsigned>& ids)
{
    bool all = true;
    bool none = true;
    for (unsigned id : ids) {
        const bool hidden = bar->IsButtonHidden(id);
        all = all && !hidden;
        none = none && hidden;
    }
    EXPECT_TRUE(all || none) << "a group is shown or hidden as a whole";
    return all;
}

CListCtrlEx* VisibleList(const CPagesView* view)
{
    CListCtrlEx* shown = nullptr;
    for (CListCtrlEx* list : {view->m_lstEngines, view->m_lstFiles, view->m_lstDownloads, view->m_lstPlayList}) {
        if (list->isVisible()) {
            EXPECT_EQ(shown, nullptr) << "only one list shows at a time";
            shown = list;
        }
    }
    return shown;
}

std::vector<int> TabPictures(const CPagesView* view)
{
    return {BitmapIdOf(view->m_stcTabCapLeft), BitmapIdOf(view->m_stcTab[0]),    BitmapIdOf(view->m_stcTabSep[1]),
            BitmapIdOf(view->m_stcTab[1]),     BitmapIdOf(view->m_stcTabSep[2]), BitmapIdOf(view->m_stcTab[2]),
            BitmapIdOf(view->m_stcTabSep[3]),  BitmapIdOf(view->m_stcTab[3]),    BitmapIdOf(view->m_stcTabCapRight)};
}

}  // namespace

TEST_F(ShellTest, StartsWithTheEnginePageAndTabZeroSelected)
{
    EXPECT_EQ(m_frame->windowTitle(), QStringLiteral("Tunorva"));
    EXPECT_EQ(m_frame->pos(), QPoint(0, 0));
    EXPECT_EQ(m_frame->size(), QSize(640, 480));
    EXPECT_EQ(m_frame->m_strLanguage, "English");
    EXPECT_EQ(m_view->m_strTempDir, m_dir.Str() + "/Temp/");
    EXPECT_EQ(m_view->m_strMusicDir, m_dir.Str() + "/Music/");
    EXPECT_EQ(m_view->m_nPageCycle, 1);

    EXPECT_EQ(VisibleList(m_view), m_view->m_lstEngines);
    ASSERT_EQ(m_view->m_lstEngines->GetItemCount(), 3);
    for (int row = 0; row < 3; ++row) {
        const EngineSite site = Engines().sites[static_cast<std::size_t>(row)];
        EXPECT_EQ(m_view->m_lstEngines->GetItemText(row, CEnginesModel::Status), "Not Connected");
        EXPECT_EQ(m_view->m_lstEngines->GetItemText(row, CEnginesModel::Name), site.name);
        EXPECT_EQ(m_view->m_lstEngines->GetItemText(row, CEnginesModel::Files), "0");
        EXPECT_EQ(m_view->m_lstEngines->GetItemText(row, CEnginesModel::HomePage), site.homePage);
        EXPECT_EQ(m_view->m_lstEngines->GetItemImage(row), IMG_ENGINE_RESTING);
    }

    EXPECT_EQ(m_view->m_nSelectedTab, 0);
    EXPECT_EQ(TabPictures(m_view), (std::vector<int>{163, 176, 162, 174, 139, 168, 139, 171, 137}));
    EXPECT_EQ(BitmapIdOf(m_view->m_stcTabRule), 164);
    EXPECT_EQ(BitmapIdOf(m_view->m_stcTabShadow), 151);
    EXPECT_FALSE(GroupShown(m_frame->m_wndToolBar, kSearchGroup));
    EXPECT_FALSE(GroupShown(m_frame->m_wndToolBar, kDownloadGroup));
    EXPECT_FALSE(GroupShown(m_frame->m_wndToolBar, kPlayListGroup));

    // Start.wav is missing from the fresh folder, so the desktop's own sound
    // plays, on a worker of its own.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !m_sound.Played().empty(); }, 5000));
    EXPECT_EQ(m_sound.Played(), std::vector<std::string>{"event:bell"});
    // The artist box holds the window's focus, active or not (offscreen it is not).
    EXPECT_EQ(m_frame->focusWidget(), m_view->m_cboArtist);

    // Labels blue, counters in the ordinary text colour.
    const QColor blue(0, 0, 255);
    for (int id : {IDC_ARTIST_LABEL, IDC_SONG_LABEL, IDC_FILES_LABEL, IDC_AVAILABLE_LABEL})
        EXPECT_EQ(m_view->Control(id)->palette().color(QPalette::WindowText), blue) << id;
    for (int id : {IDC_FILES_COUNT, IDC_AVAILABLE_COUNT})
        EXPECT_NE(m_view->Control(id)->palette().color(QPalette::WindowText), blue) << id;
    EXPECT_FALSE(m_view->Control(IDC_CLIPBOARD_EDIT)->isVisible());
    EXPECT_EQ(m_view->m_btnFind->text(), QStringLiteral("Find it !"));
}

TEST_F(ShellTest, EachTabShowsItsListAndToolbarGroupAndKeepsTheSearchRow)
{
    struct Case {
        int tab;
        CListCtrlEx* CPagesView::*list;
        bool search, download, playList;
        std::vector<int> pictures;
    };
    const Case cases[] = {
        {2, &CPagesView::m_lstDownloads, false, true, false, {136, 167, 139, 174, 138, 169, 162, 171, 137}},
        {1, &CPagesView::m_lstFiles, true, false, false, {136, 167, 138, 175, 162, 168, 139, 171, 137}},
        {3, &CPagesView::m_lstPlayList, false, false, true, {136, 167, 139, 174, 139, 168, 138, 172, 158}},
        {3, &CPagesView::m_lstPlayList, false, false, true, {136, 167, 139, 174, 139, 168, 138, 172, 158}},
        {0, &CPagesView::m_lstEngines, false, false, false, {163, 176, 162, 174, 139, 168, 139, 171, 137}},
    };
    for (const Case& c : cases) {
        const QPoint centre = m_view->m_rcTab[static_cast<std::size_t>(c.tab)].center();
        // The pictures let the pointer through to the view.
        EXPECT_EQ(m_view->childAt(centre), nullptr);
        QTest::mouseClick(m_view, Qt::LeftButton, Qt::NoModifier, centre);
        EXPECT_EQ(m_view->m_nSelectedTab, c.tab);
        EXPECT_EQ(VisibleList(m_view), m_view->*c.list) << c.tab;
        EXPECT_EQ(GroupShown(m_frame->m_wndToolBar, kSearchGroup), c.search) << c.tab;
        EXPECT_EQ(GroupShown(m_frame->m_wndToolBar, kDownloadGroup), c.download) << c.tab;
        EXPECT_EQ(GroupShown(m_frame->m_wndToolBar, kPlayListGroup), c.playList) << c.tab;
        EXPECT_EQ(TabPictures(m_view), c.pictures) << c.tab;
        for (QWidget* w : {static_cast<QWidget*>(m_view->m_cboArtist), static_cast<QWidget*>(m_view->m_cboSong),
                           static_cast<QWidget*>(m_view->m_btnFind)})
            EXPECT_TRUE(w->isVisible()) << c.tab;
    }
    // A click beside the tabs changes nothing but the resting pictures.
    QTest::mouseClick(m_view, Qt::LeftButton, Qt::NoModifier, QPoint(400, 20));
    EXPECT_EQ(m_view->m_nSelectedTab, 0);
    EXPECT_EQ(VisibleList(m_view), m_view->m_lstEngines);
}

TEST_F(ShellTest, HoverShowsTheHoverPictureUntilThePointerLeavesTheTab)
{
    const auto tabPicture = [&](int k) { return BitmapIdOf(m_view->m_stcTab[static_cast<std::size_t>(k)]); };
    const struct {
        QPoint point;
        std::vector<int> tabs;
    } steps[] = {
        {m_view->m_rcTab[2].center(), {176, 174, 170, 171}},
        {m_view->m_rcTab[1].topLeft(), {176, 178, 170, 171}},  // no repaint in between
        {QPoint(99, 20), {176, 174, 168, 171}},           // a separator
        {m_view->m_rcTab[3].center(), {176, 174, 168, 173}},
        {m_view->m_rcTab[0].center(), {176, 174, 168, 171}},  // the selected tab
        {QPoint(173, 20), {176, 174, 168, 171}},          // right edge belongs to the separator
    };
    for (const auto& step : steps) {
        QTest::mouseMove(m_view, step.point);
        EXPECT_EQ((std::vector<int>{tabPicture(0), tabPicture(1), tabPicture(2), tabPicture(3)}), step.tabs)
            << step.point.x() << "," << step.point.y();
    }
}

TEST_F(ShellTest, CtrlTabCyclesThePagesWithItsOwnCounter)
{
    QTest::mouseClick(m_view, Qt::LeftButton, Qt::NoModifier, m_view->m_rcTab[2].center());
    QLineEdit* artist = m_view->m_cboArtist->lineEdit();
    artist->setFocus();
    const CListCtrlEx* expected[] = {m_view->m_lstFiles, m_view->m_lstDownloads, m_view->m_lstPlayList,
                                     m_view->m_lstEngines, m_view->m_lstFiles};
    for (const CListCtrlEx* list : expected) {
        QTest::keyClick(artist, Qt::Key_Tab, Qt::ControlModifier);
        EXPECT_EQ(VisibleList(m_view), list);
        EXPECT_EQ(m_view->m_nSelectedTab, 2) << "the tab strip keeps the clicked tab";
    }
    EXPECT_EQ(BitmapIdOf(m_view->m_stcTab[2]), 169);
}

TEST_F(ShellTest, LayoutFollowsTheWindowButNeverShrinksBelowTheFloor)
{
    const QSize start = m_frame->ClientSize();
    EXPECT_EQ(m_frame->m_cxView, start.width() - 6);
    EXPECT_EQ(m_frame->m_cyView, start.height() - 73);

    m_frame->OnSize(900, 700);
    EXPECT_EQ(m_frame->m_cxView, 894);
    EXPECT_EQ(m_frame->m_cyView, 627);
    EXPECT_EQ(m_view->m_lstEngines->geometry(), QRect(10, 100, 879, 527));
    EXPECT_EQ(m_view->m_lstDownloads->geometry(), QRect(10, 100, 879, 527));
    EXPECT_EQ(m_view->m_ctlProgress->geometry(), QRect(10, 632, 584, 15));
    EXPECT_EQ(m_view->m_stcAvailableCount->geometry(), QRect(826, 632, 68, 15));
    EXPECT_EQ(m_view->m_stcPageFrame->geometry(), QRect(2, 58, 894, 627));

    m_frame->OnSize(627, 378);  // both below the floor: nothing moves
    EXPECT_EQ(m_frame->m_cxView, 894);
    EXPECT_EQ(m_frame->m_cyView, 627);
    m_frame->OnSize(628, 200);  // only the width is allowed
    EXPECT_EQ(m_frame->m_cxView, 622);
    EXPECT_EQ(m_frame->m_cyView, 627);
    m_frame->OnSize(500, 379);
    EXPECT_EQ(m_frame->m_cxView, 622);
    EXPECT_EQ(m_frame->m_cyView, 306);
    EXPECT_EQ(m_view->m_stcFilesLabel->geometry(), QRect(325, 311, 100, 15));

    // A real resize takes the same way; the search row never moves.
    const QRect find = m_view->m_btnFind->geometry();
    m_frame->resize(1000, 760);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_frame->m_cxView == 994; }, 2000)) << "still " << ::testing::PrintToString(m_frame->m_cxView);
    EXPECT_EQ(m_view->m_lstFiles->width(), 994 - 15);
    m_frame->resize(400, 300);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_frame->width() < 628; }, 2000));
    EXPECT_EQ(m_view->m_lstFiles->width(), 994 - 15);
    EXPECT_EQ(m_view->m_btnFind->geometry(), find);
}

namespace {

// The start sound held by a sound server that takes its time; a watchdog
// lets it go after five seconds so that a window that waits for it still
// comes up, late.
class SlowStartSoundTest : public ShellTest {
protected:
    void BeforeStart() override
    {
        const std::filesystem::path sounds = std::filesystem::path(platform::GetAppFolders().dataDir) / "Sounds";
        std::filesystem::create_directories(sounds);
        m_startSound = (sounds / "Start.wav").string();
        std::ofstream(m_startSound) << "RIFF";
        m_sound.Hold();
        m_watchdog = std::jthread([this](std::stop_token stop) {
            std::mutex mutex;
            std::condition_variable_any wake;
            std::unique_lock lock(mutex);
            if (!wake.wait_for(lock, stop, std::chrono::seconds(5), [] { return false; }) && !stop.stop_requested()) {
                m_watchdogFired = true;
                m_sound.Release();
            }
        });
    }
    void TearDown() override
    {
        m_watchdog.request_stop();
        m_watchdog = {};
        ShellTest::TearDown();
    }

    std::string m_startSound;
    std::jthread m_watchdog;
    std::atomic<bool> m_watchdogFired{false};
};

}  // namespace

TEST_F(SlowStartSoundTest, TheWindowShowsWhileTheStartSoundStillPlays)
{
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const auto played = m_sound.Played();
            return std::find(played.begin(), played.end(), "file:" + m_startSound) != played.end();
        },
        5000));
    EXPECT_TRUE(m_frame->isVisible());
    EXPECT_FALSE(m_watchdogFired) << "the window waited for the start sound to end";
    EXPECT_EQ(platform::PendingSounds(), 1) << "the start sound is still playing";
}
