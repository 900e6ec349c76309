#include "window/settings/SplashDlg.h"

#include <QProgressBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

TEST(SplashDlg, FillsInTenStepsAndClosesOnTheNextTickOfItsTimer)
{
    m_nSplashTicks = 7;
    CSplashDlg splash;
    EXPECT_EQ(m_nSplashTicks, 0) << "every splash counts from zero";
    EXPECT_EQ(splash.size(), QSize(400, 316));
    EXPECT_EQ(splash.m_progress->minimum(), 0);
    EXPECT_EQ(splash.m_progress->maximum(), 100);
    splash.setResult(-1);
    splash.show();
    for (int tick = 1; tick <= 10; ++tick) {
        splash.OnTimer(1);
        EXPECT_EQ(splash.m_progress->value(), tick * 10);
        EXPECT_TRUE(splash.isVisible()) << tick;
    }
    splash.OnTimer(2);  // another timer only counts
    EXPECT_EQ(m_nSplashTicks, 11);
    EXPECT_TRUE(splash.isVisible());
    splash.OnTimer(1);
    EXPECT_EQ(m_nSplashTicks, 12);
    EXPECT_EQ(splash.m_progress->value(), 100);
    EXPECT_FALSE(splash.isVisible());
    EXPECT_EQ(splash.result(), 0);
}

TEST(SplashDlg, EscapeClosesTheModalSplashAtOnce)
{
    CSplashDlg splash;
    QTimer::singleShot(0, &splash, [&] { QTest::keyClick(&splash, Qt::Key_Escape); });
    splash.DoModal();
    EXPECT_LT(m_nSplashTicks, 11) << "closed by Escape, not by its timer";
    EXPECT_FALSE(splash.isVisible());
}
