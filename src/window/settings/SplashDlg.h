#pragma once

#include <QDialog>

class QProgressBar;
class QLabel;

// The picture shown while the main window is being built. Its bar fills in
// ten steps of 100 ms and it closes itself on the eleventh tick; Escape
// closes it at once.
class CSplashDlg final : public QDialog {
    Q_OBJECT
public:
    explicit CSplashDlg(QWidget* parent = nullptr);
    ~CSplashDlg() override;

    // Runs the splash modally and returns its result.
    int DoModal();

    // One tick of timer `timerId`; the timer calls it every 100 ms.
    void OnTimer(int timerId);

    QProgressBar* m_progress = nullptr;

    // Test runs start many windows: with this set, DoModal returns at once.
    static void SetSkipForTesting(bool skip);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    QLabel* m_picture = nullptr;
    int m_timerId = 0;  // the running timer, 0 when none
};

// Ticks of the splash timer, one counter for the whole program; set to 0
// whenever a splash is constructed.
extern int m_nSplashTicks;
