#pragma once

#include <QStyledItemDelegate>

class CListCtrlEx;

// Paints the rows of the download list: plain texts left-aligned on one line,
// and every cell whose text ends in "%" as a bar filled to the received share
// of its slot's range, with the percentage written over it.
class CProgressCellDelegate final : public QStyledItemDelegate {
public:
    explicit CProgressCellDelegate(CListCtrlEx* list);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    CListCtrlEx* m_list;
};
