#include "window/PagesView.h"

#include "window/download/DownloadController.h"
#include "window/download/DownloadsModel.h"
#include "window/download/ListCtrlEx.h"
#include "window/library/PlayListModel.h"
#include "window/search/EnginesModel.h"
#include "window/search/FoundFilesModel.h"
#include "window/search/SearchController.h"
#include "download/ProbeQueue.h"
#include "library/TagScan.h"
#include "platform/AppProfile.h"
#include "platform/Files.h"
#include "window/desktop/Sound.h"
#include "resources/Resource.h"
#include "window/settings/SplashDlg.h"
#include "window/HistoryCombo.h"
#include "window/MainFrame.h"
#include "window/ProgressCtrl.h"
#include "window/ToolBar.h"
#include "window/settings/Translate.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>

namespace {

// The rectangle of a control given as left, top, right, bottom.
QRect Ltrb(int left, int top, int right, int bottom)
{
    return QRect(left, top, right - left, bottom - top);
}

void MarkControl(QWidget* widget, int id, const char* name)
{
    widget->setProperty("controlId", id);
    widget->setObjectName(QString::fromLatin1(name));
}

// The closed height of a drop-down box in the 8-point dialog font; the rest of
// the rectangle's height is its list.
constexpr int kComboHeight = 21;

const unsigned kSearchButtons[] = {ID_TB_DOWNLOAD_FILE, ID_TB_COPY_URL};
const unsigned kDownloadButtons[] = {ID_TB_CANCEL_DOWNLOAD, ID_TB_CLEAR_DOWNLOAD, ID_TB_CANCEL_ALL, ID_TB_CLEAR_ALL};
const unsigned kPlayListButtons[] = {ID_TB_PLAY, ID_TB_RENAME, ID_TB_DELETE, ID_TB_REFRESH};

}  // namespace

CPagesView::CPagesView(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("pagesView"));
    setProperty("controlId", 0xE900);
    const platform::AppFolders folders = platform::GetAppFolders();
    m_strMusicDir = folders.musicDir;
    m_strSoundsDir = folders.dataDir + "/Sounds/";
    m_strTempDir = folders.tempDir;
    m_strTagCacheFile = TagCacheFile(folders.tempDir);
    m_strHelpDir = folders.dataDir + "/Help/";
    m_nMaxHistoryItems = 10;
    m_bPlaySound = 1;
    // The download list's rows outlive no part of the view: the model is the
    // view's child, the controller writes into it.
    m_pDownloads = new CDownloadsModel(this);
    m_pDownloadController = std::make_unique<CDownloadController>(
        *m_pDownloads, CDownloadController::Owner{[this] { Search().UpdateFoundFileStates(true); },
                                                  [this] { return m_strMusicDir; }});
    m_pSearchController = std::make_unique<CSearchController>(this, SearchOwner());
    m_pFoundFiles = &m_pSearchController->Files();
    setMouseTracking(true);
    setAutoFillBackground(true);
}

// Releasing the search controller stops its engines; the download
// controller's probe queue drops what still waits, and its transfers are let
// go (their part files stay). Nothing of these reports into this view
// afterwards.
CPagesView::~CPagesView()
{
    StopPlayListTags();
    m_pSearchController.reset();
}

