// The manual in the help window, F1, and the home page through a scripted launcher.
#include "ShellFixture.h"

#include "settings/HelpContents.h"
#include "window/desktop/WebBrowser.h"
#include "resources/Resource.h"
#include "window/settings/HelpWindow.h"
#include "window/ToolBar.h"

#include <QApplication>
#include <QFontDatabase>
#include <QImage>
#include <QRawFont>
#include <QTextBlock>
#include <QTextDocument>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <cstdlib>

using testing_support::ShellTest;

namespace {

class RecordingLauncher final : public platform::UrlLauncher {
public:
    RecordingLauncher() { m_previous = platform::SetUrlLauncher(this); }
    ~RecordingLauncher() override { platform::SetUrlLauncher(m_previous); }
    bool OpenUrl(const std::string& url) override
    {
        opened.push_back(url);
        return false;  // a failure changes nothing: the command is silent
    }
    std::vector<std::string> opened;

private:
    platform::UrlLauncher* m_previous = nullptr;
};

class Help : public ShellTest {
protected:
    void TearDown() override
    {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (qobject_cast<CHelpWindow*>(window) != nullptr)
                delete window;
        }
        ShellTest::TearDown();
    }
    CHelpWindow* HelpWindow() const { return m_frame->findChild<CHelpWindow*>(); }
    void PressF1() { QTest::keyClick(m_view->m_cboArtist, Qt::Key_F1); }
};

#if TUNORVA_HAVE_HELP
TEST_F(Help, EachShippedManualOpensOnItsFirstPageWithItsContents)
{
    const std::string shipped = TUNORVA_SHIPPED_DIR;
    std::filesystem::copy(shipped + "/Help", m_dir.Path() / "Help");
    const std::tuple<const char*, const char*, const char*> manuals[] = {
        {"English", "Tunorva Help", "Welcome to Tunorva"},
        {"Arabic", "مساعدة Tunorva", "مرحبًا بك في Tunorva"},
        {"French", "Aide de Tunorva", "Bienvenue dans Tunorva"},
        {"German", "Tunorva-Hilfe", "Willkommen bei Tunorva"}};
    for (const auto& [language, windowTitle, title] : manuals) {
        m_frame->m_strLanguage = language;
        PressF1();
        CHelpWindow* help = HelpWindow();
        ASSERT_NE(help, nullptr) << language;
        EXPECT_TRUE(help->isVisible());
        EXPECT_FALSE(help->testAttribute(Qt::WA_QuitOnClose));
        EXPECT_EQ(help->windowTitle(), QString::fromUtf8(windowTitle));
        EXPECT_EQ(help->FilePath(), m_dir.File("Help/" + std::string(language) + ".chm"));
        EXPECT_EQ(help->m_browser->documentTitle(), QString::fromUtf8(title)) << language;
        ASSERT_EQ(help->m_treContents->topLevelItemCount(), 1);
        EXPECT_EQ(help->m_treContents->topLevelItem(0)->childCount(), 6);
        // A topic of the tree and a link inside a page both lead to their page.
        help->ShowTopic(help->m_treContents->topLevelItem(0)->child(5)->data(0, Qt::UserRole).toString());
        EXPECT_TRUE(help->m_browser->toPlainText().contains(QStringLiteral("Engines.ini")));
    }
}
#endif

#if TUNORVA_HAVE_HELP
// Every run of Arabic letters in the Arabic manual, italic or not, is set in
// a face that has those letters: an oblique face without them shows boxes.
TEST_F(Help, EveryArabicWordOfTheManualHasItsGlyphs)
{
    const std::string shipped = TUNORVA_SHIPPED_DIR;
    std::filesystem::copy(shipped + "/Help", m_dir.Path() / "Help");
    m_frame->m_strLanguage = "Arabic";
    PressF1();
    CHelpWindow* help = HelpWindow();
    ASSERT_NE(help, nullptr);
    QTreeWidgetItem* top = help->m_treContents->topLevelItem(0);
    ASSERT_NE(top, nullptr);
    int arabicRuns = 0;
    for (int topic = 0; topic < top->childCount(); ++topic) {
        help->ShowTopic(top->child(topic)->data(0, Qt::UserRole).toString());
        const QTextDocument* page = help->m_browser->document();
        for (QTextBlock block = page->begin(); block.isValid(); block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                const QString text = fragment.text();
                const QFont font = fragment.charFormat().font();
                const QRawFont face = QRawFont::fromFont(font, QFontDatabase::Arabic);
                bool arabic = false;
                for (const QChar c : text) {
                    if (c.script() != QChar::Script_Arabic || !c.isLetter())
                        continue;
                    arabic = true;
                    EXPECT_TRUE(face.supportsCharacter(c))
                        << text.toStdString() << " in " << face.familyName().toStdString() << " "
                        << face.styleName().toStdString();
                    break;
                }
                arabicRuns += arabic ? 1 : 0;
            }
        }
    }
    EXPECT_GT(arabicRuns, 0);
}
#endif

