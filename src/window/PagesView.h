#pragma once

#include "download/DownloadItem.h"
#include "platform/Files.h"
#include "platform/MessageChannel.h"
#include "search/OpenSearchDescription.h"
#include "search/SearchMessages.h"
#include "window/library/PlayListMessages.h"
#include "window/search/SearchController.h"

#include <QRect>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <unordered_set>
#include <vector>

class CDownloadController;
class CDownloadsModel;
class CFoundFilesModel;
class CSearchController;
class CHistoryCombo;
class CListCtrlEx;
class CListModel;
class CPlayListModel;
class CPreviewPlayer;
class CMainFrame;
template <class T>
struct CommandMapEntry;

struct AddEngineResult;
class CProgressCtrl;
class CToolBar;
class QFileSystemWatcher;
class QLabel;
class QPushButton;
class QTextEdit;

// The main frame's client window: it builds every control of the four pages,
// the search row, the status row and the tab strip, holds the state the rest
// of the program shares, and switches the pages.
//
// Where its handlers live:
//   window/PagesView.cpp              creation, controls, page switching, toolbar groups
//   window/PagesViewTabs.cpp          the tab strip (pictures, hover, clicks)
//   window/PagesViewCommands.cpp      the command map and the messages sent to the view
//   window/search/FindToggle.cpp      Find/Stop (OnFindIt), a forward to the CSearchController
//   window/search/FoundFiles.cpp      Copy URL, the found-files list's right-click
//   window/search/Preview.cpp         hearing a found file before downloading it
//   window/search/UserEngines.cpp     the engine list's popup: add, remove, the engines folder
//   window/download/DownloadList.cpp  the download commands (start, Cancel, Resume,
//                                     Retry, Clear, all), the download list's right-click,
//                                     each a forward to the CDownloadController
//   window/library/PlayList.cpp       the play list: refresh, play, rename, delete
//   window/settings/ViewSettings.cpp  loading and saving the settings
//   window/settings/ViewOptions.cpp   the options dialog
//   window/settings/ViewLanguage.cpp  the language pass and the tab pictures
//   window/settings/ViewHelp.cpp      help and the home page
class CPagesView final : public QWidget, public platform::MessageReceiver {
    Q_OBJECT
public:
    explicit CPagesView(QWidget* parent = nullptr);
    ~CPagesView() override;

    // Creation: splash, controls, tab strip, focus, first language pass.
    int OnCreate();

    // --- pages
    void ShowSearchPage();
    void ShowDownloadPage();
    void ShowPlayListPage();
    enum Page { EnginesPage = 1, SearchPage = 2, DownloadPage = 3, PlayListPage = 4 };
    void ShowSearchButtons(bool show);
    void ShowDownloadButtons(bool show);
    void ShowPlayListButtons(bool show);

    // --- tab strip
    void OnTabClick(const QPoint& point);
    void OnTabHover(const QPoint& point);

    // --- command routing: true when the view's map handles `id` (and ran it)
    bool OnCmdMsg(unsigned id);
    bool HandlesCommand(unsigned id) const;
    const char* HandlerName(unsigned id) const;

    // Messages sent to the view itself (the download list's popup commands).
    platform::LRESULT OnMessage(unsigned message, platform::WPARAM wParam, platform::LPARAM lParam) override;

