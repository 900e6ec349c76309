// The main window and the dialogs as a screen reader reads them: the
// accessibility tree from each window down, with its names and roles.
#include "ShellFixture.h"

#include "resources/Messages.h"
#include "resources/Resource.h"
#include "window/AboutDlg.h"
#include "window/CommandTables.h"
#include "window/ToolBar.h"
#include "window/desktop/DesktopLoginDialog.h"
#include "window/download/ListCtrlEx.h"
#include "window/library/RenameDlg.h"
#include "window/settings/HelpWindow.h"
#include "window/settings/LanguageDlg.h"
#include "window/settings/OptionsDlg.h"
#include "window/settings/SettingsMessages.h"
#include "window/settings/Translate.h"

#include <QAccessible>
#include <QLineEdit>
#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <array>
#include <functional>
#include <map>
#include <set>

using testing_support::ShellTest;

namespace {

struct Node {
    QAccessible::Role role;
    QString name;
    QObject* object;
    bool focusable;
};

// The tree below `iface`. Cells of a list and the list and edit parts of a
// drop-down box are named by their rows and by the box, so the walk stops there.
void Collect(QAccessibleInterface* iface, std::vector<Node>& out)
{
    if (iface == nullptr || !iface->isValid())
        return;
    out.push_back({iface->role(), iface->text(QAccessible::Name), iface->object(), iface->state().focusable != 0});
    switch (iface->role()) {
    case QAccessible::Table:
    case QAccessible::Tree:
    case QAccessible::List:
    case QAccessible::ComboBox: return;
    default: break;
    }
    for (int i = 0; i < iface->childCount(); ++i)
        Collect(iface->child(i), out);
}

std::vector<Node> Tree(QWidget* root)
{
    std::vector<Node> nodes;
    Collect(QAccessible::queryAccessibleInterface(root), nodes);
    return nodes;
}

// The objects the tree names `name` in role `role`.
std::vector<QObject*> Find(const std::vector<Node>& tree, QAccessible::Role role, const QString& name)
{
    std::vector<QObject*> found;
    for (const Node& node : tree) {
        if (node.role == role && node.name == name)
            found.push_back(node.object);
    }
    return found;
}

// Focusable controls a screen reader could only call by their kind. A
// control hidden on purpose (the clipboard's edit box, the toolbar's overflow
// button) is out of reach and left out.
QStringList Unnamed(QWidget* root)
{
    QStringList unnamed;
    for (const Node& node : Tree(root)) {
        const auto* widget = qobject_cast<const QWidget*>(node.object);
        if (node.focusable && node.name.trimmed().isEmpty() && !(widget != nullptr && widget->isHidden()))
            unnamed << (node.object != nullptr ? node.object->objectName() : QString()) + " role " +
                           QString::number(node.role);
    }
    return unnamed;
}

QString NameOf(QWidget* root, const QString& objectName)
{
    for (const Node& node : Tree(root)) {
        if (node.object != nullptr && node.object->objectName() == objectName)
            return node.name;
    }
    return QStringLiteral("<not in the tree>");
}

// A language whose captions and tips differ from the built-in English ones in
// every way a name is made: blanks, a closing colon, a mnemonic.
const char kTestLanguage[] = "[Tunorva]\n"
                             "15=\"  Interprète : \"\n16=Titre:\n"
                             "32786=Moteurs\n32812=Recherche\n32785=Téléchargements\n32814=&Liste de lecture\n"
                             "32782=Trouver.\n"
                             "1020=Dossier de musique\n1021=Historique :\n1022=Renommer :\n1491=&Langue\n"
                             "61289=Téléchargements simultanés\n";

class Accessibility : public ShellTest {
protected:
    void BeforeStart() override { m_dir.Write("Language/Test.ini", kTestLanguage); }
    void Apply(const std::string& language)
    {
        m_frame->m_strLanguage = language;
        platform::Deliver(*m_frame, ApplyLanguage{});
    }
};

struct MainWindowCase {
    const char* language;
    QString artist;
    QString song;
    std::array<QString, 4> pages;  // engines, found files, downloads, play list
    QString find;
};

TEST_F(Accessibility, TheListsToolbarButtonsAndKeywordBoxesAreFoundByNameAndRoleInEachLanguage)
{
    const MainWindowCase cases[] = {
        {"English", "Artist", "Song", {"Search Engine Page", "Search Page", "Download Page", "Play List Page"}, "Find It."},
        {"Test", "Interprète", "Titre", {"Moteurs", "Recherche", "Téléchargements", "Liste de lecture"}, "Trouver."},
    };
    // A keyword from the last session is in the box: the box is still called by its caption.
    m_view->m_cboArtist->setEditText(QStringLiteral("typed"));
    for (const MainWindowCase& c : cases) {
        SCOPED_TRACE(c.language);
        Apply(c.language);
        const std::vector<Node> tree = Tree(m_frame);

        using Found = std::vector<QObject*>;
        EXPECT_EQ(Find(tree, QAccessible::ComboBox, c.artist), Found{m_view->m_cboArtist});
        EXPECT_EQ(Find(tree, QAccessible::ComboBox, c.song), Found{m_view->m_cboSong});
        EXPECT_EQ(QAccessible::queryAccessibleInterface(m_view->m_cboArtist)->text(QAccessible::Value), "typed");
        // The focus lands in the box's text field, which a screen reader reads by the same name.
        EXPECT_EQ(QAccessible::queryAccessibleInterface(m_view->m_cboSong->lineEdit())->text(QAccessible::Name), c.song);
        const std::array<CListCtrlEx*, 4> lists = {m_view->m_lstEngines, m_view->m_lstFiles, m_view->m_lstDownloads,
                                                   m_view->m_lstPlayList};
        for (std::size_t k = 0; k < lists.size(); ++k)
            EXPECT_EQ(Find(tree, QAccessible::Table, c.pages[k]), Found{lists[k]}) << c.pages[k].toStdString();

        const CToolBar* bar = m_frame->m_wndToolBar;
        EXPECT_EQ(Find(tree, QAccessible::Button, c.find), Found{bar->widgetForAction(bar->ButtonAction(ID_TB_FIND))});
        // Every button answers to its own name, which the page buttons share with their lists.
        std::set<QString> names;
        std::size_t buttons = 0;
        for (unsigned id : ToolbarButtons()) {
            if (id == 0)
                continue;
            ++buttons;
            const QString name = CommandName(id);
            EXPECT_FALSE(name.isEmpty()) << id;
            names.insert(name);
            EXPECT_EQ(Find(tree, QAccessible::Button, name), Found{bar->widgetForAction(bar->ButtonAction(id))})
                << name.toStdString();
        }
        EXPECT_EQ(names.size(), buttons);
        for (const QString& page : c.pages)
            EXPECT_EQ(names.count(page), 1U) << page.toStdString();
    }
}

struct DialogCase {
    const char* window;
    // Opens the window, hands it to `check`, closes it.
    std::function<void(const std::function<void(QWidget*)>& check)> open;
    // Controls named after a caption in the test language, by object name.
    std::map<QString, QString> captioned;
};

template <class Dialog>
void OpenDialog(const std::function<void(QWidget*)>& check)
{
    Dialog dialog;
    dialog.OnInitDialog();
    check(&dialog);
}

TEST_F(Accessibility, EveryFocusableControlOfEachWindowHasAName)
{
    const DialogCase cases[] = {
        {"main window", [this](const auto& check) { check(m_frame); }, {{"artist", "Interprète"}}},
        {"Options",
         OpenDialog<COptionsDlg>,
         {{"musicDir", "Dossier de musique"},
          {"historyCount", "Historique"},
          {"simultaneousDownloads", "Téléchargements simultanés"},
          {"speedLimit", "Speed limit (KB/s, 0 for none)"},
          {"browse", "Browse"}}},
        // Qt's combo box here is called by the language it shows.
        {"Language", OpenDialog<CLanguageDlg>, {}},
        {"Rename", OpenDialog<CRenameDlg>, {{"renameEdit", "Renommer"}}},
        {"About", OpenDialog<CAboutDlg>, {}},
        {"Help window",
         [](const auto& check) {
             CHelpWindow help;
             check(&help);
         },
         {{"helpContents", "Contents"}, {"helpPage", "Help page"}}},
        {"Login",
         [](const auto& check) {
             // The dialog is modal: it is read while it waits for the user, then cancelled.
             bool seen = false;
             QTimer poll;
             QObject::connect(&poll, &QTimer::timeout, [&] {
                 auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                 if (dialog == nullptr || dialog->objectName() != u"loginDialog")
                     return;
                 poll.stop();
                 seen = true;
                 check(dialog);
                 dialog->reject();
             });
             poll.start(10);
             platform::Credentials credentials;
             EXPECT_FALSE(platform::DesktopLoginDialog().Ask("127.0.0.1", false, credentials));
             EXPECT_TRUE(seen);
         },
         {{"userName", "User name:"}, {"password", "Password:"}}},
    };
    Apply("Test");
    for (const DialogCase& c : cases) {
        SCOPED_TRACE(c.window);
        c.open([&](QWidget* window) {
            EXPECT_EQ(Unnamed(window), QStringList());
            for (const auto& [objectName, name] : c.captioned)
                EXPECT_EQ(NameOf(window, objectName), name) << objectName.toStdString();
        });
    }
}

}  // namespace