// What a search shows: counts, progress, the Find toggle, the found-file
// sound and notes in the status bar.
CSearchController::Owner CPagesView::SearchOwner()
{
    CSearchController::Owner owner;
    owner.statusText = [this](const std::string& text) {
        if (CMainFrame* frame = Frame(); frame != nullptr && frame->m_wndStatusBar != nullptr)
            frame->SetStatusText(text);
    };
    owner.counts = [this](int found, int available) {
        m_stcFilesCount->setText(QString::number(found));
        m_stcAvailableCount->setText(QString::number(available));
    };
    owner.progressStep = [this] { m_ctlProgress->StepIt(); };
    owner.progressPos = [this](int pos) { m_ctlProgress->SetPos(pos); };
    owner.fileFound = [this] {
        // The sound never holds the search back: it plays on a worker of its
        // own, and while the last one still plays (a sound server may take
        // seconds) the new one is skipped.
        if (m_bPlaySound != 0)
            platform::PlaySoundAsync(m_strSoundsDir + "NewMp3Found.wav",
                                     platform::SND_NOWAIT | platform::SND_APPLICATION, {});
    };
    owner.searchingChanged = [this](bool searching) { SetFindCaption(searching); };
    owner.musicDir = [this] { return m_strMusicDir; };
    owner.probe = [this](const DownloadItem& item, std::stop_token stop) {
        Downloads().Probes().Start(item, std::move(stop));
    };
    owner.downloadSlots = [this]() -> const CDownloadController::Slots& { return Downloads().AllSlots(); };
    return owner;
}

CMainFrame* CPagesView::Frame() const
{
    return qobject_cast<CMainFrame*>(window());
}

int CPagesView::OnCreate()
{
    {
        CSplashDlg splash;
        splash.DoModal();
    }
    CreateControls();
    LoadTabBitmaps();
    m_cboArtist->setFocus();
    ApplyLanguage();
    return 0;
}

QLabel* CPagesView::CreateStatic(int id, const char* name, const QString& text, const QRect& rect,
                                 Qt::Alignment align)
{
    auto* label = new QLabel(text, this);
    MarkControl(label, id, name);
    label->setGeometry(rect);
    // Translated captions keep the alignment of the English ones: the window is never mirrored.
    label->setAlignment(align | Qt::AlignTop | Qt::AlignAbsolute);
    label->setWordWrap(false);
    return label;
}

CListCtrlEx* CPagesView::CreateList(int id, const char* name, const QRect& rect, bool visible, CListModel* model)
{
    auto* list = new CListCtrlEx(this, model);
    MarkControl(list, id, name);
    list->setGeometry(rect);
    list->setVisible(visible);
    connect(list, &CListCtrlEx::rightClicked, this,
            [this, list](int row, int column, QPoint point) { OnListRightClick(list, row, column, point); });
    return list;
}

