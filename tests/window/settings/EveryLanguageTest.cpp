// Every shipped language replaces every English text the window can show:
// the main window with its menus, tips and prompts, each dialog as its
// command opens it, the popup menus, the message boxes, the login prompt,
// the manual's window, and the texts the program writes into the lists.
#include "ShellFixture.h"
#include "window/search/EnginesModel.h"

#include "download/TransferFigures.h"
#include "platform/LoginPrompt.h"
#include "platform/MessageBox.h"
#include "resources/Messages.h"
#include "resources/Resource.h"
#include "window/desktop/DesktopLoginDialog.h"
#include "window/desktop/DesktopMessageBox.h"
#include "window/download/DownloadsModel.h"
#include "window/download/ListCtrlEx.h"
#include "window/library/PlayListModel.h"
#include "window/search/FoundFilesModel.h"
#include "window/settings/HelpWindow.h"
#include "window/settings/SettingsMessages.h"
#include "window/settings/Translate.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>

using testing_support::ShellTest;

namespace {

// Texts that rightly read the same as the English ones, per language ("*"
// for all). Each is a word the language shares with English, a proper name
// or a sign; anything else equal to the English text is a text the window
// did not take from the language file.
const std::set<std::pair<std::string, QString>> kSameAsEnglish = {
    {"*", "Tunorva"},       // the program's name
    {"*", "HTTP"},          // a found file's type: the protocol's name
    {"*", "....."},         // the folder button's dots
    {"*", "OpenSearch"},    // a format's name in the manual's contents
    {"French", "OK"},       {"German", "OK"},
    {"French", "URL"},      {"German", "URL"},
    {"French", "Audio"},    {"German", "Audio"},
    {"French", "Album"},    {"German", "Album"},
    {"French", "Type"},     // the lists' type column
    {"French", "Options"},  {"French", "&Options"},  // the dialog, its menu entry and its tip
    {"French", "&Page"},    {"French", "Page"},  // the menu and its tip
    {"German", "Status"},   // the lists' state column
    {"German", "Bitrate"},  // the play list's and the found files' column
    {"French", "Source"},   {"French", "Sources"},  // where a download and a found file come from
};

using Texts = std::map<std::string, QString>;  // where it shows -> text

bool IsWord(const QString& text)
{
    for (const QChar c : text) {
        if (c.isLetter())
            return true;
    }
    return false;
}

class EveryLanguage : public ShellTest {
protected:
    void BeforeStart() override
    {
        const std::filesystem::path shipped = TUNORVA_SHIPPED_DIR;
        std::filesystem::copy(shipped / "Language", m_dir.Path() / "Language");
        if (std::filesystem::exists(shipped / "Help"))
            std::filesystem::copy(shipped / "Help", m_dir.Path() / "Help");
    }

    void Apply(const std::string& language)
    {
        m_frame->m_strLanguage = language;
        platform::Deliver(*m_frame, ApplyLanguage{});
    }

    // Where `object` sits below `root`: each step its class, its name and its
    // place among the siblings of that class and name. Parts a widget makes
    // later (a list's scroll bars) come after the others and move nothing.
    static std::string PathOf(const QObject* object, const QObject* root)
    {
        std::string path;
        for (; object != nullptr && object != root; object = object->parent()) {
            int place = 0;
            if (const QObject* parent = object->parent()) {
                for (const QObject* sibling : parent->children()) {
                    if (sibling == object)
                        break;
                    if (sibling->metaObject() == object->metaObject() && sibling->objectName() == object->objectName())
                        ++place;
                }
            }
            path = std::string("/") + object->metaObject()->className() + ":" + object->objectName().toStdString() +
                   ":" + std::to_string(place) + path;
        }
        return path;
    }

