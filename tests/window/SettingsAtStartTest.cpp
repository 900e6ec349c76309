// The settings and keyword histories across two runs of the program.
#include "ShellFixture.h"

#include "platform/IniFile.h"
#include "resources/Resource.h"
#include "search/EngineConfig.h"
#include "window/download/ListCtrlEx.h"

#include "ScopedEnv.h"
#include "ScriptedHttpServer.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>

#include <algorithm>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;

namespace {

// "column:width" for a column made at `width`, as wide as its header needs.
std::string Fit(const CListCtrlEx* list, int column, int width)
{
    return std::to_string(column) + ':' + std::to_string(std::max(width, list->HeaderWidth(column)));
}

class StoredSettings : public ShellTest {
protected:
    void BeforeStart() override
    {
        m_dir.Write("Tunorva.ini",
                    "[Tunorva]\nPlaySound=0\nMusicDir=/srv/music/\nnMaxHistoryItems=3x\nLanguage=Arabic\n"
                    "Foreign=gone after the save\n"
                    // The URL first and wider, saved before the head's columns came;
                    // the download list's hidden slot column stays hidden.
                    "FileListColumns=4:300,0:43,1:100,2:200,3:90\n"
                    "DownloadListColumns=6:500,0:200,1:100,2:100,3:200,4:200,5:100\n"
                    // Not a layout of these columns: the built-in one stays.
                    "PlayListColumns=0:43,1:220,1:80\nEngineListColumns=0:43,1:x\n");
    }
};

TEST_F(StoredSettings, AreLoadedAtStartAndWrittenBackAtClose)
{
    EXPECT_EQ(m_view->m_bPlaySound, 0);
    EXPECT_EQ(m_view->m_strMusicDir, "/srv/music/");
    EXPECT_EQ(m_view->m_nMaxHistoryItems, 3);
    EXPECT_EQ(m_frame->m_strLanguage, "Arabic");
    // Columns the file did not know come at their built-in widths, widened
    // where their header and its sort arrow need more.
    const CListCtrlEx* files = m_view->m_lstFiles;
    const CListCtrlEx* plays = m_view->m_lstPlayList;
    const std::string filesLayout = "4:300,0:43,1:100,2:200,3:90," + Fit(files, 5, 62) + "," + Fit(files, 6, 45) + "," +
                                    Fit(files, 7, 105) + "," + Fit(files, 8, 95) + "," + Fit(files, 9, 55);
    EXPECT_EQ(files->ColumnLayout(), filesLayout);
    EXPECT_EQ(m_view->m_lstDownloads->ColumnLayout(), "6:0,0:200,1:100,2:100,3:200,4:200,5:100,7:150");
    const std::string playsTail = Fit(plays, 4, 120) + "," + Fit(plays, 5, 120) + "," + Fit(plays, 6, 55) + "," +
                                  Fit(plays, 7, 62);
    const std::string playsFirst = Fit(plays, 0, 43);
    EXPECT_EQ(plays->ColumnLayout(), playsFirst + ",1:220,2:80,3:160," + playsTail);
    EXPECT_EQ(m_view->m_lstEngines->ColumnLayout(), "0:43,1:100,2:100,3:600,4:0");

    m_view->m_bPlaySound = 1;
    m_view->m_nMaxHistoryItems = 7;
    // What the user drags is kept: the play list's title column moved first.
    QHeaderView* header = m_view->m_lstPlayList->horizontalHeader();
    header->moveSection(header->visualIndex(3), 0);
    header->resizeSection(3, 210);
    ASSERT_TRUE(m_frame->OnCmdMsg(ID_APP_EXIT));
    const std::string path = m_dir.File("Tunorva.ini");
    EXPECT_EQ(platform::GetPrivateProfileString("Tunorva", "PlaySound", "", path), "1");
    EXPECT_EQ(platform::GetPrivateProfileString("Tunorva", "MusicDir", "", path), "/srv/music/");
    EXPECT_EQ(platform::GetPrivateProfileString("Tunorva", "nMaxHistoryItems", "", path), "7");
    EXPECT_EQ(platform::GetPrivateProfileString("Tunorva", "Language", "", path), "Arabic");
    EXPECT_FALSE(platform::ReadProfileValue("Tunorva", "Foreign", path));
    EXPECT_EQ(platform::GetPrivateProfileString("Tunorva", "PlayListColumns", "", path),
              "3:210," + playsFirst + ",1:220,2:80," + playsTail);
    EXPECT_EQ(platform::GetPrivateProfileString("Tunorva", "FileListColumns", "", path),
              filesLayout);
}

// A settings file and a keyword profile that are FIFOs and a language file of
// 2 GiB: the start reads none of them, goes on with the defaults and says
// which files it ignored.
class HostileSettingsFiles : public ShellTest {
protected:
    void BeforeStart() override
    {
        ASSERT_EQ(::mkfifo(m_dir.File("Tunorva.ini").c_str(), 0600), 0);
        m_dir.Write("Language/English.ini", "[Tunorva]\n57345=Never shown\n");
        ASSERT_EQ(::truncate(m_dir.File("Language/English.ini").c_str(), off_t{2} << 30), 0);
        std::filesystem::create_directories(m_dir.Path() / "profile");
        ASSERT_EQ(::mkfifo(m_dir.File("profile/Tunorva.ini").c_str(), 0600), 0);
    }
};

TEST_F(HostileSettingsFiles, AreIgnoredWithAMessageAndNeverWrittenOver)
{
    EXPECT_EQ(m_frame->m_strLanguage, "English");
    EXPECT_EQ(m_view->m_strMusicDir, m_dir.Str() + "/Music/");
    EXPECT_EQ(m_frame->m_wndStatusBar->findChild<QLabel*>(QStringLiteral("messagePane"))->text(), " ");
    EXPECT_EQ(m_responder.Texts(),
              (std::vector<std::string>{
                  "The file '" + m_dir.File("Tunorva.ini") + "' is not a regular file of at most 1 MiB; it is ignored.",
                  "The file '" + m_dir.File("Language/English.ini") +
                      "' is not a regular file of at most 1 MiB; it is ignored."}));
    ASSERT_TRUE(m_frame->OnCmdMsg(ID_APP_EXIT));
    struct stat info {};
    ASSERT_EQ(::stat(m_dir.File("Tunorva.ini").c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    ASSERT_EQ(::stat(m_dir.File("profile/Tunorva.ini").c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

TEST_F(ShellTest, FirstStartUsesTheDefaultsAndKeywordsComeBackNewestFirst)
{
    EXPECT_EQ(m_view->m_bPlaySound, 1);
    EXPECT_EQ(m_view->m_strMusicDir, m_dir.Str() + "/Music/");
    EXPECT_EQ(m_frame->m_strLanguage, "English");
    EXPECT_EQ(m_view->m_cboArtist->count(), 0);

    // Searches store both boxes' histories before anything is requested.
    ScriptedHttpServer engine([](const HttpExchange&) { return ScriptedReply{HttpResponse(404, "")}; });
    EngineConfig config = EngineConfig::Defaults();
    config.sites[0].host = config.sites[1].host = engine.HostPort();
    SetEngines(config);
    for (const char* artist : {"abba", "Queen", "ABBA"}) {
        m_view->m_cboArtist->setEditText(QString::fromLatin1(artist));
        m_view->OnFindIt();
        m_view->OnFindIt();  // stop again
    }
    ASSERT_TRUE(m_frame->OnCmdMsg(ID_APP_EXIT));
    m_app.reset();

    m_app = std::make_unique<CTunorvaApp>();
    ASSERT_TRUE(m_app->InitInstance());
    CPagesView* view = m_app->MainWindow()->m_wndView;
    ASSERT_EQ(view->m_cboArtist->count(), 2);
    EXPECT_EQ(view->m_cboArtist->itemText(0), QStringLiteral("ABBA"));
    EXPECT_EQ(view->m_cboArtist->itemText(1), QStringLiteral("Queen"));
    EXPECT_EQ(view->m_cboArtist->currentText(), QStringLiteral("ABBA")) << "the last text comes back";
    EXPECT_EQ(view->m_btnFind->text(), QStringLiteral("Find it !"));
    m_app.reset();
    EXPECT_TRUE(platform::WaitForWorkers(std::chrono::seconds(5)));
    SetEngines(EngineConfig::Defaults());
}

// Installed as <prefix>/bin/tunorva: the shipped files come from
// share/tunorva, everything the user makes goes to the user's folders, and
// nothing is written beside the program.
class InstalledProgram : public ShellTest {
protected:
    void BeforeStart() override
    {
        m_env.Set("HOME", m_dir.File("home"));
        m_env.Set("XDG_CONFIG_HOME", m_dir.File("config"));
        m_env.Set("XDG_CACHE_HOME", m_dir.File("cache"));
        m_env.Set("PATH", "/nonexistent");  // no xdg-user-dir: ~/Music
        std::filesystem::create_directories(m_dir.Path() / "usr/bin");
        m_dir.Write("usr/share/tunorva/Language/English.ini", "[Tunorva]\n");
        platform::SetProgramDirForTesting(m_dir.File("usr/bin"));
    }

    ScopedEnv m_env;
};

TEST_F(InstalledProgram, KeepsTheUsersFilesInTheUsersFolders)
{
    const std::string shared = m_dir.File("usr/share/tunorva");
    EXPECT_EQ(m_view->m_strSoundsDir, shared + "/Sounds/");
    EXPECT_EQ(m_view->m_strHelpDir, shared + "/Help/");
    EXPECT_EQ(m_view->m_strTempDir, m_dir.File("cache") + "/Tunorva/");
    const std::string music = m_dir.File("home") + "/Music/Tunorva/";
    EXPECT_EQ(m_view->m_strMusicDir, music);
    EXPECT_TRUE(std::filesystem::is_directory(music)) << "the default music folder is made at start";

    m_dir.Write("cache/Tunorva/page.tmp", "spooled");
    ASSERT_TRUE(m_frame->OnCmdMsg(ID_APP_EXIT));
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("cache/Tunorva/page.tmp")));
    EXPECT_EQ(platform::GetPrivateProfileString("Tunorva", "MusicDir", "", m_dir.File("config/Tunorva/Tunorva.ini")),
              music);
    EXPECT_TRUE(std::filesystem::is_empty(m_dir.File("usr/bin")));
}

}  // namespace