void CPagesView::CreateControls()
{
    m_stcPageFrame = CreateStatic(IDC_PAGE_FRAME, "pageFrame", QString(), Ltrb(2, 58, 628, 379), Qt::AlignHCenter);
    m_stcPageFrame->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_stcPageFrame->setLineWidth(1);

    // The keyword labels leave room for the longest shipped caption ("Chanson :").
    m_stcArtistLabel = CreateStatic(IDC_ARTIST_LABEL, "artistLabel", QStringLiteral("Artist: "), Ltrb(4, 65, 68, 80),
                                    Qt::AlignHCenter);
    m_cboArtist = new CHistoryCombo(false, this);
    MarkControl(m_cboArtist, IDC_ARTIST, "artist");
    m_cboArtist->setEditable(true);
    m_cboArtist->setInsertPolicy(QComboBox::NoInsert);
    m_cboArtist->setGeometry(70, 65, 132, kComboHeight);
    m_cboArtist->ReadHistory("Artist Key Word", "TunorvaHistory_Artist");
    NameAfterCaption(m_cboArtist, m_stcArtistLabel);

    m_stcSongLabel =
        CreateStatic(IDC_SONG_LABEL, "songLabel", QStringLiteral("Song: "), Ltrb(204, 65, 268, 85), Qt::AlignHCenter);
    m_cboSong = new CHistoryCombo(false, this);
    MarkControl(m_cboSong, IDC_SONG, "song");
    m_cboSong->setEditable(true);
    m_cboSong->setInsertPolicy(QComboBox::NoInsert);
    m_cboSong->setGeometry(270, 65, 230, kComboHeight);
    m_cboSong->ReadHistory("Song Key Word", "TunorvaHistory_Song");
    NameAfterCaption(m_cboSong, m_stcSongLabel);

    m_btnFind = new QPushButton(QStringLiteral("Find it !"), this);
    MarkControl(m_btnFind, IDC_FIND, "find");
    m_btnFind->setGeometry(Ltrb(505, 65, 626, 90));
    m_btnFind->setDefault(true);
    connect(m_btnFind, &QPushButton::clicked, this, [this] { OnCmdMsg(IDC_FIND); });

    const QRect listRect = Ltrb(10, 100, 623, 354);
    m_lstEngines = CreateList(IDC_ENGINE_LIST, "engineList", listRect, true, &Search().EngineRows());
    m_lstEngines->InsertColumn(CEnginesModel::Status, "Status", LVCFMT_CENTER, 43);
    m_lstEngines->InsertColumn(CEnginesModel::Name, "Engine", LVCFMT_LEFT, 100);
    m_lstEngines->InsertColumn(CEnginesModel::Files, "Files", LVCFMT_LEFT, 100);
    m_lstEngines->InsertColumn(CEnginesModel::HomePage, "Home Page", LVCFMT_LEFT, 600);
    m_lstEngines->InsertColumn(CEnginesModel::Id, "ID", LVCFMT_LEFT, 0);
    m_lstEngines->UseListImages();
    m_lstEngines->SetMenuName("ENGINE_POPUP_MENU");

    m_lstDownloads = CreateList(IDC_DOWNLOAD_LIST, "downloadList", listRect, false, m_pDownloads);
    m_lstDownloads->SetSingleSelection(true);
    m_lstDownloads->SetOwnerDrawn(true);
    m_lstDownloads->RefreshRowHeight();
    m_lstDownloads->SetMenuName("DownloadFileOperations");
    m_lstDownloads->setIconSize(QSize());
    m_lstDownloads->InsertColumn(CDownloadsModel::FileName, "File Name", LVCFMT_LEFT, 200);
    m_lstDownloads->InsertColumn(CDownloadsModel::FileSize, "File Size", LVCFMT_LEFT, 80);
    m_lstDownloads->InsertColumn(CDownloadsModel::Received, "Receive", LVCFMT_CENTER, 80);
    m_lstDownloads->InsertColumn(CDownloadsModel::Progress, "Progress", LVCFMT_LEFT, 140);
    // The time left is the longest figure of a row ("59 min 59 sec (1024.0 KB of
    // 999.00 MB copied)"); the sizes and the bar give it the room.
    m_lstDownloads->InsertColumn(CDownloadsModel::TimeLeft, "Remaining Time", LVCFMT_LEFT, 300);
    m_lstDownloads->InsertColumn(CDownloadsModel::Rate, "Transfer Rate", LVCFMT_LEFT, 100);
    m_lstDownloads->InsertColumn(CDownloadsModel::Id, "ID", LVCFMT_LEFT, 0);
    m_lstDownloads->InsertColumn(CDownloadsModel::Source, "Source", LVCFMT_LEFT, 150);
    m_lstDownloads->MoveColumnAfter(CDownloadsModel::Source, CDownloadsModel::Rate);

    m_lstFiles = CreateList(IDC_FILE_LIST, "fileList", listRect, false, m_pFoundFiles);
    m_lstFiles->SetMenuName("FILE_POPUP_MENU");
    m_lstFiles->InsertColumn(CFoundFilesModel::Type, "Type", LVCFMT_CENTER, 43);
    m_lstFiles->InsertColumn(CFoundFilesModel::Status, "Status", LVCFMT_LEFT, 100);
    m_lstFiles->InsertColumn(CFoundFilesModel::Name, "File Name", LVCFMT_LEFT, 165);
    m_lstFiles->InsertColumn(CFoundFilesModel::Size, "File Size", LVCFMT_LEFT, 62);
    m_lstFiles->InsertColumn(CFoundFilesModel::Url, "URL", LVCFMT_LEFT, 600);
    // What the probes read from each file's head, shown before the long URL
    // and narrow enough that the list shows them all beside the name.
    m_lstFiles->InsertColumn(CFoundFilesModel::Bitrate, "Bitrate", LVCFMT_LEFT, 62);
    m_lstFiles->InsertColumn(CFoundFilesModel::Length, "Length", LVCFMT_LEFT, 45);
    m_lstFiles->InsertColumn(CFoundFilesModel::Title, "Title", LVCFMT_LEFT, 105);
    m_lstFiles->InsertColumn(CFoundFilesModel::Artist, "Artist", LVCFMT_LEFT, 95);
    m_lstFiles->InsertColumn(CFoundFilesModel::Sources, "Sources", LVCFMT_CENTER, 55);
    m_lstFiles->MoveColumnAfter(CFoundFilesModel::Url, CFoundFilesModel::Sources);
    m_lstFiles->UseListImages();
    m_lstFiles->SetSortable(true);

    m_pPlayList = new CPlayListModel(this);
    m_lstPlayList = CreateList(IDC_PLAY_LIST, "playList", listRect, false, m_pPlayList);
    m_lstPlayList->UseListImages();
    m_lstPlayList->RefreshRowHeight();
    m_lstPlayList->SetMenuName("PlayListOperations");
    m_lstPlayList->InsertColumn(CPlayListModel::Type, "Type", LVCFMT_CENTER, 43);
    m_lstPlayList->InsertColumn(CPlayListModel::FileName, "File Name", LVCFMT_LEFT, 220);
    m_lstPlayList->InsertColumn(CPlayListModel::FileSize, "File Size", LVCFMT_LEFT, 80);
    // The tags follow the file's own columns; the size column no longer
    // fills the rest of the row, so that the title shows beside the name.
    m_lstPlayList->InsertColumn(CPlayListModel::Title, "Title", LVCFMT_LEFT, 160);
    m_lstPlayList->InsertColumn(CPlayListModel::Artist, "Artist", LVCFMT_LEFT, 120);
    m_lstPlayList->InsertColumn(CPlayListModel::Album, "Album", LVCFMT_LEFT, 120);
    m_lstPlayList->InsertColumn(CPlayListModel::Length, "Length", LVCFMT_LEFT, 55);
    m_lstPlayList->InsertColumn(CPlayListModel::Bitrate, "Bitrate", LVCFMT_LEFT, 62);
    m_lstPlayList->SetSortable(true);
    // A double-click plays the row, as the toolbar's Play does.
    connect(m_lstPlayList, &CListCtrlEx::rowActivated, this, [this](int row) {
        m_lstPlayList->SelectItem(row);
        OnPlayFile();
    });

    m_ctlProgress = new CProgressCtrl(this);
    MarkControl(m_ctlProgress, IDC_PROGRESS, "progress");
    m_ctlProgress->setGeometry(Ltrb(10, 359, 328, 374));
    m_ctlProgress->SetRange32(0, 1000);

    m_stcFilesLabel =
        CreateStatic(IDC_FILES_LABEL, "filesLabel", QStringLiteral("Files: "), Ltrb(333, 359, 368, 374), Qt::AlignLeft);
    m_stcFilesCount =
        CreateStatic(IDC_FILES_COUNT, "filesCount", QStringLiteral("0"), Ltrb(370, 359, 438, 374), Qt::AlignHCenter);
    m_stcAvailableLabel = CreateStatic(IDC_AVAILABLE_LABEL, "availableLabel", QStringLiteral("Avaliable Files:"),
                                       Ltrb(440, 359, 541, 374), Qt::AlignHCenter);
    m_stcAvailableCount = CreateStatic(IDC_AVAILABLE_COUNT, "availableCount", QStringLiteral("0"),
                                       Ltrb(543, 359, 623, 374), Qt::AlignHCenter);
    // The labels of the search and status rows are drawn in blue, the counters not.
    for (QLabel* label : {m_stcArtistLabel, m_stcSongLabel, m_stcFilesLabel, m_stcAvailableLabel}) {
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, QColor(0, 0, 255));
        label->setPalette(pal);
    }

    // The start sound plays before the page is usable; settings are not read
    // yet, so it plays whatever the sound setting says. It plays on a worker:
    // a sound server may take two seconds to say a sound has played, and the
    // window would stay blank that long.
    platform::PlaySoundAsync(m_strSoundsDir + "Start.wav", platform::SND_NOWAIT | platform::SND_APPLICATION, {});

    m_edtClipboard = new QTextEdit(this);
    MarkControl(m_edtClipboard, IDC_CLIPBOARD_EDIT, "clipboardEdit");
    m_edtClipboard->setGeometry(Ltrb(10, 10, 100, 100));
    m_edtClipboard->setAcceptRichText(false);
    m_edtClipboard->hide();
}

