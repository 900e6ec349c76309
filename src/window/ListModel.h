#pragma once

#include <QAbstractTableModel>
#include <QTimer>

#include <string>
#include <vector>

// Roles the list models answer besides the display text. Views, delegates
// and tests read numbers through these; no cell text is parsed back.
namespace ListRole {
enum : int {
    Image = Qt::UserRole + 1,  // the row's picture in the list strip (int), column 0
    Sort,                      // what a header click orders by: the number where a column holds one
    Size,                      // bytes of a file (qint64); -1 while unknown
    Received,                  // bytes a download has received (qint64)
    Range,                     // bytes the download's progress bar spans (qint64)
    Percent,                   // the share of the range received (int, 0..100 and beyond)
    Slot,                      // a download's slot (int)
    State,                     // the id of the state text a row shows (unsigned), 0 for none
    Status,                    // the status text of the row's own (a probe's answer)
    Length,                    // a song's length in seconds (int)
    Bitrate,                   // a song's bitrate in kbit/s (int)
    RawName,                   // a file name byte for byte (QByteArray)
};
}

// Column alignments of InsertColumn.
inline constexpr int LVCFMT_LEFT = 0;
inline constexpr int LVCFMT_CENTER = 2;

// The rows of one list: texts per column, a picture per row and, where a
// column holds a number, the number itself. Rows are addressed by their
// index in the model; a sorted view maps its own rows onto these. Models
// whose rows are records of their own keep no cells and answer CellData
// from the record.
//
// Rows added at the end reach the views in batches, at most one frame
// apart, with one insertion per batch; changes of cells are told the same
// way, one range a frame. What the program reads through Count(), Text()
// and the typed accessors is always current.
class CListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CListModel(QObject* parent = nullptr);
    ~CListModel() override;

    // --- columns
    int InsertColumn(int column, const QString& header, int format);
    int ColumnCount() const { return static_cast<int>(m_columns.size()); }
    QString Header(int column) const;
    void SetHeader(int column, const QString& text);
    int Format(int column) const;

    // --- rows
    int Count() const { return static_cast<int>(m_rows.size()); }
    // Inserts a row at `index` (clamped to the end) with `image` and the
    // first `count` of `texts`; the other columns stay empty. Returns the
    // row's index, -1 for a negative index.
    int InsertRow(int index, int count, int image, const std::vector<std::string>& texts);
    // The text a cell shows (without the marks that only order it on screen).
    QString Text(int row, int column) const;
    bool SetText(int row, int column, const QString& text);
    // A cell that shows string `textId` in the language in force.
    bool SetTextId(int row, int column, unsigned textId);
    int Image(int row) const;  // -1 when the row has none or there is no such row
    bool SetImage(int row, int image);
    bool RemoveRows(int row, int count);
    void Clear();
    // Tells the views of everything added or changed since the last batch.
    void Flush();
    // Every cell is drawn again: its texts follow the language in force.
    void LanguageChanged();

    // --- QAbstractTableModel
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

protected:
    struct Cell {
        QString text;
        QVariant value;      // the number (or bytes) behind the text, where there is one
        unsigned textId = 0; // a string id shown in the language in force instead of `text`
    };
    struct Row {
        std::vector<Cell> cells;
        int image = -1;
    };

    // What `role` gives for a cell; models with typed columns add theirs.
    virtual QVariant CellData(int row, int column, int role) const;
    // A model that keeps records of its own drops those of rows [row, row + count).
    virtual void RowsRemoved(int row, int count) {}
    // A model that keeps an index of its rows by key rebuilds it.
    virtual void RowsMoved() {}

    bool IsCell(int row, int column) const;
    const Cell& CellAt(int row, int column) const;
    Cell& MutableCell(int row, int column);
    // Sets a cell's text and value in one change of the cell (its text id
    // goes).
    bool SetCell(int row, int column, const QString& text, const QVariant& value);
    // Marks a cell as changed; the views hear of it with the next batch.
    void Changed(int row, int column);

    std::vector<Row> m_rows;

private:
    void ScheduleFlush();

    struct Column {
        QString header;
        int format = LVCFMT_LEFT;
    };
    std::vector<Column> m_columns;
    int m_nShown = 0;  // rows the views have been told of
    int m_nDirtyFirstRow = -1;
    int m_nDirtyLastRow = -1;
    int m_nDirtyFirstColumn = 0;
    int m_nDirtyLastColumn = 0;
    QTimer m_flushTimer;
};

// The picture `image` of the list strip, cut once per image.
QIcon ListImage(int image);
