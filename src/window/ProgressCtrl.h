#pragma once

#include <QWidget>

// The search progress bar. Unlike QProgressBar, which repaints at once on
// every visible change, it only schedules a repaint: a search steps it for
// every block of every page, and painting each step would keep the window
// busy for nothing.
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
    int m_nMin = 0;
    int m_nMax = 100;
    int m_nPos = 0;
    int m_nStep = 10;
};
