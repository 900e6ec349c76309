// The language pass over the real window: captions, menu, headers, tab
// pictures, tips and prompts.
#include "ShellFixture.h"

#include "window/download/ListCtrlEx.h"
#include "resources/Messages.h"
#include "resources/Resource.h"
#include "settings/LanguagePack.h"
#include "platform/IniFile.h"
#include "resources/StringTable.h"
#include "window/settings/Translate.h"
#include "window/AboutDlg.h"
#include "window/library/RenameDlg.h"
#include "window/settings/LanguageDlg.h"
#include "window/settings/OptionsDlg.h"
#include "window/ToolBar.h"
#include "window/download/DownloadsModel.h"
#include "window/search/FoundFilesModel.h"
#include "download/TransferFigures.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QStyleOptionHeader>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTextDocument>

#include <functional>
#include <optional>
#include <set>
#include <tuple>

using testing_support::ShellTest;

namespace {

class LanguageWindow : public ShellTest {
protected:
    void Apply(const std::string& language)
    {
        m_frame->m_strLanguage = language;
        platform::Deliver(*m_frame, ApplyLanguage{});
    }
    QString TopMenu(int position) const { return m_frame->menuBar()->actions().at(position)->text(); }
    QString Entry(unsigned id) const { return m_frame->MenuAction(id)->text(); }
    QString Header(CListCtrlEx* list, int column) const
    {
        return QString::fromStdString(list->GetColumnHeader(column));
    }
    QString IdlePrompt() const
    {
        return m_frame->m_wndStatusBar->findChild<QLabel*>(QStringLiteral("messagePane"))->text();
    }
};

TEST_F(LanguageWindow, WithoutAFileEverythingIsBuiltInEnglishAndTipsAndPromptsAreBlank)
{
    EXPECT_EQ(m_frame->m_strLanguage, "English");
    EXPECT_EQ(TopMenu(0), "&File");
    EXPECT_EQ(Entry(ID_MENU_ENGINES_PAGE), "Search &Engine Page");
    EXPECT_EQ(Header(m_view->m_lstDownloads, 5), "Transfer Rate");
    EXPECT_EQ(m_view->m_stcArtistLabel->text(), "Artist: ");
    EXPECT_EQ(LoadLanguageString(IDS_NO_ITEM_SELECTED), "No Item Selected.");
    EXPECT_EQ(m_frame->m_wndToolBar->ButtonAction(ID_TB_FIND)->toolTip(), "");
    EXPECT_EQ(m_frame->GetMessageString(ID_TB_FIND), " ");
    EXPECT_EQ(IdlePrompt(), " ");
}

TEST_F(LanguageWindow, AFileReplacesCaptionsMenusHeadersTipsAndPrompts)
{
    m_dir.Write("Language/Test.ini",
                "[Tunorva]\n"
                "2=Key two\n15=Interprète :\n16=\n"           // artist box, artist label, empty value
                "&file340=&Fichier\n"                          // key case does not matter
                "32772=Moteurs\n32807=\n"                      // a drop-down entry, an empty one
                "40000=État\n40009=Débit\n40013=\n"            // first, last download, empty header
                "40017=Taille\n40018=Beyond the last header\n"
                "32782=" + std::string(100, 't') + "\n"          // tip cut to 79
                "32789=H&ome && more\n"                        // a tip shows no mnemonic
                "57345=Prêt\n");
    m_view->m_cboArtist->setEditText(QStringLiteral("typed"));
    Apply("Test");

    // Key 2 reaches the artist box, whose control id is 2.
    EXPECT_EQ(m_view->m_cboArtist->currentText(), "Key two");
    EXPECT_EQ(m_view->m_stcArtistLabel->text(), "Interprète :");
    EXPECT_EQ(m_view->m_stcSongLabel->text(), "Song: ");
    // Only the first top-level entry has a key; the others keep their English texts.
    EXPECT_EQ(TopMenu(0), "&Fichier");
    EXPECT_EQ(TopMenu(1), "&Page");
    EXPECT_EQ(Entry(ID_MENU_ENGINES_PAGE), "Moteurs");
    EXPECT_EQ(Entry(ID_MENU_SEARCH_PAGE), "&Search Page");
    EXPECT_EQ(Header(m_view->m_lstEngines, 0), "État");
    EXPECT_EQ(Header(m_view->m_lstDownloads, 5), "Débit");
    EXPECT_EQ(Header(m_view->m_lstFiles, 3), "File Size");
    EXPECT_EQ(Header(m_view->m_lstPlayList, 2), "Taille");
    EXPECT_EQ(Header(m_view->m_lstDownloads, 6), "ID");
    EXPECT_EQ(m_frame->OnToolTipText(ID_TB_FIND), std::string(79, 't'));
    EXPECT_EQ(m_frame->m_wndToolBar->ButtonAction(ID_TB_FIND)->toolTip(), QString(79, u't'));
    EXPECT_EQ(m_frame->m_wndToolBar->ButtonAction(ID_HOME_PAGE)->toolTip(), "Home & more");
    // Nor does a prompt: "&&" stays one '&'.
    EXPECT_EQ(m_frame->m_wndToolBar->ButtonAction(ID_HOME_PAGE)->statusTip(), "Home & more");
    EXPECT_EQ(m_frame->MenuAction(ID_HOME_PAGE)->statusTip(), "Home & more");
    EXPECT_EQ(m_frame->MenuAction(ID_MENU_OPTIONS)->statusTip(), " ");
    EXPECT_EQ(IdlePrompt(), "Prêt");
}

// Language files are passed around like downloads: whatever a text holds,
// it shows as typed, and nothing it names is loaded.
TEST_F(LanguageWindow, HostileTextsShowAsTypedAndLoadNothing)
{
    QImage picture(400, 400, QImage::Format_RGB32);
    picture.fill(Qt::red);
    const QString secret = QString::fromStdString(m_dir.File("secret.png"));
    ASSERT_TRUE(picture.save(secret));
    const std::string img = "<img src=\"file://" + secret.toStdString() + "\">";
    std::string repeated;
    for (int i = 0; i < 100; ++i)
        repeated += "%1";
    const std::string overlong(2000, 'W');
    struct Case {
        const char* what;
        std::string key;
        std::string value;
        std::function<QString()> shown;  // the text as the window holds it
        QWidget* drawnBy;                // the label drawing it; null: none
    } cases[] = {
        {"picture in a label", "15", img, [this] { return m_view->m_stcArtistLabel->text(); }, m_view->m_stcArtistLabel},
        {"rich text in a label", "16", "<b>bold</b><table><tr><td>cell</td></tr></table>",
         [this] { return m_view->m_stcSongLabel->text(); }, m_view->m_stcSongLabel},
        {"picture in the idle prompt", "57345", img, [this] { return IdlePrompt(); },
         m_frame->m_wndStatusBar->findChild<QLabel*>(QStringLiteral("messagePane"))},
        {"%1 repeated on a button", "3", repeated, [this] { return m_view->m_btnFind->text(); }, nullptr},
        {"overlong menu entry", "32772", overlong, [this] { return Entry(ID_MENU_ENGINES_PAGE); }, nullptr},
        {"picture in a prompt", "32782", img,
         [this] { return m_frame->m_wndToolBar->ButtonAction(ID_TB_FIND)->statusTip(); }, nullptr},
    };
    std::string file = "[Tunorva]\n";
    for (const Case& c : cases)
        file += c.key + "=" + c.value + "\n";
    // A tip that looks like rich text, checked below as the tip control draws it.
    file += "32789=" + img + "\n";
    m_dir.Write("Language/Test.ini", file);
    Apply("Test");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string expected = c.value.substr(0, 259);
        EXPECT_EQ(c.shown().toStdString(), expected);
        if (auto* label = qobject_cast<QLabel*>(c.drawnBy)) {
            // Drawn as plain text it is as wide as its characters and one line
            // high; as rich text it would hold the picture or lose its tags.
            EXPECT_GE(label->sizeHint().width(), label->fontMetrics().horizontalAdvance(QString::fromStdString(expected)));
            EXPECT_LT(label->sizeHint().height(), 100);
        }
    }
    QTextDocument tip;
    tip.setHtml(m_frame->m_wndToolBar->ButtonAction(ID_HOME_PAGE)->toolTip());
    EXPECT_EQ(tip.toPlainText().toStdString(), img);
    EXPECT_LT(tip.size().height(), 100);
}

