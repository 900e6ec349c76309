#include "window/search/FoundFilesModel.h"

#include "download/Mp3Head.h"
#include "library/TrackTags.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"
#include "settings/LanguagePack.h"

#include <cmath>

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

void CFoundFilesModel::SetHead(int row, std::uint64_t size, const Mp3Head& head)
{
    if (!IsCell(row, Sources) || !head.known)
        return;
    if (head.mp3) {
        const int seconds = static_cast<int>(std::lround(head.seconds));
        if (head.bitrate > 0)
            SetCell(row, Bitrate, QString::fromStdString(FormatBitrate(head.bitrate)), head.bitrate);
        if (head.seconds > 0)
            SetCell(row, Length, QString::fromStdString(FormatLength(seconds)), seconds);
        SetCell(row, Title, QString::fromStdString(head.title), {});
        SetCell(row, Artist, QString::fromStdString(head.artist), {});
    }
    // Only audio counts as the same file elsewhere: two addresses that give
    // the same error page are not mirrors of anything.
    if (!head.mp3 || head.fingerprint.empty() || CellAt(row, Sources).value.isValid())
        return;
    const std::string key = std::to_string(size) + ':' + head.fingerprint;
    SetCell(row, Sources, QString(), QString::fromStdString(key));
    std::vector<int>& rows = m_rowsOfFile[key];
    rows.push_back(row);
    for (const int same : rows)
        Changed(same, Sources);
}

const std::vector<int>* CFoundFilesModel::RowsOfSameFile(int row) const
{
    if (!IsCell(row, Sources))
        return nullptr;
    const QVariant key = CellAt(row, Sources).value;
    if (!key.isValid())
        return nullptr;
    const auto found = m_rowsOfFile.find(key.toString().toStdString());
    return found != m_rowsOfFile.end() ? &found->second : nullptr;
}

std::vector<std::string> CFoundFilesModel::SourcesOf(int row) const
{
    std::vector<std::string> urls;
    if (!IsCell(row, Url))
        return urls;
    urls.push_back(CellAt(row, Url).text.toStdString());
    if (const std::vector<int>* rows = RowsOfSameFile(row)) {
        for (const int same : *rows) {
            const std::string url = CellAt(same, Url).text.toStdString();
            if (same != row && std::find(urls.begin(), urls.end(), url) == urls.end())
                urls.push_back(url);
        }
    }
    return urls;
}

void CFoundFilesModel::RowsMoved()
{
    m_rowsOfFile.clear();
    for (int row = 0; row < Count(); ++row) {
        const QVariant key = CellAt(row, Sources).value;
        if (key.isValid())
            m_rowsOfFile[key.toString().toStdString()].push_back(row);
    }
}

QVariant CFoundFilesModel::CellData(int row, int column, int role) const
{
    // Only the roles that show the sources look them up: a view asks each
    // cell for many more while it paints.
    const bool sourcesRole = role == Qt::DisplayRole || role == Qt::AccessibleTextRole || role == ListRole::Sort;
    if ((column == Sources && sourcesRole) || role == Qt::ToolTipRole) {
        const std::vector<std::string> urls = SourcesOf(row);
        const int count = RowsOfSameFile(row) != nullptr ? static_cast<int>(urls.size()) : 0;
        switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            if (column == Sources)
                return count > 0 ? QString::number(count) : QString();
            break;
        case ListRole::Sort:
            if (column == Sources)
                return count;
            break;
        case Qt::ToolTipRole: {
            if (count < 2)
                return {};
            QString tip = QString::fromStdString(
                AfxFormatString1(LoadLanguageString(IDS_SOURCES_TIP), std::to_string(count)));
            for (const std::string& url : urls)
                tip += QLatin1Char('\n') + QString::fromStdString(url);
            return tip;
        }
        default: break;
        }
    }
    if (role == ListRole::Length && column == Length)
        return CellAt(row, Length).value;
    if (role == ListRole::Bitrate && column == Bitrate)
        return CellAt(row, Bitrate).value;
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
