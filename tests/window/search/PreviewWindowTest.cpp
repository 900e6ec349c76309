// The found files' preview through the window where no sound server runs:
// the popup's entries, Space on the list, and the message that says why
// nothing plays.
#include "ShellFixture.h"

#include "platform/MessageChannel.h"
#include "search/SearchMessages.h"

#include "resources/Resource.h"
#include "window/download/ListCtrlEx.h"
#include "window/search/PreviewPlayer.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <cstdlib>

using namespace testing_support;

namespace {

class PreviewWindowTest : public ShellTest {
protected:
    // No sound server answers here, whatever the machine runs.
    void BeforeStart() override { setenv("PULSE_SERVER", "unix:/nonexistent/tunorva-preview-test", 1); }
    void TearDown() override
    {
        ShellTest::TearDown();
        unsetenv("PULSE_SERVER");
    }

    CListCtrlEx& Files() const { return *m_view->m_lstFiles; }
};

TEST_F(PreviewWindowTest, WithoutASoundDeviceThePopupAndSpaceSaySoAndTheKeyboxesKeepTheirBlank)
{
    m_view->m_bPlaySound = 0;
    m_view->ShowSearchPage();
    platform::Deliver(*m_frame, Mp3Found{"http://127.0.0.1:9/song.mp3", 1});
    Files().SelectItem(0);

    // The popup offers the preview; "Stop preview" only while one plays.
    QTimer chooser;
    bool chosen = false;
    bool stopEnabled = true;
    QObject::connect(&chooser, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr)
            return;
        QAction* preview = nullptr;
        for (QAction* action : menu->actions()) {
            if (action->text() == QStringLiteral("Stop preview"))
                stopEnabled = action->isEnabled();
            if (action->text() == QStringLiteral("Pre&view"))
                preview = action;
        }
        if (preview != nullptr && preview->isEnabled()) {
            chosen = true;
            menu->setActiveAction(preview);
            QTest::keyClick(menu, Qt::Key_Return);
        } else {
            menu->close();
        }
    });
    chooser.start(20);
    const QRect cell = Files().visualRect(Files().model()->index(0, 0));
    QTest::mouseClick(Files().viewport(), Qt::RightButton, Qt::NoModifier, cell.center());
    chooser.stop();
    ASSERT_TRUE(chosen);
    EXPECT_FALSE(stopEnabled);
    ASSERT_EQ(m_responder.Texts().size(), 1u);
    EXPECT_EQ(m_responder.Texts().back(), "No sound device for a preview");

    // Space on the list asks again, and is told the same.
    Files().setFocus();
    QTest::keyClick(&Files(), Qt::Key_Space);
    ASSERT_EQ(m_responder.Texts().size(), 2u);
    EXPECT_EQ(m_responder.Texts().back(), "No sound device for a preview");
    EXPECT_FALSE(m_frame->m_wndStatusBar->currentMessage().startsWith(QStringLiteral("Preview:")));

    // In a keyword box Space is a blank.
    m_view->m_cboArtist->setFocus();
    m_view->m_cboArtist->lineEdit()->clear();
    QTest::keyClicks(m_view->m_cboArtist->lineEdit(), QStringLiteral("a b"));
    EXPECT_EQ(m_view->m_cboArtist->lineEdit()->text(), QStringLiteral("a b"));
    EXPECT_EQ(m_responder.Texts().size(), 2u);
}

TEST(PreviewTimeTest, PositionsAndLengthsReadAsMinutesAndSeconds)
{
    const std::pair<double, const char*> cases[] = {
        {0.0, "0:00"}, {0.99, "0:00"}, {12.4, "0:12"}, {167.0, "2:47"}, {3599.9, "59:59"}, {3723.0, "1:02:03"}, {-1.0, "0:00"},
    };
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(CPreviewPlayer::FormatTime(seconds), text) << seconds;
}

}  // namespace
