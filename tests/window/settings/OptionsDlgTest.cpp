#include "ShellFixture.h"

#include "window/desktop/DesktopServices.h"
#include "resources/Resource.h"
#include "window/settings/OptionsDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <map>

namespace {

class ScriptedChooser final : public platform::FolderChooser {
public:
    platform::FolderChoice Choose(QWidget*, const std::string&, const std::string& initial, bool onlyFileSystem) override
    {
        asked.push_back(initial + (onlyFileSystem ? " fs" : ""));
        return next;
    }
    platform::FolderChoice next;
    std::vector<std::string> asked;
};

class OptionsTest : public testing_support::ShellTest {
protected:
    void BeforeStart() override { m_previousChooser = platform::SetFolderChooser(&m_chooser); }
    void TearDown() override
    {
        ShellTest::TearDown();
        platform::SetFolderChooser(m_previousChooser);
    }

    // Runs the Options command; `act` works the open dialog, then OK or Cancel closes it.
    void Options(bool ok, const std::function<void(COptionsDlg&)>& act)
    {
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* dlg = qobject_cast<COptionsDlg*>(QApplication::activeModalWidget()); dlg && dlg->isVisible()) {
                poll.stop();
                act(*dlg);
                const int id = ok ? platform::IDOK : platform::IDCANCEL;
                for (auto* button : dlg->findChildren<QPushButton*>()) {
                    if (button->property("controlId").toInt() == id)
                        QTest::mouseClick(button, Qt::LeftButton);
                }
            }
        });
        poll.start(10);
        m_frame->OnCmdMsg(ID_MENU_OPTIONS);
    }

    void FillHistories(int artists)
    {
        for (int i = 0; i < artists; ++i) {
            m_view->m_cboArtist->setEditText(QStringLiteral("artist %1").arg(i));
            m_view->m_cboArtist->WriteHistory(true);
        }
        m_view->m_cboSong->setEditText(QStringLiteral("song"));
        m_view->m_cboSong->WriteHistory(true);
    }

    ScriptedChooser m_chooser;
    platform::FolderChooser* m_previousChooser = nullptr;
};

}  // namespace

TEST_F(OptionsTest, TheDialogCarriesEveryControlWithItsIdAndTheCurrentValues)
{
    m_view->m_item.strUrl = "http://files.example/a.mp3";
    m_view->m_bPlaySound = 0;
    m_view->m_nMaxHistoryItems = 7;
    std::map<int, QString> found;
    Options(false, [&](COptionsDlg& dlg) {
        found[dlg.property("controlId").toInt()] = dlg.windowTitle();
        for (QWidget* child : dlg.findChildren<QWidget*>()) {
            const int id = child->property("controlId").toInt();
            if (auto* box = qobject_cast<QGroupBox*>(child))
                found[id] = box->title();
            else if (auto* button = qobject_cast<QAbstractButton*>(child))
                found[id] = button->text() + (button->isChecked() ? " [x]" : "");
            else if (auto* label = qobject_cast<QLabel*>(child))
                found[id] = label->text();
            else if (auto* edit = qobject_cast<QLineEdit*>(child))
                found[id] = edit->text();
        }
    });
    const std::map<int, QString> expected = {
        {IDD_OPTIONS, "Options"},
        {IDC_GENERAL_GROUP, "General Options"},
        {IDC_PLAY_SOUNDS, "Play Sounds"},
        {IDC_MUSIC_DIR_GROUP, "Music Download Directory"},
        {IDC_MUSIC_DIR, QString::fromStdString(m_dir.Str() + "/Music/")},
        {IDC_BROWSE, "....."},
        {IDC_CLEAR_SEARCHES, "&Clear Last Searches"},
        {IDC_HISTORY_LABEL, "Recent search list contains:"},
        {IDC_HISTORY_COUNT, "7"},
        {IDC_SIMULTANEOUS_LABEL, "Simultaneous downloads"},
        {IDC_SIMULTANEOUS, "4"},
        {IDC_SPEED_LIMIT_LABEL, "Speed limit (KB/s, 0 for none)"},
        {IDC_SPEED_LIMIT, "0"},
        {platform::IDOK, "OK"},
        {platform::IDCANCEL, "Cancel"},
    };
    EXPECT_EQ(found, expected);
    // The remembered URL went to the clipboard first.
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("http://files.example/a.mp3"));
}

