#include "window/download/DownloadsModel.h"

#include "download/DownloadSlot.h"
#include "download/TransferFigures.h"
#include "platform/MulDiv.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"
#include "settings/LanguagePack.h"

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
                              {download.fileName, download.size, std::to_string(download.received), {}, {}, {},
                               std::to_string(download.slot), download.source});
    Row& entry = m_rows[static_cast<std::size_t>(row)];
    // The figures live in the Remaining Time cell, so they move with the row.
    entry.cells[TimeLeft].value = QVariant::fromValue(download.figures);
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

CDownloadsModel::Figures CDownloadsModel::FiguresOf(int row) const
{
    if (!IsCell(row, TimeLeft))
        return {};
    const QVariant& value = CellAt(row, TimeLeft).value;
    return value.canConvert<Figures>() ? value.value<Figures>() : Figures{};
}

void CDownloadsModel::SetFigures(int row, const Figures& figures)
{
    if (!IsCell(row, TimeLeft))
        return;
    SetCell(row, TimeLeft, {}, QVariant::fromValue(figures));
    Changed(row, Rate);
}

void CDownloadsModel::SetRate(int row, double bytesPerSecond)
{
    Figures figures = FiguresOf(row);
    figures.rate = bytesPerSecond;
    SetFigures(row, figures);
}

void CDownloadsModel::SetTimeLeft(int row, std::uint64_t seconds, std::uint64_t received, std::uint64_t length)
{
    Figures figures = FiguresOf(row);
    figures.state = Figures::State::Transferring;
    figures.secondsLeft = seconds;
    figures.received = received;
    figures.length = length;
    SetFigures(row, figures);
}

void CDownloadsModel::SetState(int row, Figures::State state)
{
    Figures figures = FiguresOf(row);
    figures.state = state;
    // A row that waits, or starts again, has no figures until its worker
    // reports: a paused transfer shows no rate, and its time left comes new
    // when it goes on.
    figures.rate.reset();
    figures.secondsLeft.reset();
    SetFigures(row, figures);
}

void CDownloadsModel::SetFailed(int row, const std::string& text)
{
    Figures figures = FiguresOf(row);
    figures.state = Figures::State::Failed;
    figures.text = text;
    SetFigures(row, figures);
}

void CDownloadsModel::SetRetrying(int row, const std::string& text, int nextTry, int of, const std::string& cause)
{
    Figures figures = FiguresOf(row);
    figures.state = Figures::State::Retrying;
    figures.text = text;
    figures.retrySeconds.reset();
    figures.retryTry = nextTry;
    figures.retryOf = of;
    figures.retryCause = cause;
    SetFigures(row, figures);
}

void CDownloadsModel::SetRetrySeconds(int row, std::uint64_t seconds)
{
    Figures figures = FiguresOf(row);
    if (figures.state != Figures::State::Retrying)
        return;
    figures.retrySeconds = seconds;
    SetFigures(row, figures);
}

QString CDownloadsModel::TimeLeftText(const Figures& f) const
{
    switch (f.state) {
    case Figures::State::Queued: return QString::fromStdString(LoadLanguageString(IDS_QUEUED));
    case Figures::State::Paused: return QString::fromStdString(LoadLanguageString(IDS_PAUSED));
    case Figures::State::Failed: return QString::fromStdString(f.text);
    case Figures::State::Retrying:
        if (!f.retrySeconds)
            return QString::fromStdString(f.text);
        return QString::fromStdString(FormatString(LoadLanguageString(IDS_RETRYING),
                                                   {std::to_string(*f.retrySeconds), std::to_string(f.retryTry),
                                                    std::to_string(f.retryOf), f.retryCause}));
    case Figures::State::Transferring: break;
    }
    if (!f.secondsLeft)
        return QStringLiteral("0");
    return QString::fromStdString(FormatTimeLeftText(*f.secondsLeft, f.received, f.length));
}

QString CDownloadsModel::RateText(const Figures& f) const
{
    switch (f.state) {
    case Figures::State::Paused:
    case Figures::State::Retrying:
    case Figures::State::Failed: return QString();
    case Figures::State::Queued:
    case Figures::State::Transferring: break;
    }
    return f.rate ? QString::fromStdString(FormatRateText(*f.rate)) : QStringLiteral("0");
}

QVariant CDownloadsModel::CellData(int row, int column, int role) const
{
    // Remaining Time and Transfer Rate are formatted from the row's figures
    // (a cell given a text of its own shows that text).
    if ((column == TimeLeft || column == Rate) && CellAt(row, TimeLeft).value.canConvert<Figures>()) {
        const Figures figures = FiguresOf(row);
        switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
        case ListRole::Sort:
            return column == TimeLeft ? TimeLeftText(figures) : RateText(figures);
        case ListRole::State:
            if (column == TimeLeft && figures.state == Figures::State::Queued)
                return static_cast<unsigned>(IDS_QUEUED);
            if (column == TimeLeft && figures.state == Figures::State::Paused)
                return static_cast<unsigned>(IDS_PAUSED);
            return 0u;
        default: break;
        }
    }

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
