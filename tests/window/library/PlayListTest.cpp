#include "ShellFixture.h"
#include "window/search/SearchController.h"

#include "Mp3Fixture.h"
#include "ScopedEnv.h"

#include "window/download/ListCtrlEx.h"
#include "window/library/PlayListModel.h"
#include "window/library/PlayList.h"
#include "window/library/RenameDlg.h"
#include "window/desktop/DesktopServices.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
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
        setenv("XDG_DATA_HOME", m_data.Str().c_str(), 1);
        m_previousLauncher = platform::SetLauncher(&m_launcher);
    }
    void TearDown() override
    {
        ShellTest::TearDown();
        platform::SetLauncher(m_previousLauncher);
        unsetenv("XDG_DATA_HOME");
    }

    void Write(const std::string& name, const std::string& content = "mp3") { m_dir.Write("Music/" + name, content); }
    CListCtrlEx* List() const { return m_view->m_lstPlayList; }
    Strings Names() const
    {
        Strings names;
        for (int row = 0; row < List()->GetItemCount(); ++row)
            names.push_back(List()->GetItemText(row, CPlayListModel::FileName));
        return names;
    }
    void Select(const Strings& names)
    {
        List()->clearSelection();
        List()->Model().Flush();
        for (int row = 0; row < List()->GetItemCount(); ++row) {
            if (std::find(names.begin(), names.end(), List()->GetItemText(row, CPlayListModel::FileName)) != names.end())
                List()->selectionModel()->select(List()->model()->index(List()->ViewRow(row), 0),
                                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    std::string LastText() const
    {
        const Strings texts = m_responder.Texts();
        return texts.empty() ? std::string("<none>") : texts.back();
    }
    // Runs OnRenameFile; `answer` works the open dialog and closes it.
    void Rename(const std::function<void(CRenameDlg&)>& answer)
    {
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* dlg = qobject_cast<CRenameDlg*>(QApplication::activeModalWidget()); dlg && dlg->isVisible()) {
                poll.stop();
                answer(*dlg);
            }
        });
        poll.start(10);
        m_view->OnRenameFile();
    }

    std::string m_music;
    testing_support::TempDir m_data;
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
    Write("A.MP3");
    Write("notes.txt");
    std::filesystem::create_directory(m_music + "folder.mp3");
    Write("big.mp3", "");
    std::filesystem::resize_file(m_music + "big.mp3", 3'000'000'000ULL);

    m_frame->OnCmdMsg(ID_MENU_PLAYLIST_PAGE);
    ASSERT_EQ(Names(), (Strings{"big.mp3", "b.mp3", "A.MP3"}));
    EXPECT_EQ(List()->GetItemText(0, CPlayListModel::FileSize), "3000000000");
    EXPECT_EQ(List()->GetItemText(1, CPlayListModel::FileSize), "5");
    EXPECT_EQ(List()->GetItemText(2, CPlayListModel::Type), "Audio");
    EXPECT_EQ(List()->GetItemImage(2), IMG_AUDIO_FILE);

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

    // No program for MP3 files: said, with the file that could not be opened.
    m_launcher.next = platform::Launcher::Result::NoApplication;
    m_view->OnPlayFile();
    EXPECT_EQ(LastText(), AfxFormatString1(Text(IDS_PLAY_NO_PROGRAM), m_music + "b.mp3"));
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
    EXPECT_EQ(PlayFailureMessage(platform::SE_ERR_ASSOCINCOMPLETE), unsigned{IDS_SHELL_SHARE});
    EXPECT_EQ(PlayFailureMessage(33), 0u);
}

