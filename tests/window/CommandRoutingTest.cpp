#include "ShellFixture.h"
#include "window/search/SearchController.h"

#include "window/download/ListCtrlEx.h"
#include "window/download/DownloadsModel.h"
#include "window/search/FoundFilesModel.h"
#include "resources/Resource.h"
#include "resources/Messages.h"
#include "window/ToolBar.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

using testing_support::ShellTest;

namespace {

enum Source { Menu, Toolbar, Both, Other };

struct Route {
    unsigned id;
    Source source;
    const char* handler;  // "" for nobody
};

// Every command of the program and who takes it.
const Route kRoutes[] = {
    {ID_MENU_ENGINES_PAGE, Menu, "ShowEnginesPage"},   {ID_TB_ENGINES_PAGE, Toolbar, "ShowEnginesPage"},
    {ID_MENU_SEARCH_PAGE, Menu, "ShowSearchPage"},     {ID_TB_SEARCH_PAGE, Toolbar, "ShowSearchPage"},
    {ID_MENU_DOWNLOAD_PAGE, Menu, "ShowDownloadPage"}, {ID_TB_DOWNLOAD_PAGE, Toolbar, "ShowDownloadPage"},
    {ID_MENU_PLAYLIST_PAGE, Menu, "ShowPlayListPage"}, {ID_TB_PLAYLIST_PAGE, Toolbar, "ShowPlayListPage"},
    {ID_ACCEL_NEXT_PAGE, Other, "NextPage"},           {ID_MENU_FIND, Menu, "OnFindIt"},
    {ID_TB_FIND, Toolbar, "OnFindIt"},                 {ID_ACCEL_FIND, Other, "OnFindIt"},
    {IDC_FIND, Other, "OnFindIt"},                     {ID_TB_COPY_URL, Toolbar, "OnCopyUrl"},
    {ID_COPY_URL, Other, "OnCopyContextUrl"},          {ID_DOWNLOAD, Other, "OnDownload"},
    {ID_TB_DOWNLOAD_FILE, Toolbar, "OnDownloadFile"},  {ID_TB_CANCEL_DOWNLOAD, Toolbar, "OnCancelDownload"},
    {ID_TB_CLEAR_DOWNLOAD, Toolbar, "OnClearDownload"}, {ID_TB_CANCEL_ALL, Toolbar, "OnCancelAll"},
    {ID_TB_CLEAR_ALL, Toolbar, "OnClearAll"},          {ID_TB_PLAY, Toolbar, "OnPlayFile"},
    {ID_TB_RENAME, Toolbar, "OnRenameFile"},           {ID_ACCEL_RENAME, Other, "OnRenameFile"},
    {ID_TB_DELETE, Toolbar, "OnDeleteFile"},           {ID_ACCEL_DELETE, Other, "OnDeleteFile"},
    {ID_TB_REFRESH, Toolbar, "OnRefresh"},             {ID_ACCEL_REFRESH, Other, "OnRefresh"},
    {ID_MENU_OPTIONS, Menu, "OnOptions"},              {ID_TB_OPTIONS, Toolbar, "OnOptions"},
    {ID_MENU_SETTINGS, Menu, "OnLanguageSettings"},    {ID_MENU_HELP_CONTENTS, Menu, "OnHelpContents"},
    {ID_TB_HELP, Toolbar, "OnHelpContents"},           {ID_HOME_PAGE, Both, "OnHomePage"},
    {ID_MENU_TELL_FRIEND, Menu, ""},                   {ID_TB_TELL_FRIEND, Toolbar, ""},
    {ID_APP_ABOUT, Menu, "OnAppAbout"},
};

QString LastRoute(const QSignalSpy& spy)
{
    return spy.isEmpty() ? QStringLiteral("<none>") : spy.last().at(1).toString();
}

}  // namespace

TEST_F(ShellTest, EveryCommandReachesItsHandlerAndIsEnabledExactlyThen)
{
    QSignalSpy routed(m_frame, &CMainFrame::commandRouted);
    // The about box and the dialogs are modal: close each as soon as it shows.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            dialog->reject();
    });
    closer.start(20);
    for (const Route& route : kRoutes) {
        // Groups hidden since the start (or by the last page command) come back enabled when shown.
        m_view->ShowSearchButtons(true);
        m_view->ShowDownloadButtons(true);
        m_view->ShowPlayListButtons(true);
        const bool handled = route.handler[0] != '\0';
        std::vector<QAction*> actions;
        if (route.source == Menu || route.source == Both)
            actions.push_back(m_frame->MenuAction(route.id));
        if (route.source == Toolbar || route.source == Both)
            actions.push_back(m_frame->m_wndToolBar->ButtonAction(route.id));
        for (QAction* action : actions) {
            ASSERT_NE(action, nullptr) << route.id;
            EXPECT_EQ(action->isEnabled(), handled) << route.id;
            if (handled) {
                action->trigger();
                EXPECT_EQ(LastRoute(routed), QString::fromLatin1(route.handler)) << route.id;
            }
        }
        routed.clear();
        EXPECT_EQ(m_frame->CanRouteCommand(route.id), handled) << route.id;
        EXPECT_EQ(m_frame->OnCmdMsg(route.id), handled) << route.id;
        ASSERT_EQ(routed.size(), 1);
        EXPECT_EQ(LastRoute(routed), QString::fromLatin1(route.handler)) << route.id;
    }
}

