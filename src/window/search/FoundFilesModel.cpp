#include "window/search/FoundFilesModel.h"

#include "download/Mp3Head.h"
#include "library/TrackTags.h"
#include "resources/Resource.h"
#include "resources/StringTable.h"
#include "settings/LanguagePack.h"

#include <cmath>

namespace {

// Tags come from anyone's files: a title in another script or with
// direction marks of its own keeps them inside its cell.
QString Isolated(const std::string& text)
{
    if (text.empty())
        return {};
    return QChar(0x2068) + QString::fromStdString(text) + QChar(0x2069);
}

}  // namespace

CFoundFilesModel::CFoundFilesModel(QObject* parent)
    : CListModel(parent)
{
}

int CFoundFilesModel::AddFile(FoundFile file)
{
    const int image = file.image;
    m_files.push_back(std::move(file));
    const int row = InsertRow(Count(), 0, image, {});
    return row;
}

const FoundFile* CFoundFilesModel::File(int row) const
{
    return row >= 0 && static_cast<std::size_t>(row) < m_files.size() ? &m_files[static_cast<std::size_t>(row)]
                                                                      : nullptr;
}

void CFoundFilesModel::SetSize(int row, std::uint64_t size)
{
    if (File(row) == nullptr)
        return;
    m_files[static_cast<std::size_t>(row)].size = size;
    Changed(row, Size);
}

std::int64_t CFoundFilesModel::SizeOf(int row) const
{
    const FoundFile* file = File(row);
    return file != nullptr && file->size ? static_cast<std::int64_t>(*file->size) : -1;
}

void CFoundFilesModel::SetProbeStatus(int row, unsigned textId, const std::string& text, bool final)
{
    if (File(row) == nullptr)
        return;
    FoundFile& file = m_files[static_cast<std::size_t>(row)];
    file.probeTextId = textId;
    file.probeInfo = textId != 0 ? text : std::string();
    file.probeText = textId != 0 ? std::string() : text;
    file.probeEnded = file.probeEnded || final;
    Changed(row, Status);
    Changed(row, Size);
}

void CFoundFilesModel::SetState(int row, unsigned stateId)
{
    if (File(row) == nullptr || m_files[static_cast<std::size_t>(row)].state == stateId)
        return;
    m_files[static_cast<std::size_t>(row)].state = stateId;
    Changed(row, Status);
}

unsigned CFoundFilesModel::StateOf(int row) const
{
    const FoundFile* file = File(row);
    return file != nullptr ? file->state : 0;
}

void CFoundFilesModel::SetHead(int row, std::optional<std::uint64_t> size, const Mp3Head& head)
{
    if (File(row) == nullptr || !head.known)
        return;
    FoundFile& file = m_files[static_cast<std::size_t>(row)];
    if (head.mp3) {
        if (head.bitrate > 0)
            file.bitrate = head.bitrate;
        if (head.seconds > 0)
            file.seconds = static_cast<int>(std::lround(head.seconds));
        file.title = head.title;
        file.artist = head.artist;
        Changed(row, Bitrate);
        Changed(row, Artist);
    }
    // Only audio counts as the same file elsewhere: two addresses that give
    // the same error page are not mirrors of anything.
    if (!head.mp3 || !size || head.fingerprint.empty() || !file.mirrorKey.empty())
        return;
    file.mirrorKey = std::to_string(*size) + ':' + head.fingerprint;
    SameFile& same = m_sameFiles[file.mirrorKey];
    same.rows.push_back(row);
    ++same.urls[file.url];
    for (const int other : same.rows)
        Changed(other, Sources);
}

const CFoundFilesModel::SameFile* CFoundFilesModel::SameFileOf(int row) const
{
    const FoundFile* file = File(row);
    if (file == nullptr || file->mirrorKey.empty())
        return nullptr;
    const auto found = m_sameFiles.find(file->mirrorKey);
    return found != m_sameFiles.end() ? &found->second : nullptr;
}

std::vector<std::string> CFoundFilesModel::SourcesOf(int row) const
{
    std::vector<std::string> urls;
    const FoundFile* file = File(row);
    if (file == nullptr)
        return urls;
    urls.push_back(file->url);
    if (const SameFile* same = SameFileOf(row)) {
        for (const int other : same->rows) {
            const std::string& url = m_files[static_cast<std::size_t>(other)].url;
            if (std::find(urls.begin(), urls.end(), url) == urls.end())
                urls.push_back(url);
        }
    }
    return urls;
}