TEST_F(Help, AMissingManualShowsTheViewersOwnErrorAndNoMessageBox)
{
    m_frame->m_strLanguage = "Klingon";
    ASSERT_TRUE(m_frame->OnCmdMsg(ID_MENU_HELP_CONTENTS));
    CHelpWindow* help = HelpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->FilePath(), m_dir.File("Help/Klingon.chm"));
    EXPECT_TRUE(help->m_browser->toPlainText().contains(QStringLiteral("Cannot open the help file")));
    EXPECT_EQ(help->m_treContents->topLevelItemCount(), 0);
    EXPECT_TRUE(m_responder.Texts().empty());
    // A damaged file is no better than a missing one.
    m_dir.Write("Help/Klingon.chm", "ITSF but not really");
    ASSERT_TRUE(m_frame->OnCmdMsg(ID_TB_HELP));
    EXPECT_EQ(HelpWindow(), help);
    EXPECT_TRUE(help->m_browser->toPlainText().contains(QStringLiteral("Cannot open the help file")));
}

#if TUNORVA_HAVE_HELP
// A manual is a downloaded file like any other: its pages may name files on
// disk, nest their contents without end and hide queries in mail links.
TEST_F(Help, AHostileManualStaysInsideItself)
{
    const std::filesystem::path src = m_dir.Path() / "hostile";
    std::filesystem::create_directories(src);
    // A large picture and a style sheet on disk: either one, if read, makes
    // the page far taller than its one line of text.
    QImage picture(400, 400, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(QString::fromStdString((src / "secret.png").string())));
    m_dir.Write("hostile/secret.css", "p { margin-top: 600px; }");
    const std::string disk = "file://" + src.string();
    m_dir.Write("hostile/index.html",
                "<html><head><title>Hostile</title><link rel=\"stylesheet\" href=\"" + disk +
                    "/secret.css\"></head><body><p>Text<img src=\"" + disk + "/secret.png\"><img src=\"missing.png\"></p></body></html>");
    std::string contents = "<html><body>";
    for (int i = 0; i < 1000; ++i)
        contents += "<ul><li><object type=\"text/sitemap\"><param name=\"Name\" value=\"Level " +
                    std::to_string(i) + "\"><param name=\"Local\" value=\"index.html\"></object>";
    contents += std::string(1000 * 5, ' ') + "</body></html>";
    m_dir.Write("hostile/contents.hhc", contents);
    m_dir.Write("hostile/Hostile.hhp", "[OPTIONS]\nCompiled file=Hostile.chm\nContents file=contents.hhc\n"
                                        "Default topic=index.html\nTitle=Hostile\n\n[FILES]\nindex.html\n");
    const std::string build = "cd '" + src.string() + "' && '" TUNORVA_CHMCMD "' Hostile.hhp >/dev/null 2>&1";
    ASSERT_EQ(std::system(build.c_str()), 0);
    std::filesystem::create_directories(m_dir.Path() / "Help");
    std::filesystem::copy_file(src / "Hostile.chm", m_dir.Path() / "Help/Hostile.chm");

    m_frame->m_strLanguage = "Hostile";
    PressF1();
    CHelpWindow* help = HelpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->m_browser->documentTitle(), QStringLiteral("Hostile"));
    EXPECT_LT(help->m_browser->document()->size().height(), 200);
    for (const QString& name : {QString::fromStdString(disk + "/secret.png"), QStringLiteral("/missing.png"),
                                QStringLiteral("http://127.0.0.1:9/x.png")}) {
        const QVariant image = help->m_browser->loadResource(QTextDocument::ImageResource, QUrl(name));
        EXPECT_TRUE(image.isValid()) << name.toStdString();
        EXPECT_TRUE(image.toByteArray().isEmpty()) << name.toStdString();
    }
    EXPECT_TRUE(help->m_browser->loadResource(QTextDocument::StyleSheetResource, QUrl(QString::fromStdString(disk + "/secret.css")))
                    .toString()
                    .isEmpty());

    // The contents stop at the deepest level; the deeper entries sit there.
    int deepest = 0;
    int entries = 0;
    for (QTreeWidgetItemIterator it(help->m_treContents); *it != nullptr; ++it) {
        int depth = 1;
        for (QTreeWidgetItem* up = (*it)->parent(); up != nullptr; up = up->parent())
            ++depth;
        deepest = std::max(deepest, depth);
        ++entries;
    }
    EXPECT_EQ(deepest, kHelpContentsDepthMax + 1);
    EXPECT_EQ(entries, 1000);

    // Mail links leave as bare addresses.
    RecordingLauncher launcher;
    for (const char* link : {"mailto:friend@example.org?attach=/etc/passwd", "mailto:friend@example.org%3Fattach=x",
                             "mailto:?body=hello", "mailto:a@example.org,b@example.org#part"})
        emit help->m_browser->anchorClicked(QUrl(QString::fromLatin1(link)));
    EXPECT_EQ(launcher.opened,
              (std::vector<std::string>{"mailto:friend@example.org", "mailto:a@example.org,b@example.org"}));
}
#endif

TEST_F(Help, HomePageOpensTheAddressSilentlyAndTellAFriendStaysDisabled)
{
    RecordingLauncher launcher;
    m_frame->MenuAction(ID_HOME_PAGE)->trigger();
    m_frame->m_wndToolBar->ButtonAction(ID_HOME_PAGE)->trigger();
    EXPECT_EQ(launcher.opened, (std::vector<std::string>{"http://tunorva.example.org", "http://tunorva.example.org"}));
    EXPECT_TRUE(m_responder.Texts().empty());
    EXPECT_FALSE(m_frame->MenuAction(ID_MENU_TELL_FRIEND)->isEnabled());
    EXPECT_FALSE(m_frame->m_wndToolBar->ButtonAction(ID_TB_TELL_FRIEND)->isEnabled());
}

}  // namespace