TEST_F(ShellTest, FindButtonAndPopupCommandsOfTheMainWindowTakeTheSameRoute)
{
    // The button's click goes straight to the view's map.
    QSignalSpy viewRan(m_view, &CPagesView::commandHandled);
    QTest::mouseClick(m_view->m_btnFind, Qt::LeftButton);
    ASSERT_EQ(viewRan.size(), 1);
    EXPECT_EQ(viewRan.at(0).at(0).toUInt(), unsigned{IDC_FIND});
    EXPECT_STREQ(m_view->HandlerName(IDC_FIND), "OnFindIt");

    QSignalSpy routed(m_frame, &CMainFrame::commandRouted);
    // The found-files menu belongs to the main window.
    platform::SendMessage(WM_COMMAND, ID_DOWNLOAD, 0);
    EXPECT_EQ(LastRoute(routed), QStringLiteral("OnDownload"));
    platform::SendMessage(WM_COMMAND, ID_COPY_URL, 0);
    EXPECT_EQ(LastRoute(routed), QStringLiteral("OnCopyContextUrl"));
}

TEST_F(ShellTest, AcceleratorsWorkInsideTheKeywordBoxes)
{
    QSignalSpy routed(m_frame, &CMainFrame::commandRouted);
    QLineEdit* artist = m_view->m_cboArtist->lineEdit();
    QLineEdit* song = m_view->m_cboSong->lineEdit();
    artist->setText(QStringLiteral("abc"));
    artist->setFocus();
    artist->setCursorPosition(1);

    const struct {
        QLineEdit* box;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* handler;
    } keys[] = {
        {artist, Qt::Key_F5, Qt::NoModifier, "OnRefresh"},
        {song, Qt::Key_Return, Qt::NoModifier, "OnFindIt"},
        {song, Qt::Key_Enter, Qt::KeypadModifier, "OnFindIt"},
        {artist, Qt::Key_Tab, Qt::ControlModifier, "NextPage"},
    };
    for (const auto& k : keys) {
        routed.clear();
        QTest::keyClick(k.box, k.key, k.modifiers);
        ASSERT_EQ(routed.size(), 1) << k.handler;
        EXPECT_EQ(LastRoute(routed), QString::fromLatin1(k.handler));
    }
    EXPECT_EQ(m_view->m_cboSong->count(), 0) << "Enter added nothing to the list";

    // Keys outside the table stay with the box.
    routed.clear();
    QTest::keyClick(artist, Qt::Key_Delete, Qt::ShiftModifier);
    QTest::keyClick(artist, Qt::Key_X);
    EXPECT_TRUE(routed.isEmpty());
    EXPECT_TRUE(artist->text().contains(QLatin1Char('x')));
}

TEST_F(ShellTest, MessagesOfTheMapReachTheirHandlers)
{
    // Each message is delivered as the channel delivers it and checked by
    // what its handler does, the search progress bar's rules among them.
    const auto deliver = [this](const auto& message) { return platform::Deliver(*m_frame, message); };
    CPagesView& view = *m_view;
    view.m_bPlaySound = 0;
    CProgressCtrl& bar = *view.m_ctlProgress;
    EXPECT_EQ(bar.GetRangeMin(), 0);
    EXPECT_EQ(bar.GetRangeMax(), 1000);
    bar.SetPos(0);
    deliver(FetchStep{});
    EXPECT_EQ(bar.GetPos(), 10);
    const std::string page = "http://nowhere.test/index.asp?start=1";
    deliver(PageResult{page, false, 1});
    EXPECT_EQ(bar.GetPos(), 1000) << "a page result fills the bar";
    EXPECT_EQ(view.m_lstEngines->GetItemImage(0), IMG_ENGINE_NO_RESULTS);
    deliver(FetchStep{});
    EXPECT_EQ(bar.GetPos(), 10) << "a step past the top starts again from the bottom";

    const std::string url = "http://127.0.0.1:1/music/song.mp3";
    deliver(Mp3Found{url, 1});
    ASSERT_EQ(view.m_lstFiles->GetItemCount(), 1);
    EXPECT_EQ(view.m_lstFiles->GetItemText(0, CFoundFilesModel::Name), "song.mp3");
    EXPECT_EQ(view.m_stcFilesCount->text(), QStringLiteral("1"));
    EXPECT_EQ(bar.GetPos(), 20);

    deliver(FileSizeProbed{0, view.Search().SearchId(), 123, {}});
    deliver(FileStatus{0, view.Search().SearchId(), "Avaliable", true});
    EXPECT_EQ(view.m_lstFiles->GetItemText(0, CFoundFilesModel::Size), "123");
    EXPECT_EQ(view.m_lstFiles->GetItemText(0, CFoundFilesModel::Status), "Avaliable");
    EXPECT_EQ(view.m_stcAvailableCount->text(), QStringLiteral("1"));

    view.m_cboArtist->PushHistoryItem("abba");
    view.m_cboSong->PushHistoryItem("waterloo");
    deliver(ClearHistory{});
    EXPECT_EQ(view.m_cboArtist->count() + view.m_cboSong->count(), 0);

    deliver(PageCapped{page});
    EXPECT_NE(m_frame->m_wndStatusBar->currentMessage().indexOf(QString::fromStdString(page)), -1);

    // The workers' end notices have no handler: no box, no change.
    deliver(ProbeFinished{true});
    deliver(DownloadFinished{true});
    EXPECT_TRUE(m_responder.Texts().empty());
    EXPECT_EQ(view.m_lstFiles->GetItemCount(), 1);

    // A worker's message is handled on this thread while the worker waits.
    std::atomic<bool> returned{false};
    ASSERT_TRUE(platform::AfxBeginThread([&] {
        platform::Send(ApplyLanguage{});
        returned = true;
        return 0u;
    }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return returned.load(); }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([] { return platform::RunningWorkerCount() == 0; }, 10000));
}
