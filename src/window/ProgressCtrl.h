#pragma once

#include <QElapsedTimer>
#include <QWidget>

// The search progress bar. Unlike QProgressBar, which repaints at once on
// every visible change, it only schedules a repaint, and at most one a frame:
// a search steps it for every block of every page and every found file, and
// the style's bar is the costliest thing the window paints during a search.
class CProgressCtrl final : public QWidget {
public:
    explicit CProgressCtrl(QWidget* parent = nullptr);

    void SetRange32(int minimum, int maximum);
    int GetRangeMin() const { return m_nMin; }
    int GetRangeMax() const { return m_nMax; }
    void SetPos(int pos);
    int GetPos() const { return m_nPos; }
    void SetStep(int step) { m_nStep = step; }
    // PBM_STEPIT: advances by the step; past the top it starts again from the bottom.
    void StepIt();

protected:
    void paintEvent(QPaintEvent* event) override;
    QSize sizeHint() const override;

private:
    // update(), or a timer for it one frame after the last paint.
    void ScheduleRepaint();

    QElapsedTimer m_lastPaint;
    bool m_bRepaintDue = false;
    int m_nMin = 0;
    int m_nMax = 100;
    int m_nPos = 0;
    int m_nStep = 10;
};