    // --- operations of the other subsystems, reached through the routing
    void OnFindIt();
    // The preview of found file `row` (window/search/Preview.cpp), and its stop.
    void PreviewRow(int row);
    void OnStopPreview();
    void OnDownload();
    void OnDownloadFile();
    void OnCancelDownload();
    void OnClearDownload();
    void OnCancelAll();
    void OnClearAll();
    // play list: library/PlayList.cpp
    void OnPlayFile();
    void OnRenameFile();
    void OnDeleteFile();
    void OnRefresh();
    void RefreshPlayList();
    // Whether accelerator `id`, pressed while `focus` has the keyboard, is
    // taken as a command (false leaves the key to the focused control).
    bool TakesAccelerator(unsigned id, const QWidget* focus) const;
    void OnHelpInfo();
    // The user's engines (window/search/UserEngines.cpp): their rows follow
    // the three built-in rows; the folder is read on a worker.
    void LoadUserEngineRows();
    // True from LoadUserEngineRows until its rows are shown.
    bool UserEngineRowsPending() const;
    platform::LRESULT OnDownloadResumeItem(platform::WPARAM wParam, platform::LPARAM lParam);
    // The downloads' slots, queue, limits, saved list and the found files'
    // probes (window/download/DownloadController.h).
    CDownloadController& Downloads() { return *m_pDownloadController; }
    const CDownloadController& Downloads() const { return *m_pDownloadController; }
    // The search: its engines, found files, engine rows and their states
    // (window/search/SearchController.h).
    CSearchController& Search() { return *m_pSearchController; }
    const CSearchController& Search() const { return *m_pSearchController; }
    // Language pass (settings/ViewLanguage.cpp); help and home page (settings/ViewHelp.cpp).
    void ApplyLanguage();
    void LoadSettings();
    void SaveSettings();

    // The control with language/colour id `id` (the first one), null when none.
    QWidget* Control(int id) const;

    // --- controls
    CHistoryCombo* m_cboArtist = nullptr;
    CHistoryCombo* m_cboSong = nullptr;
    QPushButton* m_btnFind = nullptr;
    CListCtrlEx* m_lstEngines = nullptr;
    CListCtrlEx* m_lstFiles = nullptr;
    CListCtrlEx* m_lstPlayList = nullptr;
    CListCtrlEx* m_lstDownloads = nullptr;
    // The rows behind the lists; the found files and the engine rows are the
    // search controller's.
    CFoundFilesModel* m_pFoundFiles = nullptr;
    CDownloadsModel* m_pDownloads = nullptr;  // written by the download controller
    CPlayListModel* m_pPlayList = nullptr;
    CProgressCtrl* m_ctlProgress = nullptr;
    QLabel* m_stcFilesLabel = nullptr;
    QLabel* m_stcFilesCount = nullptr;
    QLabel* m_stcPageFrame = nullptr;
    QLabel* m_stcAvailableLabel = nullptr;
    QLabel* m_stcAvailableCount = nullptr;
    QLabel* m_stcArtistLabel = nullptr;
    QLabel* m_stcSongLabel = nullptr;
    CToolBar* m_pToolBar = nullptr;

    // --- shared state
    std::string m_strMusicDir;
    std::string m_strSoundsDir;
    std::string m_strTempDir;
    std::string m_strHelpDir;
    int m_nMaxHistoryItems = 10;
    int m_bPlaySound = 1;
    int m_nPageCycle = 1;

    // The record the right-click on the found-files list fills (row and URL),
    // completed and handed to a new download worker by value.
    DownloadItem m_item;
    CPreviewPlayer* m_pPreview = nullptr;  // made on first use

    // --- play list tags
    std::stop_source m_playListTagsStop;
    int m_nPlayListRowsWritten = 0;

