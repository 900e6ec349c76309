#pragma once

#include <QColor>
#include <QSize>
#include <QStyledItemDelegate>

#include <cstdint>
#include <optional>

// What the cell painter reads from the list it paints. The list implements
// it; the painter knows nothing else of the list.
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
    // The full range of the bar in `row`; none when the row names no valid
    // slot (the list then tells the user, once).
    virtual std::optional<std::int64_t> RowRange(int row) const = 0;

protected:
    ~CProgressCellSource() = default;
};

// Paints the rows of the download list: plain texts left-aligned on one line,
// and every cell whose text ends in "%" as a bar filled to the received share
// of its slot's range, with the percentage written over it.
class CProgressCellDelegate final : public QStyledItemDelegate {
public:
    CProgressCellDelegate(const CProgressCellSource* source, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    const CProgressCellSource* m_source;
};
