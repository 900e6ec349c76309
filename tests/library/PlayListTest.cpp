#include "ShellFixture.h"

#include "download/ListCtrlEx.h"
#include "library/PlayList.h"
#include "library/RenameDlg.h"
#include "platform/DesktopServices.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <unistd.h>

namespace {

using Strings = std::vector<std::string>;

class ScriptedLauncher final : public platform::Launcher {
public:
    Result OpenDocument(const std::string& path) override
    {
        opened.push_back(path);
        return next;
    }
    Result next = Result::Started;
    Strings opened;
};

class PlayListTest : public testing_support::ShellTest {
protected:
    void BeforeStart() override
    {
        m_music = m_dir.Str() + "/Music/";
        std::filesystem::create_directories(m_music);
        const char* data = std::getenv("XDG_DATA_HOME");
        m_savedDataHome = data != nullptr ? std::optional<std::string>(data) : std::nullopt;
        setenv("XDG_DATA_HOME", m_data.Str().c_str(), 1);
        m_previousLauncher = platform::SetLauncher(&m_launcher);
    }
    void TearDown() override
    {
        ShellTest::TearDown();
        platform::SetLauncher(m_previousLauncher);
        if (m_savedDataHome)
            setenv("XDG_DATA_HOME", m_savedDataHome->c_str(), 1);
        else
            unsetenv("XDG_DATA_HOME");
    }

    void Write(const std::string& name, const std::string& content = "mp3") { m_dir.Write("Music/" + name, content); }
    bool Exists(const std::string& name) const { return std::filesystem::exists(m_music + name); }

    CListCtrlEx* List() const { return m_view->m_lstPlayList; }
    Strings Names() const
    {
        Strings names;
        for (int row = 0; row < List()->GetItemCount(); ++row)
            names.push_back(List()->GetItemText(row, 1));
        return names;
    }
    void Select(std::initializer_list<std::string> names)
    {
        List()->clearSelection();
        for (int row = 0; row < List()->GetItemCount(); ++row) {
            for (const std::string& name : names) {
                if (List()->GetItemText(row, 1) == name)
                    List()->selectionModel()->select(List()->model()->index(row, 0),
                                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
            }
        }
    }
    std::string LastText() const
    {
        const Strings texts = m_responder.Texts();
        return texts.empty() ? std::string("<none>") : texts.back();
    }

    // Runs OnRenameFile; `answer` sees the open dialog and closes it.
    void Rename(const std::function<void(CRenameDlg&)>& answer)
    {
        bool answered = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* dlg = qobject_cast<CRenameDlg*>(QApplication::activeModalWidget()); dlg != nullptr && !answered) {
                answered = true;
                answer(*dlg);
            }
        });
        poll.start(10);
        m_view->OnRenameFile();
    }

    std::string m_music;
    testing_support::TempDir m_data;
    std::optional<std::string> m_savedDataHome;
    ScriptedLauncher m_launcher;
    platform::Launcher* m_previousLauncher = nullptr;
};

std::string Text(unsigned id)
{
    return LoadBuiltinString(id);
}

}  // namespace

TEST_F(PlayListTest, ShowsTheFolderWithTheLastListedFileOnTop)
{
    Write("b.mp3", "12345");
    Write("A.MP3", "1");
    Write("notes.txt");
    std::filesystem::create_directory(m_music + "folder.mp3");
    Write("big.mp3", "");
    std::filesystem::resize_file(m_music + "big.mp3", 3'000'000'000ULL);

    m_frame->OnCmdMsg(ID_MENU_PLAYLIST_PAGE);
    ASSERT_EQ(Names(), (Strings{"big.mp3", "b.mp3", "A.MP3"}));
    EXPECT_EQ(List()->GetItemText(0, 2), "3000000000");
    EXPECT_EQ(List()->GetItemText(1, 2), "5");
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(List()->GetItemText(row, 0), "Audio");
        EXPECT_EQ(List()->GetItemImage(row), IMG_AUDIO_FILE);
    }

    // A finished download shows up at the next refresh.
    Write("c.mp3");
    m_frame->OnCmdMsg(ID_TB_REFRESH);
    EXPECT_EQ(Names(), (Strings{"c.mp3", "big.mp3", "b.mp3", "A.MP3"}));

    // A missing folder: an empty list without a message, and nothing to act on.
    m_view->m_strMusicDir = m_dir.Str() + "/Missing/";
    m_frame->OnCmdMsg(ID_ACCEL_REFRESH);
    EXPECT_TRUE(Names().empty());
    m_view->OnPlayFile();
    m_view->OnDeleteFile();
    m_view->OnRenameFile();
    EXPECT_EQ(m_responder.Texts(),
              (Strings{Text(IDS_NO_FILE_TO_PLAY), Text(IDS_NO_FILE_TO_DELETE), Text(IDS_NO_FILE_TO_RENAME)}));
}

