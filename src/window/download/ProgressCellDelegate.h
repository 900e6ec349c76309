#pragma once

#include <QColor>
#include <QSize>
#include <QStyledItemDelegate>

// What the cell painter reads from the list it paints besides the cells'
// data. The list implements it; the painter knows nothing else of the list.
class CProgressCellSource {
public:
    struct Colours {
        QColor text;
        QColor background;
        QColor highlightText;
        QColor highlight;
        QColor progress;
        QColor face;
    };

    virtual Colours CellColours() const = 0;
    // The whole cell at (`row`, `column`), grid lines included.
    virtual QSize CellSize(int row, int column) const = 0;
    // A bar whose row names no valid slot cannot be drawn; the list tells
    // the user, once.
    virtual void ReportBadRange() const = 0;

protected:
    ~CProgressCellSource() = default;
};

// Paints the rows of the download list: plain texts left-aligned on one line,
// and the cells of the progress column as a bar filled to the received share
// of the row's range (ListRole::Received of ListRole::Range), with the
// percentage written over it.
class CProgressCellDelegate final : public QStyledItemDelegate {
public:
    CProgressCellDelegate(const CProgressCellSource* source, int progressColumn, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    const CProgressCellSource* m_source;
    int m_nProgressColumn;
};
