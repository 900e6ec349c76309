#include "window/download/ProgressCellDelegate.h"

#include "window/download/ListCtrlEx.h"

#include <QPainter>

#include <algorithm>
#include <cstdlib>

CProgressCellDelegate::CProgressCellDelegate(CListCtrlEx* list)
    : QStyledItemDelegate(list)
    , m_list(list)
{
}

void CProgressCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const
{
    const CListCtrlEx& list = *m_list;
    painter->save();
    // The list keeps its selection visible without the focus.
    const bool highlighted = (option.state & QStyle::State_Selected) != 0;
    // The cell spans the whole column and row; the grid lines are drawn over
    // its last pixels afterwards.
    const QRect cell(option.rect.topLeft(),
                     QSize(list.columnWidth(index.column()), list.rowHeight(index.row())));
    painter->fillRect(cell, highlighted ? list.m_crHighlight : list.m_crBackground);

    const QString text = index.data(Qt::DisplayRole).toString();
    QRect inner = cell.adjusted(2, 1, -2, -1);
    painter->setFont(option.font);

    if (!text.endsWith(QLatin1Char('%'))) {
        painter->setPen(highlighted ? list.m_crHighlightText : list.m_crText);
        painter->drawText(inner, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
        painter->restore();
        return;
    }

    // Outline with a black pen, as a plain device context draws it.
    painter->setPen(QColor(0, 0, 0));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(inner.adjusted(0, 0, -1, -1));
    const QRect bar = inner.adjusted(1, 1, -1, -1);

    const int slot = list.GetItemSlot(index.row());
    if (slot == -1 || slot < 0 || slot >= static_cast<int>(list.m_nRange.size())) {
        list.ReportBadRange();
        painter->restore();
        return;
    }
    const std::int64_t range = list.m_nRange[static_cast<std::size_t>(slot)];
    const std::int64_t value = std::strtoll(text.toLatin1().constData(), nullptr, 10);
    const std::int64_t filled = MulDiv64(value, bar.width(), range);
    const QString label = QString::asprintf("%lld%%", static_cast<long long>(MulDiv64(100, value, range)));
    // A value beyond the range must not paint over the next column.
    const int shownWidth = static_cast<int>(std::clamp<std::int64_t>(filled, 0, bar.width()));
    const QRect done(bar.left(), bar.top(), shownWidth, bar.height());
    const QRect rest(bar.left() + shownWidth, bar.top(), bar.width() - shownWidth, bar.height());
    const int flags = Qt::AlignCenter | Qt::TextSingleLine;

    if (highlighted) {
        painter->fillRect(done, list.m_crFace);
        painter->fillRect(rest, list.m_crBackground);
        painter->setPen(list.m_crText);
        painter->drawText(bar, flags, label);
    } else {
        painter->fillRect(done, list.m_crProgress);
        painter->fillRect(rest, list.m_crFace);
        painter->setClipRect(done);
        painter->setPen(list.m_crBackground);
        painter->drawText(bar, flags, label);
        painter->setClipRect(rest);
        painter->setPen(list.m_crText);
        painter->drawText(bar, flags, label);
        painter->setClipping(false);
    }
    painter->restore();
}