TEST_F(LanguageWindow, SwitchingToALanguageWithFewerKeysKeepsWhatItsDefaultsAre)
{
    m_dir.Write("Language/A.ini", "[Tunorva]\n&Page271=Page A\n32772=Engines A\n15=Artist A\n40001=Engine A\n"
                                  "61227=Nothing selected A\n");
    m_dir.Write("Language/B.ini", "[Tunorva]\n3=Find B\n");
    Apply("A");
    Apply("B");
    // Top-level entries and messages fall back to English ...
    EXPECT_EQ(TopMenu(1), "&Page");
    EXPECT_EQ(LoadLanguageString(IDS_NO_ITEM_SELECTED), "No Item Selected.");
    // ... captions, drop-down entries and headers keep A's text on screen.
    EXPECT_EQ(Entry(ID_MENU_ENGINES_PAGE), "Engines A");
    EXPECT_EQ(m_view->m_stcArtistLabel->text(), "Artist A");
    EXPECT_EQ(Header(m_view->m_lstEngines, 1), "Engine A");
    EXPECT_EQ(m_view->m_btnFind->text(), "Find B");
}

TEST_F(LanguageWindow, ArabicInAnyCapitalsShowsTheArabicTabsAndOtherNamesKeepTheLastSet)
{
    const auto tabs = [this] {
        return std::vector<int>{BitmapIdOf(m_view->m_stcTab[0]), BitmapIdOf(m_view->m_stcTab[1]),
                                BitmapIdOf(m_view->m_stcTab[2]), BitmapIdOf(m_view->m_stcTab[3])};
    };
    // Tab 0 is selected since the start.
    const std::vector<int> arabic{IDB_TAB_AR_ENGINES_SEL, IDB_TAB_AR_SEARCH, IDB_TAB_AR_DOWNLOAD, IDB_TAB_AR_PLAYLIST};
    const std::vector<int> english{IDB_TAB_ENGINES_SEL, IDB_TAB_SEARCH, IDB_TAB_DOWNLOAD, IDB_TAB_PLAYLIST};
    EXPECT_EQ(tabs(), english);
    const std::vector<int> french{IDB_TAB_FR_ENGINES_SEL, IDB_TAB_FR_SEARCH, IDB_TAB_FR_DOWNLOAD, IDB_TAB_FR_PLAYLIST};
    const std::vector<int> german{IDB_TAB_DE_ENGINES_SEL, IDB_TAB_DE_SEARCH, IDB_TAB_DE_DOWNLOAD, IDB_TAB_DE_PLAYLIST};
    const std::pair<const char*, const std::vector<int>*> steps[] = {
        {"ARABIC", &arabic},  {"Klingon", &arabic}, {"english", &english}, {"Klingon", &english},
        {"French", &french},  {"GERMAN", &german},  {"Klingon", &german},  {"arabic", &arabic}};
    for (const auto& [language, expected] : steps) {
        Apply(language);
        EXPECT_EQ(tabs(), *expected) << language;
    }
    m_view->OnTabHover(QPoint(120, 20));
    EXPECT_EQ(BitmapIdOf(m_view->m_stcTab[1]), IDB_TAB_AR_SEARCH_HOVER);
}

