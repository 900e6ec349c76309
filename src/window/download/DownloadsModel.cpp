#include "window/download/DownloadsModel.h"

#include "download/DownloadSlot.h"
#include "platform/MulDiv.h"

namespace {

// Slots the list can name: twice the table, as the list always allowed.
constexpr int kRangeSlots = 2 * kDownloadSlots;

}  // namespace

CDownloadsModel::CDownloadsModel(QObject* parent)
    : CListModel(parent)
{
}

int CDownloadsModel::AddDownload(const Download& download)
{
    const int row = InsertRow(Count(), 8, 0,
                              {download.fileName, download.size, std::to_string(download.received), {},
                               download.timeLeft, download.rate, std::to_string(download.slot), download.source});
    Row& entry = m_rows[static_cast<std::size_t>(row)];
    entry.cells[Id].value = download.slot;
    entry.cells[Received].value = QVariant::fromValue(static_cast<qint64>(download.received));
    entry.cells[Progress].value = QVariant::fromValue(static_cast<qint64>(download.range));
    if (download.slot >= 0)
        m_rowOfSlot.emplace(download.slot, row);
    return row;
}

int CDownloadsModel::RowOfSlot(int slot) const
{
    const auto found = m_rowOfSlot.find(slot);
    return found != m_rowOfSlot.end() ? found->second : -1;
}

int CDownloadsModel::SlotOf(int row) const
{
    return IsCell(row, Id) && CellAt(row, Id).value.isValid() ? CellAt(row, Id).value.toInt() : -1;
}

void CDownloadsModel::SetSize(int row, std::uint64_t length)
{
    if (!IsCell(row, FileSize))
        return;
    SetCell(row, FileSize, QString::number(length), QVariant::fromValue(static_cast<qint64>(length)));
    // The bar spans the whole file from now on.
    SetCell(row, Progress, {}, QVariant::fromValue(static_cast<qint64>(length)));
}

void CDownloadsModel::SetReceived(int row, std::int64_t received)
{
    if (!IsCell(row, Received))
        return;
    SetCell(row, Received, QString::number(received), QVariant::fromValue(static_cast<qint64>(received)));
    Changed(row, Progress);
}

std::int64_t CDownloadsModel::ReceivedOf(int row) const
{
    return IsCell(row, Received) ? CellAt(row, Received).value.toLongLong() : 0;
}

std::optional<std::int64_t> CDownloadsModel::RangeOf(int row) const
{
    const int slot = SlotOf(row);
    if (slot < 0 || slot >= kRangeSlots)
        return std::nullopt;
    return CellAt(row, Progress).value.toLongLong();
}

QVariant CDownloadsModel::CellData(int row, int column, int role) const
{
    switch (role) {
    case ListRole::Slot: return SlotOf(row);
    case ListRole::Received: return QVariant::fromValue(static_cast<qint64>(ReceivedOf(row)));
    case ListRole::Size: return column == FileSize ? CellAt(row, FileSize).value : QVariant();
    default: break;
    }
    if (column != Progress)
        return CListModel::CellData(row, column, role);
    const std::optional<std::int64_t> range = RangeOf(row);
    switch (role) {
    case ListRole::Range: return range ? QVariant::fromValue(static_cast<qint64>(*range)) : QVariant();
    case ListRole::Percent:
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole: {
        if (!range)
            return QVariant();
        const auto percent = static_cast<int>(MulDiv64(100, ReceivedOf(row), *range));
        if (role == ListRole::Percent)
            return percent;
        return QStringLiteral("%1 %").arg(percent);
    }
    default: return CListModel::CellData(row, column, role);
    }
}

void CDownloadsModel::RowsMoved()
{
    m_rowOfSlot.clear();
    for (int row = 0; row < Count(); ++row) {
        if (const int slot = SlotOf(row); slot >= 0)
            m_rowOfSlot.emplace(slot, row);
    }
}