TEST_F(PlayListTest, PlaysTheUpperSelectedFileAndNamesWhatWentWrong)
{
    Write("a.mp3");
    Write("b.mp3");
    m_view->ShowPlayListPage();
    Select({"a.mp3", "b.mp3"});
    m_view->OnPlayFile();
    EXPECT_EQ(m_launcher.opened, (Strings{m_music + "b.mp3"}));
    EXPECT_TRUE(m_responder.Texts().empty());

    m_launcher.next = platform::Launcher::Result::NoApplication;
    m_view->OnPlayFile();
    EXPECT_EQ(LastText(), Text(IDS_SHELL_BAD_FORMAT));
    m_launcher.next = platform::Launcher::Result::NotStarted;
    m_view->OnPlayFile();
    EXPECT_EQ(LastText(), Text(IDS_SHELL_OUT_OF_MEMORY));

    // Gone before the desktop is asked: the launcher is not bothered.
    m_launcher.opened.clear();
    std::filesystem::remove(m_music + "b.mp3");
    m_view->OnPlayFile();
    EXPECT_EQ(LastText(), Text(IDS_SHELL_FILE_NOT_FOUND));
    std::filesystem::rename(m_dir.Path() / "Music", m_dir.Path() / "Moved");
    m_view->OnPlayFile();
    EXPECT_EQ(LastText(), Text(IDS_SHELL_PATH_NOT_FOUND));
    EXPECT_TRUE(m_launcher.opened.empty());
    std::filesystem::rename(m_dir.Path() / "Moved", m_dir.Path() / "Music");

    if (::geteuid() != 0) {  // root reads every file
        std::filesystem::permissions(m_music + "a.mp3", std::filesystem::perms::none);
        Select({"a.mp3"});
        m_view->OnPlayFile();
        EXPECT_EQ(LastText(), Text(IDS_SHELL_ACCESS_DENIED));
    }

    const struct {
        int result;
        unsigned message;
    } others[] = {{platform::SE_ERR_BAD_FORMAT, IDS_SHELL_BAD_FORMAT}, {platform::SE_ERR_SHARE, IDS_SHELL_SHARE},
                  {platform::SE_ERR_ASSOCINCOMPLETE, IDS_SHELL_SHARE}, {platform::SE_OPENED, 0u}, {33, 0u}, {1, 0u}};
    for (const auto& other : others)
        EXPECT_EQ(PlayFailureMessage(other.result), other.message) << other.result;
}