QWidget* CPagesView::Control(int id) const
{
    for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child->property("controlId").toInt() == id && child->property("controlId").isValid())
            return child;
    }
    return nullptr;
}

void CPagesView::ShowEnginesPage()
{
    ShowDownloadButtons(false);
    ShowSearchButtons(false);
    ShowPlayListButtons(false);
    SelectPage(EnginesPage);
}

void CPagesView::ShowSearchPage()
{
    ShowDownloadButtons(false);
    ShowSearchButtons(true);
    ShowPlayListButtons(false);
    SelectPage(SearchPage);
}

void CPagesView::ShowDownloadPage()
{
    ShowDownloadButtons(true);
    ShowSearchButtons(false);
    ShowPlayListButtons(false);
    SelectPage(DownloadPage);
}

void CPagesView::ShowPlayListPage()
{
    ShowDownloadButtons(false);
    ShowSearchButtons(false);
    ShowPlayListButtons(true);
    SelectPage(PlayListPage);
    RefreshPlayList();
}

void CPagesView::SelectPage(int page)
{
    const std::array<std::pair<int, CListCtrlEx*>, 4> lists = {
        {{EnginesPage, m_lstEngines}, {SearchPage, m_lstFiles}, {DownloadPage, m_lstDownloads}, {PlayListPage, m_lstPlayList}}};
    for (const auto& [number, list] : lists) {
        if (number != page)
            list->hide();
    }
    for (const auto& [number, list] : lists) {
        if (number == page)
            list->show();
    }
    // The search row stays on every page.
    for (QWidget* control : {static_cast<QWidget*>(m_stcArtistLabel), static_cast<QWidget*>(m_cboArtist),
                             static_cast<QWidget*>(m_stcSongLabel), static_cast<QWidget*>(m_cboSong),
                             static_cast<QWidget*>(m_btnFind)})
        control->show();
}

void CPagesView::SetButtonGroup(const unsigned* ids, std::size_t count, bool show)
{
    if (m_pToolBar == nullptr)
        return;
    for (std::size_t i = 0; i < count; ++i)
        m_pToolBar->SetButtonState(ids[i], show ? 0 : TBSTATE_HIDDEN);
}

void CPagesView::ShowSearchButtons(bool show)
{
    SetButtonGroup(kSearchButtons, std::size(kSearchButtons), show);
}

void CPagesView::ShowDownloadButtons(bool show)
{
    SetButtonGroup(kDownloadButtons, std::size(kDownloadButtons), show);
}

void CPagesView::ShowPlayListButtons(bool show)
{
    SetButtonGroup(kPlayListButtons, std::size(kPlayListButtons), show);
}

void CPagesView::NextPage()
{
    m_nPageCycle = m_nPageCycle + 1;
    if (m_nPageCycle > 4)
        m_nPageCycle = 1;
    switch (m_nPageCycle) {
    case 1: ShowEnginesPage(); break;
    case 2: ShowSearchPage(); break;
    case 3: ShowDownloadPage(); break;
    case 4: ShowPlayListPage(); break;
    }
}