TEST_F(LanguageWindow, TranslateWindowVisitsOnlyDirectChildrenWithIds)
{
    QWidget dialog;
    dialog.setWindowTitle(QStringLiteral("Before"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), &dialog);
    cancel->setProperty("controlId", 2);
    auto* empty = new QPushButton(QStringLiteral("Kept"), &dialog);
    empty->setProperty("controlId", 1011);
    auto* noId = new QPushButton(QStringLiteral("No id"), &dialog);
    auto* inner = new QLabel(QStringLiteral("Grandchild"), cancel);
    inner->setProperty("controlId", 2);
    m_dir.Write("Language/Test.ini", "[Tunorva]\n140=Réglage\n2=Annuler\n1011=\n0=Zero\n-1=Minus\n");
    m_frame->m_strLanguage = "Test";
    TranslateWindow(&dialog, 0);
    EXPECT_EQ(dialog.windowTitle(), "Before");
    TranslateWindow(&dialog, IDD_LANGUAGE);
    EXPECT_EQ(dialog.windowTitle(), "Réglage");
    EXPECT_EQ(cancel->text(), "Annuler");
    EXPECT_EQ(empty->text(), "Kept");
    EXPECT_EQ(noId->text(), "No id");
    EXPECT_EQ(inner->text(), "Grandchild");
}