TEST_F(PlayListTest, RenameProposesTheNameAndNeverReplacesNorLeavesTheFolder)
{
    const struct {
        const char* file;
        const char* proposed;
        const char* typed;      // null: Cancel
        const char* renamedTo;  // null: the file keeps its name
        const char* cause;      // the message's end; null: no message
    } cases[] = {
        {"two.mp3.mp3", "two.mp3", "new", "new.mp3", nullptr},
        {"LOUD.MP3", "LOUD", "LOUD", "LOUD.mp3", nullptr},
        {"empty.mp3", "empty", "", ".mp3", nullptr},
        {"same.mp3", "same", "same", "same.mp3", nullptr},
        {"Song.mp3", "Song", "song", "song.mp3", nullptr},  // case only
        {"x.mp3", "x", "taken", nullptr, "File exists"},
        {"x.mp3", "x", "../out", nullptr, "a file name can not hold a folder separator (/)"},
        {"x.mp3", "x", nullptr, nullptr, nullptr},
    };
    Write("taken.mp3", "taken");
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " -> " + (c.typed != nullptr ? c.typed : "<Cancel>"));
        Write(c.file, c.file);
        m_view->ShowPlayListPage();
        Select({c.file});
        std::string proposed;
        const std::size_t messages = m_responder.Texts().size();
        Rename([&](CRenameDlg& dlg) {
            proposed = dlg.m_edtNewName->text().toStdString();
            Write("late.mp3");  // shows after the dialog, however it ends
            dlg.m_edtNewName->setText(QString::fromUtf8(c.typed != nullptr ? c.typed : "ignored"));
            QTest::keyClick(dlg.m_edtNewName, c.typed != nullptr ? Qt::Key_Return : Qt::Key_Escape);
        });
        EXPECT_EQ(proposed, c.proposed);
        const std::string now = c.renamedTo != nullptr ? c.renamedTo : c.file;
        EXPECT_EQ(platform::ReadWholeFile(m_music + now), c.file);
        EXPECT_EQ(platform::FileExists(m_music + c.file), now == c.file);
        EXPECT_EQ(platform::ReadWholeFile(m_music + "taken.mp3"), "taken");
        EXPECT_FALSE(std::filesystem::exists(m_dir.Path() / "out.mp3"));
        const std::string message = c.cause == nullptr ? std::string("<none>")
                                                       : Text(IDS_THE_FILE) + m_music + c.file + "not found, becuase " + c.cause;
        EXPECT_EQ(m_responder.Texts().size() > messages ? LastText() : std::string("<none>"), message);
        const Strings names = Names();
        EXPECT_NE(std::find(names.begin(), names.end(), "late.mp3"), names.end()) << "the list was read again";
        std::filesystem::remove(m_music + "late.mp3");
        std::filesystem::remove(m_music + now);
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

// A file whose name is not UTF-8 is still the file the row shows.
TEST_F(PlayListTest, ANameThatIsNotUtf8IsPlayedRenamedAndDeleted)
{
    const std::string odd = "caf\xE9.mp3";
    Write(odd, "latin-1");
    m_view->ShowPlayListPage();
    ASSERT_EQ(List()->GetItemCount(), 1);
    List()->SelectItem(0);
    m_view->OnPlayFile();
    EXPECT_EQ(m_launcher.opened, (Strings{m_music + odd}));
    EXPECT_TRUE(m_responder.Texts().empty()) << LastText();

    List()->SelectItem(0);
    Rename([](CRenameDlg& dlg) {
        dlg.m_edtNewName->setText(QStringLiteral("cafe"));
        QTest::keyClick(dlg.m_edtNewName, Qt::Key_Return);
    });
    EXPECT_EQ(platform::ReadWholeFile(m_music + "cafe.mp3"), "latin-1");
    EXPECT_FALSE(platform::FileExists(m_music + odd));

    // It goes to the trash like any other, under its own bytes, unasked.
    // (The trash's folder comes from the home folder's device, and GLib
    // keeps the first home and data folders it sees: this is the one test
    // here that trashes such a name.)
    testing_support::ScopedEnv env;
    env.Set("HOME", m_data.Str());
    std::filesystem::rename(m_music + "cafe.mp3", m_music + odd);
    m_view->RefreshPlayList();
    List()->SelectItem(0);
    m_view->OnDeleteFile();
    EXPECT_TRUE(m_responder.Texts().empty()) << LastText();
    EXPECT_FALSE(platform::FileExists(m_music + odd));
    EXPECT_EQ(platform::ReadWholeFile(m_data.File("Trash/files/" + odd)), "latin-1");
    EXPECT_NE(platform::ReadWholeFile(m_data.File("Trash/info/" + odd + ".trashinfo")).value_or("").find("caf%E9.mp3"),
              std::string::npos);
    EXPECT_EQ(List()->GetItemCount(), 0);
}