TEST_F(OptionsTest, OkTakesTheEditedValuesAndCancelNone)
{
    FillHistories(7);
    const std::string music = m_view->m_strMusicDir;
    const struct {
        const char* folder;
        const char* count;
        bool ok;
        std::string musicDir;
        int history;
        int artists;  // entries left in the artist box
    } cases[] = {
        {"/elsewhere", "3", false, music, 10, 7},    {"/elsewhere", "3", true, "/elsewhere/", 3, 3},
        {"/music/", "12abc", true, "/music/", 12, 3}, {"", "-4", true, "/music/", -4, 0},
        {"/music/", "none", true, "/music/", 0, 0},
    };
    int sound = m_view->m_bPlaySound;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.folder) + " " + c.count + (c.ok ? " OK" : " Cancel"));
        Options(c.ok, [&](COptionsDlg& dlg) {
            dlg.m_edtDir->setText(QString::fromUtf8(c.folder));
            dlg.m_edtHistory->setText(QString::fromUtf8(c.count));
            QTest::mouseClick(dlg.m_btnPlaySounds, Qt::LeftButton, {}, QPoint(6, dlg.m_btnPlaySounds->height() / 2));
            EXPECT_EQ(dlg.m_bSounds, dlg.m_btnPlaySounds->isChecked() ? 1 : 0);
        });
        sound = c.ok ? !sound : sound;
        EXPECT_EQ(m_view->m_strMusicDir, c.musicDir);
        EXPECT_EQ(m_view->m_nMaxHistoryItems, c.history);
        EXPECT_EQ(m_view->m_bPlaySound, sound);
        EXPECT_EQ(m_view->m_cboArtist->count(), c.artists);
    }
}

TEST_F(OptionsTest, ClearLastSearchesActsAtOnceEvenWhenTheDialogIsCancelled)
{
    FillHistories(3);
    ASSERT_FALSE(platform::GetProfileString("Artist Key Word", "TunorvaHistory_Artist0").empty());
    Options(false, [&](COptionsDlg& dlg) {
        QTest::mouseClick(dlg.m_btnClearLastSearches, Qt::LeftButton);
        EXPECT_EQ(m_view->m_cboArtist->count(), 0);
    });
    EXPECT_EQ(m_view->m_cboSong->count(), 0);
    EXPECT_TRUE(m_view->m_cboSong->currentText().isEmpty());
    EXPECT_TRUE(platform::GetProfileString("Artist Key Word", "TunorvaHistory_Artist0").empty());
    EXPECT_TRUE(platform::GetProfileString("Song Key Word", "TunorvaHistory_Song").empty());
}

TEST_F(OptionsTest, BrowseFillsTheFolderOnlyWhenAFileSystemFolderWasChosen)
{
    using platform::FolderChoice;
    const struct {
        FolderChoice choice;
        std::string musicDir;
    } cases[] = {
        {{FolderChoice::Cancelled, ""}, "/typed/"},
        {{FolderChoice::NotFileSystem, ""}, "/typed/"},
        {{FolderChoice::Chosen, "/srv/songs"}, "/srv/songs/"},
        {{FolderChoice::Chosen, "/"}, "/"},
    };
    for (const auto& c : cases) {
        m_chooser.next = c.choice;
        Options(true, [&](COptionsDlg& dlg) {
            dlg.m_edtDir->setText(QStringLiteral("/typed"));
            QTest::mouseClick(dlg.m_btnBrowse, Qt::LeftButton);
        });
        EXPECT_EQ(m_view->m_strMusicDir, c.musicDir);
    }
    EXPECT_EQ(m_chooser.asked, std::vector<std::string>(4, " fs")) << "no initial folder, file-system folders only";
}
