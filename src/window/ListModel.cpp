#include "window/ListModel.h"

#include "resources/Resource.h"
#include "settings/LanguagePack.h"
#include "window/Pictures.h"

#include <QIcon>

#include <algorithm>
#include <unordered_map>

namespace {

// A frame: rows and changes reach the views at most this far apart.
constexpr int kBatchIntervalMs = 16;

Qt::Alignment AlignmentOf(int format)
{
    return (format == LVCFMT_CENTER ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter;
}

}  // namespace

QIcon ListImage(int image)
{
    static std::unordered_map<int, QIcon> icons;
    const auto known = icons.find(image);
    if (known != icons.end())
        return known->second;
    const QPixmap picture = StripCell(LoadBitmap(IDB_LIST_IMAGES), image, 43, qRgb(0x80, 0x80, 0x80));
    QIcon icon = picture.isNull() ? QIcon() : QIcon(picture);
    icons.emplace(image, icon);
    return icon;
}

CListModel::CListModel(QObject* parent)
    : QAbstractTableModel(parent)
{
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(kBatchIntervalMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &CListModel::Flush);
}

CListModel::~CListModel() = default;

int CListModel::InsertColumn(int column, const QString& header, int format)
{
    if (column < 0)
        return -1;
    column = std::min(column, ColumnCount());
    Flush();
    beginInsertColumns(QModelIndex(), column, column);
    m_columns.insert(m_columns.begin() + column, Column{header, format});
    for (Row& row : m_rows) {
        if (row.cells.size() > static_cast<std::size_t>(column))
            row.cells.insert(row.cells.begin() + column, Cell{});
    }
    endInsertColumns();
    return column;
}

QString CListModel::Header(int column) const
{
    return column >= 0 && column < ColumnCount() ? m_columns[static_cast<std::size_t>(column)].header : QString();
}

void CListModel::SetHeader(int column, const QString& text)
{
    if (column < 0 || column >= ColumnCount() || m_columns[static_cast<std::size_t>(column)].header == text)
        return;
    m_columns[static_cast<std::size_t>(column)].header = text;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

int CListModel::Format(int column) const
{
    return column >= 0 && column < ColumnCount() ? m_columns[static_cast<std::size_t>(column)].format : LVCFMT_LEFT;
}

int CListModel::InsertRow(int index, int count, int image, const std::vector<std::string>& texts)
{
    if (index < 0)
        return -1;
    index = std::min(index, Count());
    Row row;
    row.image = image;
    // Cells are made as far as texts are given; the rest are made when set.
    const std::size_t given = std::min({static_cast<std::size_t>(std::max(count, 0)), texts.size(), m_columns.size()});
    row.cells.resize(given);
    for (std::size_t column = 0; column < given; ++column)
        row.cells[column].text = QString::fromStdString(texts[column]);
    if (index == Count()) {
        // At the end: the views hear of it with the batch.
        m_rows.push_back(std::move(row));
        ScheduleFlush();
    } else {
        // Before other rows: the views must know every row after it first.
        Flush();
        beginInsertRows(QModelIndex(), index, index);
        m_rows.insert(m_rows.begin() + index, std::move(row));
        ++m_nShown;
        endInsertRows();
        RowsMoved();
    }
    return index;
}

QString CListModel::Text(int row, int column) const
{
    return IsCell(row, column) ? CellData(row, column, Qt::AccessibleTextRole).toString() : QString();
}

bool CListModel::SetText(int row, int column, const QString& text)
{
    return SetCell(row, column, text, QVariant());
}

bool CListModel::SetTextId(int row, int column, unsigned textId)
{
    if (!IsCell(row, column))
        return false;
    Cell& cell = MutableCell(row, column);
    if (cell.textId == textId && cell.text.isEmpty() && !cell.value.isValid())
        return true;
    cell = Cell{{}, {}, textId};
    Changed(row, column);
    return true;
}

bool CListModel::SetCell(int row, int column, const QString& text, const QVariant& value)
{
    if (!IsCell(row, column))
        return false;
    Cell& cell = MutableCell(row, column);
    if (cell.text == text && cell.value == value && cell.textId == 0)
        return true;
    cell = Cell{text, value, 0};
    Changed(row, column);
    return true;
}

CListModel::Cell& CListModel::MutableCell(int row, int column)
{
    std::vector<Cell>& cells = m_rows[static_cast<std::size_t>(row)].cells;
    if (cells.size() <= static_cast<std::size_t>(column))
        cells.resize(static_cast<std::size_t>(column) + 1);
    return cells[static_cast<std::size_t>(column)];
}

int CListModel::Image(int row) const
{
    return row >= 0 && row < Count() ? m_rows[static_cast<std::size_t>(row)].image : -1;
}

bool CListModel::SetImage(int row, int image)
{
    if (row < 0 || row >= Count())
        return false;
    int& current = m_rows[static_cast<std::size_t>(row)].image;
    if (current != image) {
        current = image;
        Changed(row, 0);
    }
    return true;
}

bool CListModel::RemoveRows(int row, int count)
{
    if (row < 0 || count <= 0 || row + count > Count())
        return false;
    Flush();
    beginRemoveRows(QModelIndex(), row, row + count - 1);
    m_rows.erase(m_rows.begin() + row, m_rows.begin() + row + count);
    RowsRemoved(row, count);
    m_nShown -= count;
    endRemoveRows();
    RowsMoved();
    return true;
}

void CListModel::Clear()
{
    m_flushTimer.stop();
    beginResetModel();
    RowsRemoved(0, Count());
    m_rows.clear();
    m_nShown = 0;
    m_nDirtyFirstRow = m_nDirtyLastRow = -1;
    endResetModel();
    RowsMoved();
}

void CListModel::Flush()
{
    m_flushTimer.stop();
    if (m_nDirtyFirstRow >= 0) {
        const int first = m_nDirtyFirstRow;
        const int last = std::min(m_nDirtyLastRow, m_nShown - 1);
        m_nDirtyFirstRow = m_nDirtyLastRow = -1;
        if (first <= last)
            emit dataChanged(index(first, m_nDirtyFirstColumn), index(last, m_nDirtyLastColumn));
    }
    if (m_nShown < Count()) {
        beginInsertRows(QModelIndex(), m_nShown, Count() - 1);
        m_nShown = Count();
        endInsertRows();
    }
}

void CListModel::LanguageChanged()
{
    Flush();
    if (m_nShown > 0 && ColumnCount() > 0)
        emit dataChanged(index(0, 0), index(m_nShown - 1, ColumnCount() - 1));
}

void CListModel::Changed(int row, int column)
{
    // Rows the views have not been told of yet come with their batch.
    if (row >= m_nShown)
        return;
    if (m_nDirtyFirstRow < 0) {
        m_nDirtyFirstRow = m_nDirtyLastRow = row;
        m_nDirtyFirstColumn = m_nDirtyLastColumn = column;
    } else {
        m_nDirtyFirstRow = std::min(m_nDirtyFirstRow, row);
        m_nDirtyLastRow = std::max(m_nDirtyLastRow, row);
        m_nDirtyFirstColumn = std::min(m_nDirtyFirstColumn, column);
        m_nDirtyLastColumn = std::max(m_nDirtyLastColumn, column);
    }
    ScheduleFlush();
}

void CListModel::ScheduleFlush()
{
    if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

bool CListModel::IsCell(int row, int column) const
{
    return row >= 0 && row < Count() && column >= 0 && column < ColumnCount();
}

const CListModel::Cell& CListModel::CellAt(int row, int column) const
{
    static const Cell kEmpty;
    const std::vector<Cell>& cells = m_rows[static_cast<std::size_t>(row)].cells;
    return static_cast<std::size_t>(column) < cells.size() ? cells[static_cast<std::size_t>(column)] : kEmpty;
}

int CListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_nShown;
}

int CListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount();
}

QVariant CListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_nShown || !IsCell(index.row(), index.column()))
        return {};
    return CellData(index.row(), index.column(), role);
}

QVariant CListModel::CellData(int row, int column, int role) const
{
    const Cell& cell = CellAt(row, column);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        // Names show as they are, whatever they spell; the program's own
        // fixed texts are kept as ids.
        return cell.textId != 0 ? QString::fromStdString(LoadLanguageString(cell.textId)) : cell.text;
    case Qt::TextAlignmentRole: return QVariant::fromValue(AlignmentOf(Format(column)));
    case Qt::DecorationRole: {
        const int image = m_rows[static_cast<std::size_t>(row)].image;
        return column == 0 && image >= 0 ? QVariant(ListImage(image)) : QVariant();
    }
    case ListRole::Image: return column == 0 ? QVariant(m_rows[static_cast<std::size_t>(row)].image) : QVariant();
    case ListRole::Sort:
        if (cell.textId != 0)
            return QString::fromStdString(LoadLanguageString(cell.textId));
        return cell.value.isValid() ? cell.value : QVariant(cell.text);
    default: return {};
    }
}

QVariant CListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole: return Header(section);
    case Qt::TextAlignmentRole: return QVariant::fromValue(AlignmentOf(Format(section)));
    default: return {};
    }
}
