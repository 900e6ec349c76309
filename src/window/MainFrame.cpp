#include "window/MainFrame.h"

#include "window/download/ListCtrlEx.h"
#include "platform/Files.h"
#include "window/Pictures.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"
#include "search/NavigateToMp3.h"
#include "search/UserEngineWalk.h"
#include "window/CommandTables.h"
#include "window/PagesView.h"
#include "window/search/SearchController.h"
#include "window/download/DownloadController.h"
#include "window/ToolBar.h"
#include "window/CommandTarget.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include "window/ProgressCtrl.h"
#include <QStatusBar>

#include <chrono>
#include <filesystem>
#include <system_error>

namespace {

bool g_failCreationForTesting = false;

// Heights of the toolbar (16 x 16 buttons) and of the one-line status bar.
// The page layout takes a fixed 73 pixels off the client height (OnSize);
// with bars of these heights the status row of the pages ends a few pixels
// above the status bar instead of under it.
constexpr int kToolBarHeight = 27;
constexpr int kStatusBarHeight = 20;

// How long closing waits for stopped page workers; a worker that is stuck
// further (a name lookup) is left to end with the process.
constexpr auto kPageWorkersShutdownWait = std::chrono::seconds(5);

}  // namespace

CMainFrame::CMainFrame()
{
    setObjectName(QStringLiteral("mainFrame"));
    setAttribute(Qt::WA_DeleteOnClose, false);
}

CMainFrame::~CMainFrame()
{
    platform::ClearMainWindow(this);
    if (m_bCreated)
        qApp->removeEventFilter(this);
}

void CMainFrame::SetFailCreationForTesting(bool fail)
{
    g_failCreationForTesting = fail;
}

bool CMainFrame::LoadFrame(int resourceId)
{
    if (resourceId != IDR_MAINFRAME)
        return false;
    setWindowTitle(QString::fromStdString(LoadBuiltinString(AFX_IDS_APP_TITLE)));
    setWindowIcon(ApplicationIcon());
    BuildMenu();
    if (OnCreate() == -1)
        return false;
    m_bCreated = true;
    platform::SetMainWindow(this, this);
    // Only now can the restored transfers report: before, their first
    // messages (the length among them) would find no window. The same goes
    // for the user engines' rows, read on a worker.
    m_wndView->Downloads().RestoreDownloads();
    m_wndView->LoadUserEngineRows();
    return true;
}

int CMainFrame::OnCreate()
{
    m_strLanguage = "English";
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    if (g_failCreationForTesting)
        return -1;

    m_wndView = new CPagesView(this);
    setCentralWidget(m_wndView);
    if (m_wndView->OnCreate() == -1)
        return -1;

    m_wndToolBar = new CToolBar(this);
    if (!m_wndToolBar->LoadToolBar(IDR_MAINFRAME))
        return -1;
    m_wndToolBar->setFixedHeight(kToolBarHeight);
    addToolBar(Qt::TopToolBarArea, m_wndToolBar);
    connect(m_wndToolBar, &CToolBar::commandChosen, this, [this](unsigned id) { OnCmdMsg(id); });
    for (unsigned id : ToolbarButtons()) {
        if (QAction* action = m_wndToolBar->ButtonAction(id))
            action->setEnabled(CanRouteCommand(id));
    }

    CreateStatusBar();

    move(0, 0);
    resize(640, 480);
    const QSize client = ClientSize();
    OnSize(client.width(), client.height());

    m_wndView->m_pToolBar = m_wndToolBar;
    m_wndView->ShowDownloadButtons(false);
    m_wndView->ShowSearchButtons(false);
    m_wndView->ShowPlayListButtons(false);
    m_wndView->LoadSettings();
    m_wndView->ApplyLanguage();
    RefreshPrompts();
    // As if the first tab had been clicked.
    m_wndView->OnTabClick(QPoint(60, 24));

    qApp->installEventFilter(this);
    return 0;
}