TEST_F(PlayListTest, RenameProposesTheNameAndNeverReplacesNorLeavesTheFolder)
{
    const std::string separatorCause = "a file name can not hold a folder separator (/)";
    const struct {
        const char* file;
        const char* proposed;
        const char* typed;  // null: Cancel
        const char* renamedTo;  // null: the file keeps its name
        std::string message;    // after "The file " + path; empty: no message
    } cases[] = {
        {"two.mp3.mp3", "two.mp3", "new", "new.mp3", ""},
        {"LOUD.MP3", "LOUD", "LOUD", "LOUD.mp3", ""},
        {"empty.mp3", "empty", "", ".mp3", ""},
        {"same.mp3", "same", "same", "same.mp3", ""},
        {"x.mp3", "x", "taken", nullptr, "not found, becuase File exists"},
        {"x.mp3", "x", "../out", nullptr, "not found, becuase " + separatorCause},
        {"x.mp3", "x", "sub/x", nullptr, "not found, becuase " + separatorCause},
        {"x.mp3", "x", nullptr, nullptr, ""},
    };
    Write("taken.mp3", "taken");
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " -> " + (c.typed != nullptr ? c.typed : "<Cancel>"));
        Write(c.file, c.file);
        m_view->ShowPlayListPage();
        Select({c.file});
        std::string proposed;
        const std::size_t messagesBefore = m_responder.Texts().size();
        Rename([&](CRenameDlg& dlg) {
            proposed = dlg.m_edtNewName->text().toStdString();
            // Anything written meanwhile shows after the dialog, whatever its end.
            Write("late.mp3");
            if (c.typed == nullptr) {
                dlg.m_edtNewName->setText(QStringLiteral("ignored"));
                QTest::keyClick(&dlg, Qt::Key_Escape);
                return;
            }
            dlg.m_edtNewName->setText(QString::fromUtf8(c.typed));
            QTest::keyClick(dlg.m_edtNewName, Qt::Key_Return);
        });
        EXPECT_EQ(proposed, c.proposed);
        const std::string target = c.renamedTo != nullptr ? c.renamedTo : c.file;
        EXPECT_TRUE(Exists(target));
        EXPECT_EQ(platform::ReadWholeFile(m_music + target), c.file);
        if (c.renamedTo != nullptr && target != c.file) {
            EXPECT_FALSE(Exists(c.file));
        }
        EXPECT_EQ(platform::ReadWholeFile(m_music + "taken.mp3"), "taken");
        EXPECT_FALSE(std::filesystem::exists(m_dir.Path() / "out.mp3"));
        const Strings texts = m_responder.Texts();
        if (c.message.empty()) {
            EXPECT_EQ(texts.size(), messagesBefore);
        } else {
            EXPECT_EQ(LastText(), Text(IDS_THE_FILE) + m_music + c.file + c.message);
        }
        const Strings names = Names();
        EXPECT_NE(std::find(names.begin(), names.end(), "late.mp3"), names.end()) << "the list was read again";
        std::filesystem::remove(m_music + "late.mp3");
        std::filesystem::remove(m_music + target);
    }
}

TEST_F(PlayListTest, DeleteMovesTheFileToTheTrashAndNamesWhatCannotGo)
{
    Write("a.mp3", "a");
    Write("b.mp3", "b");
    m_view->ShowPlayListPage();
    Select({"a.mp3"});
    m_view->OnDeleteFile();
    EXPECT_EQ(Names(), (Strings{"b.mp3"}));
    EXPECT_EQ(platform::ReadWholeFile(m_data.File("Trash/files/a.mp3")), "a");
    EXPECT_TRUE(m_responder.Texts().empty()) << "no question is asked";

    // Gone meanwhile: the message names the file and the row goes with the re-read.
    Select({"b.mp3"});
    std::filesystem::remove(m_music + "b.mp3");
    m_view->OnDeleteFile();
    EXPECT_EQ(LastText(), "The file b.mp3 can not be deleted.");
    EXPECT_TRUE(Names().empty());
}

TEST_F(PlayListTest, DeleteAndF2ReachThePlayListOnlyWhileItShowsAndNotFromATextBox)
{
    QSignalSpy routed(m_frame, &CMainFrame::commandRouted);
    QLineEdit* artist = m_view->m_cboArtist->lineEdit();
    const auto press = [&](QWidget* target, Qt::Key key) {
        routed.clear();
        QTest::keyClick(target, key);
        return routed.isEmpty() ? QString() : routed.last().at(1).toString();
    };

    for (const unsigned page : {ID_MENU_ENGINES_PAGE, ID_MENU_SEARCH_PAGE, ID_MENU_DOWNLOAD_PAGE}) {
        m_frame->OnCmdMsg(page);
        artist->setText(QStringLiteral("abc"));
        artist->setCursorPosition(1);
        EXPECT_EQ(press(artist, Qt::Key_Delete), QString()) << page;
        EXPECT_EQ(artist->text(), QStringLiteral("ac")) << page;
        EXPECT_EQ(press(artist, Qt::Key_F2), QString()) << page;
        EXPECT_EQ(press(List(), Qt::Key_Delete), QString()) << page;
        EXPECT_EQ(press(artist, Qt::Key_F5), QStringLiteral("OnRefresh")) << page;
    }

    m_frame->OnCmdMsg(ID_MENU_PLAYLIST_PAGE);
    EXPECT_EQ(press(artist, Qt::Key_Delete), QString());
    EXPECT_EQ(press(List(), Qt::Key_Delete), QStringLiteral("OnDeleteFile"));
    EXPECT_EQ(press(List(), Qt::Key_F2), QStringLiteral("OnRenameFile"));
    EXPECT_EQ(press(List(), Qt::Key_F5), QStringLiteral("OnRefresh"));
    EXPECT_EQ(m_responder.Texts(), (Strings{Text(IDS_NO_FILE_TO_DELETE), Text(IDS_NO_FILE_TO_RENAME)}));
}