TEST_F(LanguageWindow, TheShippedFilesAreCompleteAndTranslateTheWindow)
{
    const std::string shipped = TUNORVA_SHIPPED_DIR;
    std::filesystem::copy(shipped + "/Language", m_dir.Path() / "Language");
    Apply("English");
    EXPECT_EQ(IdlePrompt(), "Ready");
    EXPECT_EQ(m_frame->m_wndToolBar->ButtonAction(ID_TB_ENGINES_PAGE)->toolTip(), "Search Engine Page");
    Apply("Arabic");
    EXPECT_EQ(TopMenu(0), QString::fromUtf8("&ملف"));
    EXPECT_EQ(Header(m_view->m_lstFiles, 4), QString::fromUtf8("الرابط"));
    EXPECT_EQ(IdlePrompt(), QString::fromUtf8("جاهز"));
    EXPECT_EQ(LoadLanguageString(IDS_THE_FILE), "الملف ");
    // Every text a language can hold, in every shipped language and with a flag.
    std::vector<std::string> keys = {"&File340", "&Page271", "&Search482", "&Extra123", "&Help64", "57345",
                                     "100", "135", "140", "150", "3", "10", "12", "15", "16", "1",
                                     "1009", "1010", "1011", "1017", "1018", "1019", "1020", "1021", "1022", "1491"};
    for (unsigned id = 40000; id <= 40017; ++id)
        keys.push_back(std::to_string(id));
    for (unsigned id = 100; id < 65536; ++id) {
        if (FindBuiltinString(id) != nullptr)
            keys.push_back(std::to_string(id));
    }
    for (QAction* action : m_frame->findChildren<QAction*>()) {
        if (const unsigned id = action->property("commandId").toUInt(); id != 0)
            keys.push_back(std::to_string(id));
    }
    for (const char* language : {"English", "Arabic", "French", "German"}) {
        const std::string file = shipped + "/Language/" + language + ".ini";
        for (const std::string& key : keys)
            EXPECT_NE(platform::GetPrivateProfileString("Tunorva", key, "", file), "") << language << " " << key;
        // The artist box has the control id 2 as well.
        EXPECT_EQ(platform::GetPrivateProfileString("Tunorva", "2", "absent", file), "absent") << language;
        EXPECT_TRUE(std::filesystem::exists(shipped + "/Flags/" + language + ".bmp")) << language;
    }
}

// Every shipped text fits the control that shows it, measured with that
// control's own font, in every shipped language: the window keeps its
// layout, so the wording has to fit.
TEST_F(LanguageWindow, EveryShippedTextFitsItsControl)
{
    const std::string shipped = TUNORVA_SHIPPED_DIR;
    std::filesystem::copy(shipped + "/Language", m_dir.Path() / "Language");
    // How wide a text is drawn in `widget` and how wide it may be; nothing
    // for a control whose text is not drawn in a fixed width.
    const auto measure = [](QWidget* widget) -> std::optional<std::pair<int, int>> {
        const QFontMetrics fm(widget->font());
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            if (!label->pixmap().isNull() || label->text().isEmpty())
                return std::nullopt;
            const QRect room = label->contentsRect();
            if (label->wordWrap()) {
                const QRect need = fm.boundingRect(QRect(0, 0, room.width(), 10000), Qt::TextWordWrap, label->text());
                return std::make_pair(need.height(), room.height());
            }
            return std::make_pair(fm.horizontalAdvance(label->text()), room.width());
        }
        if (auto* box = qobject_cast<QCheckBox*>(widget))
            return std::make_pair(box->sizeHint().width(), box->width());
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
            return std::make_pair(fm.horizontalAdvance(TipDisplayText(button->text())) + margin, button->width());
        }
        if (auto* group = qobject_cast<QGroupBox*>(widget))
            return std::make_pair(fm.horizontalAdvance(TipDisplayText(group->title())) + 16, group->width());
        return std::nullopt;
    };
    for (const char* language : {"English", "French", "German", "Arabic"}) {
        Apply(language);
        COptionsDlg options(m_frame);
        options.OnInitDialog();
        CRenameDlg rename(m_frame);
        rename.OnInitDialog();
        CAboutDlg about(m_frame);
        about.OnInitDialog();
        CLanguageDlg languages(m_frame);
        languages.OnInitDialog();
        for (QWidget* window : std::initializer_list<QWidget*>{m_view, &options, &rename, &about, &languages}) {
            for (QWidget* control : window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
                if (ControlId(control) < 0)
                    continue;
                if (const auto size = measure(control)) {
                    EXPECT_LE(size->first, size->second)
                        << language << ": " << control->objectName().toStdString() << " \""
                        << WindowText(control).toStdString() << "\"";
                }
            }
        }
        languages.reject();
    }
}

}  // namespace