void CMainFrame::BuildMenu()
{
    QMenuBar* bar = menuBar();
    for (const DropDown& dropDown : MainMenu()) {
        QMenu* menu = bar->addMenu(QString::fromUtf8(dropDown.text));
        for (const MenuEntry& entry : dropDown.entries) {
            if (entry.id == 0) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(QString::fromUtf8(entry.text));
            action->setProperty("commandId", entry.id);
            action->setObjectName(QStringLiteral("menu%1").arg(entry.id));
            const unsigned id = entry.id;
            connect(action, &QAction::triggered, this, [this, id] { OnCmdMsg(id); });
            m_menuActions[id] = action;
        }
    }
}

void CMainFrame::CreateStatusBar()
{
    m_wndStatusBar = new QStatusBar(this);
    m_wndStatusBar->setObjectName(QStringLiteral("statusBar"));
    m_wndStatusBar->setFixedHeight(kStatusBarHeight);
    // The lock indicators: the window system reports no lock states to us,
    // so the panes stay empty as they are while the locks are off.
    for (int id : {ID_INDICATOR_CAPS, ID_INDICATOR_NUM, ID_INDICATOR_SCRL}) {
        auto* pane = new QLabel(m_wndStatusBar);
        pane->setProperty("controlId", id);
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pane->setMinimumWidth(id == ID_INDICATOR_SCRL ? 36 : 30);
        m_wndStatusBar->addPermanentWidget(pane);
    }
    setStatusBar(m_wndStatusBar);
}

QSize CMainFrame::ClientSize() const
{
    const QWidget* menu = menuWidget();
    int menuHeight = 0;
    if (menu != nullptr)
        menuHeight = menu->isVisible() ? menu->height() : menu->sizeHint().height();
    return QSize(width(), height() - menuHeight);
}

void CMainFrame::resizeEvent(QResizeEvent* event)
{
    // The window's own layout has placed the bars and the view by now.
    QMainWindow::resizeEvent(event);
    if (m_wndView == nullptr || m_wndView->m_stcPageFrame == nullptr)
        return;
    const QSize client = ClientSize();
    OnSize(client.width(), client.height());
}

void CMainFrame::OnSize(int cx, int cy)
{
    if (cx >= 628)
        m_cxView = std::max(0, cx - 6);
    if (cy >= 379)
        m_cyView = std::max(0, cy - 73);
    LayoutPages();
}

void CMainFrame::LayoutPages()
{
    CPagesView* view = m_wndView;
    if (view == nullptr || view->m_stcPageFrame == nullptr)
        return;
    const int w = m_cxView;
    const int h = m_cyView;
    view->m_stcPageFrame->setGeometry(2, 58, w, h);
    for (CListCtrlEx* list : {view->m_lstEngines, view->m_lstDownloads, view->m_lstFiles, view->m_lstPlayList})
        list->setGeometry(10, 100, w - 15, h - 100);
    view->m_ctlProgress->setGeometry(10, h + 5, w - 310, 15);
    view->m_stcFilesLabel->setGeometry(w - 297, h + 5, 100, 15);
    view->m_stcFilesCount->setGeometry(w - 253, h + 5, 80, 15);
    view->m_stcAvailableLabel->setGeometry(w - 170, h + 5, 100, 15);
    view->m_stcAvailableCount->setGeometry(w - 68, h + 5, 68, 15);
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    OnClose();
    event->accept();
}