// Where the trash cannot be written, nothing is deleted for good unasked.
TEST_F(PlayListTest, ATrashThatFailsAsksBeforeDeletingForGood)
{
    // A file where the trash folder should be: not even root can file into it.
    m_data.Write("Trash", "not a folder");
    Write("a.mp3", "a");
    m_view->ShowPlayListPage();
    const std::string question = "The file 'a.mp3' could not be moved to the trash.\nDelete it permanently?";
    for (const int answer : {platform::IDNO, platform::IDYES}) {
        SCOPED_TRACE(answer);
        Select({"a.mp3"});
        const std::size_t before = m_responder.Texts().size();
        m_responder.QueueAnswer(answer);
        m_view->OnDeleteFile();
        ASSERT_EQ(m_responder.Texts().size(), before + 1) << "one question, nothing more";
        EXPECT_EQ(LastText(), question);
        EXPECT_EQ(platform::FileExists(m_music + "a.mp3"), answer == platform::IDNO);
        EXPECT_EQ(Names(), answer == platform::IDNO ? Strings{"a.mp3"} : Strings{});
    }
}

TEST_F(PlayListTest, DeleteAndF2ReachThePlayListOnlyWhileItShowsAndNotFromATextBox)
{
    QSignalSpy routed(m_frame, &CMainFrame::commandRouted);
    QLineEdit* artist = m_view->m_cboArtist->lineEdit();
    const auto press = [&](QWidget* target, Qt::Key key) {
        routed.clear();
        target->setFocus();
        QTest::keyClick(target, key);
        return routed.isEmpty() ? QString() : routed.last().at(1).toString();
    };
    for (const unsigned page : {ID_MENU_ENGINES_PAGE, ID_MENU_SEARCH_PAGE, ID_MENU_DOWNLOAD_PAGE, ID_MENU_PLAYLIST_PAGE}) {
        m_frame->OnCmdMsg(page);
        artist->setText(QStringLiteral("abc"));
        artist->setCursorPosition(1);
        EXPECT_EQ(press(artist, Qt::Key_Delete), QString()) << page;
        EXPECT_EQ(artist->text(), QStringLiteral("ac")) << page;
        EXPECT_EQ(press(artist, Qt::Key_F2), QString()) << page;
        EXPECT_EQ(press(artist, Qt::Key_F5), QStringLiteral("OnRefresh")) << page;
    }
    EXPECT_EQ(press(List(), Qt::Key_Delete), QStringLiteral("OnDeleteFile"));
    EXPECT_EQ(press(List(), Qt::Key_F2), QStringLiteral("OnRenameFile"));
    m_frame->OnCmdMsg(ID_MENU_SEARCH_PAGE);
    EXPECT_EQ(press(m_view->m_lstFiles, Qt::Key_Delete), QString());
    EXPECT_EQ(m_responder.Texts(), (Strings{Text(IDS_NO_FILE_TO_DELETE), Text(IDS_NO_FILE_TO_RENAME)}));
}

