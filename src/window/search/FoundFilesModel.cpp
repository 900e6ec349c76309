#include "window/search/FoundFilesModel.h"

#include "settings/LanguagePack.h"

CFoundFilesModel::CFoundFilesModel(QObject* parent)
    : CListModel(parent)
{
}

void CFoundFilesModel::SetSize(int row, std::uint64_t size)
{
    SetCell(row, Size, QString::number(size), QVariant::fromValue(static_cast<qint64>(size)));
}

std::int64_t CFoundFilesModel::SizeOf(int row) const
{
    if (!IsCell(row, Size))
        return -1;
    const QVariant value = CellAt(row, Size).value;
    return value.isValid() ? value.toLongLong() : -1;
}

// The Status cell keeps the probe's text and the state's id side by side;
// what it shows follows from both (and from the language in force).
void CFoundFilesModel::SetProbeStatus(int row, const std::string& text)
{
    if (IsCell(row, Status))
        SetCell(row, Status, QString::fromStdString(text), CellAt(row, Status).value);
}

QString CFoundFilesModel::ProbeStatus(int row) const
{
    return IsCell(row, Status) ? CellAt(row, Status).text : QString();
}

void CFoundFilesModel::SetState(int row, unsigned stateId)
{
    if (IsCell(row, Status))
        SetCell(row, Status, CellAt(row, Status).text, stateId != 0 ? QVariant(stateId) : QVariant());
}

unsigned CFoundFilesModel::StateOf(int row) const
{
    return IsCell(row, Status) ? CellAt(row, Status).value.toUInt() : 0;
}

QVariant CFoundFilesModel::CellData(int row, int column, int role) const
{
    if (column == Status) {
        const unsigned state = StateOf(row);
        switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
        case ListRole::Sort:
            return state != 0 ? QString::fromStdString(LoadLanguageString(state)) : ShownText(ProbeStatus(row));
        case ListRole::State: return state;
        case ListRole::Status: return ProbeStatus(row);
        default: break;
        }
    } else if (column == Size && role == ListRole::Size) {
        return QVariant::fromValue(static_cast<qint64>(SizeOf(row)));
    }
    return CListModel::CellData(row, column, role);
}