    // --- tab strip
    QLabel* m_stcTabCapLeft = nullptr;
    std::array<QLabel*, 4> m_stcTab{};
    std::array<QLabel*, 4> m_stcTabSep{};  // [1..3] are used
    QLabel* m_stcTabCapRight = nullptr;
    QLabel* m_stcTabRule = nullptr;
    QLabel* m_stcTabShadow = nullptr;
    std::array<QRect, 4> m_rcTab{};
    int m_nSelectedTab = 4;

signals:
    // The view's map has run the handler of command `id`.
    void commandHandled(unsigned id);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // The command map's entry for `id`, null when the view has none.
    static const CommandMapEntry<CPagesView>* FindCommand(unsigned id);
    // --- pages
    void ShowEnginesPage();
    void SelectPage(int page);
    void NextPage();
    // --- tab strip
    void LoadTabBitmaps();
    void PaintTabs();
    // --- the found files (window/search/FoundFiles.cpp, Preview.cpp)
    void OnCopyUrl();
    void OnCopyContextUrl();
    // The found files' preview (window/search/Preview.cpp): the popup's
    // "Preview" and "Stop preview", and Space on the list, which starts the
    // selected row's preview or stops the one that plays.
    void OnPreview();
    void OnTogglePreview();
    CPreviewPlayer& Preview();
    // The file name of a play-list row as the folder holds it (raw bytes).
    std::string PlayListFileName(int row) const;
    // options dialog: settings/ViewOptions.cpp
    void OnOptions();
    void OnHelpContents();
    void OnHomePage();
    void OnListRightClick(CListCtrlEx* list, int row, int column, const QPoint& point);
    // --- the engine list's popup (window/search/UserEngines.cpp)
    void OnEngineListRightClick(int row, const QPoint& point);
    void OnAddEngine();
    void OnRemoveEngine();
    void OnEditEnginesFolder();
    void AddEngineFrom(const std::string& source, bool replace);
    void OnEngineAdded(const std::string& source, const AddEngineResult& result);
    // The play list's tags (window/library/PlayList.cpp): a worker reads them
    // after the names are shown and hands them over in batches.
    void StartPlayListTags(std::vector<std::string> names);
    void StopPlayListTags();
    // Adds the listed rows still to come for at most one slice of a frame;
    // true when every row is in.
    bool FillPlayListSlice();
    platform::LRESULT OnPlayListListed(const PlayListListed& message);
    void ContinuePlayListFill(std::uint64_t fill);
    platform::LRESULT OnPlayListTags(const PlayListTags& message);
    // --- the download list's commands (window/download/DownloadList.cpp)
    platform::LRESULT OnDownloadCancelItem(platform::WPARAM wParam, platform::LPARAM lParam);
    platform::LRESULT OnDownloadClearItem(platform::WPARAM wParam, platform::LPARAM lParam);
    void OnResumeDownload();
    void OnRetryDownload();
    platform::LRESULT OnDownloadRetryItem(platform::WPARAM wParam, platform::LPARAM lParam);
    void OnDownloadListRightClick(int row, const QPoint& point);
    int SelectedDownloadSlot(unsigned noRow, unsigned noSlot) const;
    void SelectTabImages();
    // --- state of the view's own
    QTextEdit* m_edtClipboard = nullptr;
    std::unique_ptr<CDownloadController> m_pDownloadController;
    std::unique_ptr<CSearchController> m_pSearchController;
    std::uint64_t m_nPlayListScan = 0;
    // A large folder's rows go in over several slices, so the window keeps
    // painting: what the listing gave, from the back, and the names added so far.
    std::vector<platform::FoundFile> m_playListPending;
    std::size_t m_nPlayListPendingNext = 0;
    std::vector<std::string> m_playListNames;
    std::uint64_t m_nPlayListFill = 0;
    // Where the tag cache lives; empty for none (tests that must read every time).
    std::string m_strTagCacheFile;
    CMainFrame* Frame() const;
    // The Find toggle's caption follows whether a search runs.
    void SetFindCaption(bool searching);
    void CopyToClipboard(const std::string& text);
    // Picture ids of the tabs in use: for each tab normal, hover, selected.
    std::array<int, 12> m_nTabBitmaps{};

    CSearchController::Owner SearchOwner();
    void CreateControls();
    QLabel* CreateStatic(int id, const char* name, const QString& text, const QRect& rect, Qt::Alignment align);
    CListCtrlEx* CreateList(int id, const char* name, const QRect& rect, bool visible, CListModel* model = nullptr);
    QLabel* CreateTabPiece(const char* name, const QPoint& topLeft, const QSize& size);
    void SetTabImage(QLabel* piece, int bitmapId);
    int TabImage(int tab, int kind) const { return m_nTabBitmaps[static_cast<std::size_t>(tab * 3 + kind)]; }
    void SetButtonGroup(const unsigned* ids, std::size_t count, bool show);
};

// The picture id a tab-strip piece shows (kept beside its pixmap, so that
// tests and the language pass can tell the pictures apart); -1 when none.
int BitmapIdOf(const QWidget* widget);