TEST_F(PlayListTest, NamesShowAtOnceAndTagsFollowFromTheWorker)
{
    mp3_fixture::WriteMp3(m_music + "one.mp3", mp3_fixture::TagKind::Id3v24, {"Blue Hour", "The Lanterns", "Night"});
    mp3_fixture::WriteMp3(m_music + "two.mp3", mp3_fixture::TagKind::Id3v1, {"Low Tide", "Harbour", "Coast"});
    Write("broken.mp3", "<html>not a song</html>");
    m_view->ShowPlayListPage();
    ASSERT_EQ(List()->GetColumnCount(), 8);
    EXPECT_EQ(List()->GetColumnHeader(3), Text(IDS_HEADER_TITLE));
    EXPECT_EQ(List()->GetColumnHeader(7), Text(IDS_HEADER_BITRATE));
    // The handler has returned, the worker's tags have not been delivered:
    // names and sizes are there, the tag cells are still empty.
    ASSERT_EQ(List()->GetItemCount(), 3);
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(List()->GetItemText(row, CPlayListModel::Title), "");

    const auto rowOf = [&](const std::string& name) {
        const Strings names = Names();
        return static_cast<int>(std::find(names.begin(), names.end(), name) - names.begin());
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return List()->GetItemText(rowOf("two.mp3"), CPlayListModel::Length) != ""; }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return List()->GetItemText(rowOf("one.mp3"), CPlayListModel::Length) != ""; }, 5000));
    const auto rowTexts = [&](const std::string& name) {
        Strings texts;
        for (int column = 3; column < 8; ++column)
            texts.push_back(List()->GetItemText(rowOf(name), column));
        return texts;
    };
    EXPECT_EQ(rowTexts("one.mp3"), (Strings{"Blue Hour", "The Lanterns", "Night", "0:02", "128"}));
    EXPECT_EQ(rowTexts("two.mp3"), (Strings{"Low Tide", "Harbour", "Coast", "0:02", "128"}));
    // The damaged file's row has had its (empty) tags by now or soon after.
    QTest::qWait(100);
    EXPECT_EQ(rowTexts("broken.mp3"), (Strings{"", "", "", "", ""}));

    // A changed file shows its new tags at the next refresh.
    mp3_fixture::WriteMp3(m_music + "one.mp3", mp3_fixture::TagKind::Id3v23, {"Red Hour", "The Lanterns", "Night"}, 300);
    m_frame->OnCmdMsg(ID_TB_REFRESH);
    ASSERT_TRUE(QTest::qWaitFor([&] { return List()->GetItemText(rowOf("one.mp3"), CPlayListModel::Title) == "Red Hour"; }, 5000));
    EXPECT_EQ(List()->GetItemText(rowOf("one.mp3"), CPlayListModel::Length), "0:07");
}

TEST_F(PlayListTest, DoubleClickPlaysTheRow)
{
    Write("a.mp3");
    Write("b.mp3");
    m_view->ShowPlayListPage();
    // Another row is selected: the double-clicked one is played all the same.
    Select({"b.mp3"});
    const int row = Names()[0] == "a.mp3" ? 0 : 1;
    List()->Model().Flush();
    const QRect cell = List()->visualRect(List()->model()->index(List()->ViewRow(row), CPlayListModel::FileName));
    QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(m_launcher.opened, (Strings{m_music + "a.mp3"}));
    EXPECT_TRUE(List()->IsItemSelected(row));
}

TEST_F(PlayListTest, ALargeFolderGoesInOverSeveralTurnsAndARefreshWritesOverItsRows)
{
    const auto name = [](int i) {
        char text[32];
        std::snprintf(text, sizeof text, "song-%04d.mp3", i);
        return std::string(text);
    };
    const auto expected = [&](int first, int last) {
        Strings names;
        for (int i = last; i >= first; --i)
            names.push_back(name(i));
        return names;
    };
    for (int i = 0; i < 900; ++i)
        Write(name(i));
    m_view->ShowPlayListPage();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Names() == expected(0, 899); }, 10000)) << List()->GetItemCount();

    // Two refreshes in a row: only the second one's listing ends up shown,
    // on the rows that were there, with no stale tags, the extra rows gone.
    for (int i = 0; i < 300; ++i)
        std::filesystem::remove(m_music + name(i));
    for (int row = 0; row < List()->GetItemCount(); ++row)
        List()->SetItemText(row, CPlayListModel::Title, "stale");
    m_view->RefreshPlayList();
    Write(name(900));
    m_view->RefreshPlayList();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Names() == expected(300, 900); }, 10000)) << List()->GetItemCount();
    for (int row = 0; row < List()->GetItemCount(); ++row)
        ASSERT_EQ(List()->GetItemText(row, CPlayListModel::Title), "") << row;
    // The found files learnt the same listing.
    EXPECT_EQ(m_view->Search().LibraryNames().size(), 601u);
    EXPECT_TRUE(m_view->Search().LibraryNames().count(name(900)));
}
