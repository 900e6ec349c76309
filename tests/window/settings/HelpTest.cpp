// The manual in the help window, F1, and the home page through a scripted launcher.
#include "ShellFixture.h"

#include "window/desktop/WebBrowser.h"
#include "resources/Resource.h"
#include "window/settings/HelpWindow.h"
#include "window/ToolBar.h"

#include <QApplication>
#include <QTest>
#include <QTreeWidget>

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
        {"English", "Tunorva Help", "Welcome to Tunorva"}, {"Arabic", "مساعدة Tunorva", "مرحبًا بك في Tunorva"}};
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