namespace {

// The lists keep the widths they start with, so what the program writes into
// a list has to fit its column: the headers, the found files' states, a
// download's figures and states. A text that cannot be made short enough (a
// failure's or a retry's reason, an address) shows whole in the cell's tip.
TEST_F(LanguageWindow, EveryShippedListTextFitsItsColumnOrShowsWholeInTheTip)
{
    const std::string shipped = TUNORVA_SHIPPED_DIR;
    std::filesystem::copy(shipped + "/Language", m_dir.Path() / "Language");
    CListCtrlEx* files = m_view->m_lstFiles;
    CListCtrlEx* downloads = m_view->m_lstDownloads;
    auto& found = static_cast<CFoundFilesModel&>(files->Model());
    FoundFile file;
    file.url = "http://127.0.0.1/a.mp3";
    file.fileName = "a.mp3";
    found.AddFile(file);
    CDownloadsModel::Download download;
    download.slot = 7;
    download.fileName = "a.mp3";
    download.size = "8388608";
    m_view->m_pDownloads->AddDownload(download);
    const auto shown = [](CListCtrlEx* list, int column) {
        list->Model().Flush();
        return QString::fromStdString(list->GetItemText(0, column));
    };
    const auto fits = [](CListCtrlEx* list, int column, const QString& text) {
        return list->fontMetrics().horizontalAdvance(text) <= list->TextRoom(column);
    };
    // The figures of a download as its worker words them, the longest first.
    const std::tuple<std::uint64_t, std::uint64_t, std::uint64_t> figures[] = {
        {3599, 1023 * 1024 + 1000, 999ULL * 1024 * 1024}, {49, 321 * 1024, 8 * 1024 * 1024}, {0, 1023, 1023}};
    const double rates[] = {500, 9990, 163000, 99999000};  // bytes per second
    for (const char* language : {"English", "French", "German", "Arabic"}) {
        SCOPED_TRACE(language);
        Apply(language);
        for (CListCtrlEx* list : {m_view->m_lstEngines, files, downloads, m_view->m_lstPlayList}) {
            // No two shown columns of a list are headed alike.
            std::set<QString> seen;
            for (int column = 0; column < list->GetColumnCount(); ++column) {
                const QString header = QString::fromStdString(list->GetColumnHeader(column));
                if (!list->isColumnHidden(column) && !header.isEmpty()) {
                    EXPECT_TRUE(seen.insert(header).second) << header.toStdString() << " heads two columns";
                }
            }
            const QHeaderView* headers = list->horizontalHeader();
            const QFontMetrics fm(headers->font());
            for (int column = 0; column < list->GetColumnCount(); ++column) {
                const QString header = QString::fromStdString(list->GetColumnHeader(column));
                if (list->isColumnHidden(column))
                    continue;
                // The room the style leaves the text in a section of the
                // column's width, beside the sort arrow where the list sorts.
                QStyleOptionHeader section;
                section.initFrom(headers);
                section.orientation = Qt::Horizontal;
                section.state |= QStyle::State_Horizontal;
                section.text = header;
                section.rect = QRect(0, 0, list->columnWidth(column), headers->sizeHint().height());
                if (list->IsSortable())
                    section.sortIndicator = QStyleOptionHeader::SortDown;
                const QRect label = headers->style()->subElementRect(QStyle::SE_HeaderLabel, &section, headers);
                EXPECT_LE(fm.horizontalAdvance(header), label.width())
                    << header.toStdString() << " in a column of " << list->columnWidth(column);
            }
        }
        // States fit whole: the found files' Status column...
        const auto expectFits = [&](CListCtrlEx* list, int column) {
            const QString text = shown(list, column);
            EXPECT_TRUE(fits(list, column, text)) << text.toStdString() << ": "
                                                  << list->fontMetrics().horizontalAdvance(text) << " pixels in "
                                                  << list->TextRoom(column);
            EXPECT_EQ(list->CellToolTip(0, column), QString()) << text.toStdString();
        };
        for (unsigned probe : {IDS_NOT_CONNECTED, IDS_AVALIABLE}) {
            found.SetProbeStatus(0, probe, {}, false);
            expectFits(files, CFoundFilesModel::Status);
        }
        for (unsigned state : {IDS_STATUS_IN_LIBRARY, IDS_STATUS_DOWNLOADING, IDS_STATUS_QUEUED, IDS_STATUS_FAILED}) {
            found.SetState(0, state);
            expectFits(files, CFoundFilesModel::Status);
        }
        found.SetState(0, 0);
        // ... and the download list's time left, states and rate.
        CDownloadsModel& rows = *m_view->m_pDownloads;
        for (const auto& [seconds, received, length] : figures) {
            const std::string left = FormatTimeLeftText(seconds, received, length);
            // In a right-to-left sentence the time and both sizes are
            // isolated runs, each in its own order; elsewhere nothing is added.
            const bool rightToLeft = std::string(language) == "Arabic";
            EXPECT_EQ(QString::fromStdString(left).count(QChar(0x2068)), rightToLeft ? 3 : 0) << left;
            EXPECT_EQ(QString::fromStdString(left).count(QChar(0x2069)), rightToLeft ? 3 : 0) << left;
            EXPECT_EQ(IsolatedFor(LoadLanguageString(IDS_REPLACE_FILE), "/music/a.mp3"),
                      rightToLeft ? "\u2068/music/a.mp3\u2069" : "/music/a.mp3");
            rows.SetTimeLeft(0, seconds, received, length);
            expectFits(downloads, CDownloadsModel::TimeLeft);
        }
        for (const auto state : {CDownloadsModel::Figures::State::Queued, CDownloadsModel::Figures::State::Paused}) {
            rows.SetState(0, state);
            expectFits(downloads, CDownloadsModel::TimeLeft);
        }
        rows.SetState(0, CDownloadsModel::Figures::State::Transferring);
        for (double rate : rates) {
            rows.SetRate(0, rate);
            expectFits(downloads, CDownloadsModel::Rate);
        }
        // Reasons and addresses fit or show whole in the tip.
        const auto expectWhole = [&](CListCtrlEx* list, int column) {
            const QString text = shown(list, column);
            ASSERT_FALSE(text.isEmpty());
            if (!fits(list, column, text))
                EXPECT_EQ(list->CellToolTip(0, column), text);
            else
                EXPECT_EQ(list->CellToolTip(0, column), QString());
        };
        for (unsigned id : {IDS_RESOLVING_NAME, IDS_CONNECTING, IDS_CONNECTED, IDS_REDIRECTING, IDS_GETTING_INFO,
                            IDS_CONNECT_ERROR, IDS_DOWNLOAD_ERROR}) {
            found.SetProbeStatus(0, 0, AfxFormatString1(LoadLanguageString(id), "music.example.org:8080"), false);
            expectWhole(files, CFoundFilesModel::Status);
        }
        const std::string cause = AfxFormatString1(LoadLanguageString(IDS_SERVER_ANSWERED), "503");
        rows.SetRetrying(0, {}, 2, 5, cause);
        rows.SetRetrySeconds(0, 4);
        expectWhole(downloads, CDownloadsModel::TimeLeft);
        for (unsigned id :
             {IDS_OPEN_FILE_ERROR, IDS_READ_ERROR, IDS_CHECK_WEB_PAGE, IDS_CHECK_NOT_MP3, IDS_INVALID_RESPONSE}) {
            rows.SetFailed(0, AfxFormatString1(LoadLanguageString(id), "11"));
            expectWhole(downloads, CDownloadsModel::TimeLeft);
        }
    }
}

}  // namespace
