#include "window/ProgressCtrl.h"

#include <QStyleOptionProgressBar>
#include <QStylePainter>
#include <QTimer>

#include <algorithm>

namespace {

constexpr qint64 kFrameMs = 16;

}  // namespace

CProgressCtrl::CProgressCtrl(QWidget* parent) : QWidget(parent) {}

void CProgressCtrl::SetRange32(int minimum, int maximum)
{
    m_nMin = minimum;
    m_nMax = std::max(minimum, maximum);
    m_nPos = std::clamp(m_nPos, m_nMin, m_nMax);
    ScheduleRepaint();
}

void CProgressCtrl::SetPos(int pos)
{
    pos = std::clamp(pos, m_nMin, m_nMax);
    if (pos == m_nPos)
        return;
    m_nPos = pos;
    ScheduleRepaint();
}

void CProgressCtrl::ScheduleRepaint()
{
    if (m_bRepaintDue)
        return;
    const qint64 since = m_lastPaint.isValid() ? m_lastPaint.elapsed() : kFrameMs;
    if (since >= kFrameMs) {
        update();
        return;
    }
    m_bRepaintDue = true;
    QTimer::singleShot(static_cast<int>(kFrameMs - since), this, [this] {
        m_bRepaintDue = false;
        update();
    });
}

void CProgressCtrl::StepIt()
{
    int pos = m_nPos + m_nStep;
    if (pos > m_nMax && m_nMax > m_nMin)
        pos = m_nMin + (pos - m_nMax) % (m_nMax - m_nMin);
    SetPos(pos);
}

void CProgressCtrl::paintEvent(QPaintEvent*)
{
    m_lastPaint.start();
    QStylePainter painter(this);
    QStyleOptionProgressBar option;
    option.initFrom(this);
    option.minimum = m_nMin;
    option.maximum = m_nMax;
    option.progress = m_nPos;
    option.textVisible = false;
    painter.drawControl(QStyle::CE_ProgressBar, option);
}

QSize CProgressCtrl::sizeHint() const
{
    return {100, 15};
}
