#include "window/download/ProgressCellDelegate.h"

#include "platform/MulDiv.h"
#include "window/ListModel.h"

#include <QPainter>

#include <algorithm>

CProgressCellDelegate::CProgressCellDelegate(const CProgressCellSource* source, int progressColumn, QObject* parent)
    : QStyledItemDelegate(parent)
    , m_source(source)
    , m_nProgressColumn(progressColumn)
{
}

void CProgressCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const
{
    const CProgressCellSource::Colours colours = m_source->CellColours();
    painter->save();
    // The list keeps its selection visible without the focus.
    const bool highlighted = (option.state & QStyle::State_Selected) != 0;
    // The cell spans the whole column and row; the grid lines are drawn over
    // its last pixels afterwards.
    const QRect cell(option.rect.topLeft(),
                     m_source->CellSize(index.row(), index.column()));
    painter->fillRect(cell, highlighted ? colours.highlight : colours.background);

    const QString text = index.data(Qt::DisplayRole).toString();
    QRect inner = cell.adjusted(2, 1, -2, -1);
    painter->setFont(option.font);

    if (index.column() != m_nProgressColumn) {
        painter->setPen(highlighted ? colours.highlightText : colours.text);
        painter->drawText(inner, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
        painter->restore();
        return;
    }

    // Outline with a black pen, as a plain device context draws it.
    painter->setPen(QColor(0, 0, 0));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(inner.adjusted(0, 0, -1, -1));
    const QRect bar = inner.adjusted(1, 1, -1, -1);

    const QVariant rowRange = index.data(ListRole::Range);
    if (!rowRange.isValid()) {
        m_source->ReportBadRange();
        painter->restore();
        return;
    }
    const std::int64_t range = rowRange.toLongLong();
    const std::int64_t value = index.data(ListRole::Received).toLongLong();
    const std::int64_t filled = MulDiv64(value, bar.width(), range);
    const QString label = QString::asprintf("%lld%%", static_cast<long long>(MulDiv64(100, value, range)));
    // A value beyond the range must not paint over the next column.
    const int shownWidth = static_cast<int>(std::clamp<std::int64_t>(filled, 0, bar.width()));
    const QRect done(bar.left(), bar.top(), shownWidth, bar.height());
    const QRect rest(bar.left() + shownWidth, bar.top(), bar.width() - shownWidth, bar.height());
    const int flags = Qt::AlignCenter | Qt::TextSingleLine;

    if (highlighted) {
        painter->fillRect(done, colours.face);
        painter->fillRect(rest, colours.background);
        painter->setPen(colours.text);
        painter->drawText(bar, flags, label);
    } else {
        painter->fillRect(done, colours.progress);
        painter->fillRect(rest, colours.face);
        painter->setClipRect(done);
        painter->setPen(colours.background);
        painter->drawText(bar, flags, label);
        painter->setClipRect(rest);
        painter->setPen(colours.text);
        painter->drawText(bar, flags, label);
        painter->setClipping(false);
    }
    painter->restore();
}