void CMainFrame::OnClose()
{
    if (m_bClosed)
        return;
    m_bClosed = true;
    const auto step = [this](const char* name) {
        if (m_onCloseStep)
            m_onCloseStep(name);
    };
    if (m_wndView != nullptr) {
        // The list is kept for the next start; the transfers end with their
        // part files left in place.
        m_wndView->Downloads().StopDownloadsForExit();
        step("StopDownloads");
        // The page workers spool into Temp/: they are stopped and waited for
        // (a stopped worker gives up its waits within a fraction of a second),
        // so that none writes a page file after the folder has been emptied.
        m_wndView->Search().Stop();
        CNavigateToMp3::WaitForPageWorkers(kPageWorkersShutdownWait);
        CUserEngineWalk::WaitForWalks(kPageWorkersShutdownWait);
        step("StopSearch");
        DeleteTempFiles();
        step("DeleteTempFiles");
        m_wndView->SaveSettings();
        step("SaveSettings");
    }
    // The window is gone from here on: workers waiting to report are let go,
    // and nothing more reaches the pages.
    platform::ClearMainWindow(this);
    step("Destroy");
}

void CMainFrame::DeleteTempFiles()
{
    // Only files directly in the folder go; folders and whatever they hold stay.
    std::error_code ec;
    std::filesystem::directory_iterator it(m_wndView->m_strTempDir, ec);
    if (ec)
        return;
    for (const std::filesystem::directory_entry& entry : it) {
        std::error_code typeError;
        if (entry.symlink_status(typeError).type() == std::filesystem::file_type::directory || typeError)
            continue;
        std::error_code removeError;
        std::filesystem::remove(entry.path(), removeError);
    }
}

void CMainFrame::focusInEvent(QFocusEvent* event)
{
    QMainWindow::focusInEvent(event);
    if (m_wndView != nullptr)
        m_wndView->setFocus();
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return QMainWindow::eventFilter(watched, event);
    // Accelerators act wherever this window is active, also inside the
    // keyword boxes, but not in an open drop-down, menu or dialog.
    const auto* widget = static_cast<QWidget*>(watched);
    if (widget->window() != this || QApplication::activePopupWidget() != nullptr ||
        QApplication::activeModalWidget() != nullptr)
        return QMainWindow::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier && m_wndView != nullptr) {
        m_wndView->OnHelpInfo();
        return true;
    }
    const unsigned id = FindAccelerator(*key);
    // Holding Space down would start and stop a preview over and over.
    if (id == ID_ACCEL_PREVIEW && key->isAutoRepeat() && m_wndView != nullptr &&
        m_wndView->TakesAccelerator(id, widget->window()->focusWidget()))
        return true;
    const QWidget* focus = widget->window()->focusWidget();
    if (id == 0 || (m_wndView != nullptr && !m_wndView->TakesAccelerator(id, focus != nullptr ? focus : widget)))
        return QMainWindow::eventFilter(watched, event);
    OnCmdMsg(id);
    return true;
}

bool CMainFrame::OnCmdMsg(unsigned id)
{
    if (m_wndView != nullptr && m_wndView->OnCmdMsg(id)) {
        emit commandRouted(id, QString::fromLatin1(m_wndView->HandlerName(id)));
        return true;
    }
    if (id == ID_MENU_SETTINGS) {
        OnLanguageSettings();
        emit commandRouted(id, QStringLiteral("OnLanguageSettings"));
        return true;
    }
    if (CCommandTarget* app = AppCommandTarget(); app != nullptr && app->HandlesCommand(id)) {
        const QString name = QString::fromLatin1(app->HandlerName(id));
        // Report first: the command may end this window.
        emit commandRouted(id, name);
        app->OnCmdMsg(id);
        return true;
    }
    emit commandRouted(id, QString());
    return false;
}

bool CMainFrame::CanRouteCommand(unsigned id) const
{
    if (m_wndView != nullptr && m_wndView->HandlesCommand(id))
        return true;
    if (id == ID_MENU_SETTINGS)
        return true;
    const CCommandTarget* app = AppCommandTarget();
    return app != nullptr && app->HandlesCommand(id);
}

QAction* CMainFrame::MenuAction(unsigned id) const
{
    const auto it = m_menuActions.find(id);
    return it != m_menuActions.end() ? it->second : nullptr;
}