    // A window and everything in it: captions, titles, tips, accessible
    // names, the entries and tips of its actions. Only texts are kept.
    static void Walk(const std::string& where, QWidget* root, Texts& out)
    {
        const auto keep = [&out](const std::string& key, const QString& text) {
            if (IsWord(text))
                out[key] = text;
        };
        keep(where + " title", root->windowTitle());
        for (QWidget* widget : root->findChildren<QWidget*>()) {
            const std::string key = where + PathOf(widget, root);
            // What the user typed or the program keeps (keywords, a file
            // name, a folder) is not a text of the language.
            if (qobject_cast<QLabel*>(widget) || qobject_cast<QAbstractButton*>(widget) ||
                qobject_cast<QGroupBox*>(widget))
                keep(key, WindowText(widget));
            keep(key + " tip", widget->toolTip());
            keep(key + " name", widget->accessibleName());
        }
        for (QAction* action : root->findChildren<QAction*>()) {
            const std::string key = where + PathOf(action, root);
            keep(key, action->text());
            keep(key + " tip", action->toolTip());
            keep(key + " prompt", action->statusTip());
        }
        if (auto* tree = root->findChild<QTreeWidget*>()) {
            int n = 0;
            for (QTreeWidgetItemIterator it(tree); *it != nullptr; ++it)
                keep(where + " contents " + std::to_string(n++), (*it)->text(0));
        }
    }

    // Runs `open`, walks the modal window it shows and closes it.
    void WalkModal(const std::string& where, const std::function<void()>& open, Texts& out)
    {
        bool seen = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget* window = QApplication::activeModalWidget();
            if (window == nullptr || !window->isVisible())
                return;
            poll.stop();
            seen = true;
            Walk(where, window, out);
            if (auto* box = qobject_cast<QMessageBox*>(window))
                box->buttons().back()->click();
            else if (auto* dialog = qobject_cast<QDialog*>(window))
                dialog->reject();
        });
        poll.start(10);
        open();
        EXPECT_TRUE(seen) << where;
    }

    // The headers of each list, and the cells that hold the program's own
    // texts (states, types, figures); names, sizes and addresses are not
    // texts of the language.
    void WalkLists(Texts& out)
    {
        const std::pair<const char*, CListCtrlEx*> lists[] = {{"engines", m_view->m_lstEngines},
                                                              {"files", m_view->m_lstFiles},
                                                              {"downloads", m_view->m_lstDownloads},
                                                              {"play list", m_view->m_lstPlayList}};
        for (const auto& [name, list] : lists) {
            for (int column = 0; column < list->GetColumnCount(); ++column) {
                if (!list->isColumnHidden(column))
                    out[std::string(name) + " header " + std::to_string(column)] =
                        QString::fromStdString(list->GetColumnHeader(column));
            }
            if (std::unique_ptr<QMenu> menu = list->BuildPopupMenu()) {
                const QList<QAction*> entries = menu->actions();
                for (int i = 0; i < entries.size(); ++i)
                    out[std::string(name) + " popup " + std::to_string(i)] = entries[i]->text();
            }
        }
        const auto cell = [&out](const char* name, CListCtrlEx* list, int column) {
            list->Model().Flush();
            for (int row = 0; row < list->GetItemCount(); ++row)
                out[std::string(name) + " cell " + std::to_string(row) + ":" + std::to_string(column)] =
                    QString::fromStdString(list->GetItemText(row, column));
        };
        cell("engines", m_view->m_lstEngines, CEnginesModel::Status);
        cell("files", m_view->m_lstFiles, CFoundFilesModel::Type);
        cell("files", m_view->m_lstFiles, CFoundFilesModel::Status);
        cell("downloads", m_view->m_lstDownloads, CDownloadsModel::TimeLeft);
        cell("downloads", m_view->m_lstDownloads, CDownloadsModel::Rate);
        cell("play list", m_view->m_lstPlayList, CPlayListModel::Type);
    }

    // Rows as the program writes them: a found file not probed yet and one
    // that was, a download's figures as its worker words them, a song.
    void FillLists()
    {
        FoundFile a;
        a.url = "http://127.0.0.1/a.mp3";
        a.fileName = "a.mp3";
        a.image = IMG_HTTP_FILE;
        a.probeTextId = IDS_NOT_CONNECTED;
        FoundFile b;
        b.url = "http://127.0.0.1/b.mp3";
        b.fileName = "b.mp3";
        b.image = IMG_HTTP_FILE;
        b.probeTextId = IDS_AVALIABLE;
        m_view->m_pFoundFiles->AddFile(a);
        m_view->m_pFoundFiles->AddFile(b);
        CDownloadsModel::Download download;
        download.slot = 7;
        download.fileName = "a.mp3";
        download.size = "8388608";
        m_view->m_pDownloads->AddDownload(download);
        std::filesystem::create_directories(m_view->m_strMusicDir);
        std::ofstream(m_view->m_strMusicDir + "song.mp3") << std::string(1000, '\0');
        m_frame->OnCmdMsg(ID_MENU_PLAYLIST_PAGE);
        ASSERT_TRUE(QTest::qWaitFor([this] { return m_view->m_lstPlayList->GetItemCount() == 1; }, 5000));
    }

    // The download row's figures, as numbers from its worker.
    void WriteFigures()
    {
        m_view->m_pDownloads->SetTimeLeft(0, 49, 321 * 1024, 8 * 1024 * 1024);
        m_view->m_pDownloads->SetRate(0, 163000);
    }

    Texts Collect()
    {
        Texts out;
        WriteFigures();
        Walk("main window", m_frame, out);
        WalkLists(out);
        WalkModal("options", [this] { m_frame->OnCmdMsg(ID_MENU_OPTIONS); }, out);
        WalkModal("language", [this] { m_frame->OnCmdMsg(ID_MENU_SETTINGS); }, out);
        WalkModal("about", [this] { m_frame->OnCmdMsg(ID_APP_ABOUT); }, out);
        m_view->m_lstPlayList->Model().Flush();
        m_view->m_lstPlayList->SelectItem(0);
        WalkModal("rename", [this] { m_view->OnRenameFile(); }, out);
        WalkModal("add engine", [this] { m_frame->OnCmdMsg(ID_POPUP_ADD_ENGINE); }, out);
        WalkModal("question", [] { platform::DesktopMessageBox().Show("?", platform::MB_YESNO); }, out);
        WalkModal("message", [] { platform::DesktopMessageBox().Show("!", platform::MB_OK); }, out);
        WalkModal("login", [] {
            platform::Credentials credentials;
            platform::DesktopLoginDialog().Ask("127.0.0.1", false, credentials);
        }, out);
#if TUNORVA_HAVE_HELP
        m_frame->OnCmdMsg(ID_MENU_HELP_CONTENTS);
        if (auto* help = m_frame->findChild<CHelpWindow*>()) {
            Walk("help", help, out);
            delete help;
        } else {
            ADD_FAILURE() << "no help window";
        }
#endif
        return out;
    }
};