int CFoundFilesModel::SourceCount(int row) const
{
    const SameFile* same = SameFileOf(row);
    return same != nullptr ? static_cast<int>(same->urls.size()) : 0;
}

void CFoundFilesModel::RowsRemoved(int row, int count)
{
    m_files.erase(m_files.begin() + row, m_files.begin() + row + count);
    // Rows go only all at once (a new search); anything else renumbers them.
    m_sameFiles.clear();
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        FoundFile& file = m_files[i];
        if (file.mirrorKey.empty())
            continue;
        SameFile& same = m_sameFiles[file.mirrorKey];
        same.rows.push_back(static_cast<int>(i));
        ++same.urls[file.url];
    }
}

QString CFoundFilesModel::ProbeText(const FoundFile& file)
{
    if (file.probeTextId != 0)
        return QString::fromStdString(AfxFormatString1(LoadLanguageString(file.probeTextId), file.probeInfo));
    return QString::fromStdString(file.probeText);
}

QString CFoundFilesModel::StatusText(const FoundFile& file) const
{
    if (file.state != 0)
        return QString::fromStdString(LoadLanguageString(file.state));
    return ProbeText(file);
}

// The cell's text as it is, before any isolation for display.
QString CFoundFilesModel::ShownText(const FoundFile& file, int column) const
{
    switch (column) {
    case Type: return QStringLiteral("HTTP");
    case Status: return StatusText(file);
    case Name: return QString::fromStdString(file.fileName);
    case Size:
        // "0" while the probe may still find a size; nothing once it cannot.
        if (file.size)
            return QString::number(*file.size);
        return file.probeEnded ? QString() : QStringLiteral("0");
    case Url: return QString::fromStdString(file.url);
    case Bitrate: return file.bitrate > 0 ? QString::fromStdString(FormatBitrate(file.bitrate)) : QString();
    case Length: return file.seconds > 0 ? QString::fromStdString(FormatLength(file.seconds)) : QString();
    case Title: return QString::fromStdString(file.title);
    case Artist: return QString::fromStdString(file.artist);
    case Sources: {
        const int count = SourceCount(static_cast<int>(&file - m_files.data()));
        return count > 0 ? QString::number(count) : QString();
    }
    default: return {};
    }
}

QVariant CFoundFilesModel::CellData(int row, int column, int role) const
{
    const FoundFile* file = File(row);
    if (file == nullptr)
        return CListModel::CellData(row, column, role);
    switch (role) {
    case Qt::DisplayRole:
        if (column == Title)
            return Isolated(file->title);
        if (column == Artist)
            return Isolated(file->artist);
        return ShownText(*file, column);
    case Qt::AccessibleTextRole: return ShownText(*file, column);
    case Qt::ToolTipRole: {
        const int count = SourceCount(row);
        if (count < 2)
            return {};
        QString tip =
            QString::fromStdString(AfxFormatString1(LoadLanguageString(IDS_SOURCES_TIP), std::to_string(count)));
        for (const std::string& url : SourcesOf(row))
            tip += QLatin1Char('\n') + QString::fromStdString(url);
        return tip;
    }
    case ListRole::Sort:
        switch (column) {
        case Size: return QVariant::fromValue(static_cast<qint64>(SizeOf(row)));
        case Bitrate: return file->bitrate;
        case Length: return file->seconds;
        case Sources: return SourceCount(row);
        default: return ShownText(*file, column);
        }
    case ListRole::Size: return column == Size ? QVariant::fromValue(static_cast<qint64>(SizeOf(row))) : QVariant();
    case ListRole::Length: return column == Length && file->seconds > 0 ? QVariant(file->seconds) : QVariant();
    case ListRole::Bitrate: return column == Bitrate && file->bitrate > 0 ? QVariant(file->bitrate) : QVariant();
    case ListRole::State: return column == Status ? QVariant(file->state) : QVariant();
    case ListRole::Status:
        return column == Status ? QVariant(ProbeText(*file)) : QVariant();
    default: return CListModel::CellData(row, column, role);
    }
}