TEST_F(EveryLanguage, NoShippedLanguageLeavesAnEnglishTextOnScreen)
{
    FillLists();
    Apply("English");
    const Texts english = Collect();
    // The walk reaches every kind of text.
    const char* const kinds[] = {"options",           "language",         "about",
                                 "rename",            "add engine",       "question",
                                 "login",             "files cell 0:1",   "downloads popup 0",
                                 "play list cell 0:0"};
    for (const char* where : kinds) {
        EXPECT_TRUE(std::any_of(english.begin(), english.end(), [&](const auto& entry) {
            return entry.first.rfind(where, 0) == 0;
        })) << where;
    }
    for (const char* language : {"French", "German", "Arabic"}) {
        SCOPED_TRACE(language);
        Apply(language);
        const Texts texts = Collect();
        QStringList english_left;
        for (const auto& [where, text] : english) {
            const auto found = texts.find(where);
            if (found == texts.end()) {
                english_left << QString::fromStdString(where) + " is missing";
                continue;
            }
            if (!IsWord(text) || found->second != text || kSameAsEnglish.count({"*", text}) != 0 ||
                kSameAsEnglish.count({language, text}) != 0)
                continue;
            english_left << QString::fromStdString(where) + " \"" + text + "\"";
        }
        EXPECT_EQ(english_left, QStringList());
    }
}

}  // namespace
