#include "window/library/PlayListModel.h"

#include "library/TrackTags.h"
#include "resources/Resource.h"

CPlayListModel::CPlayListModel(QObject* parent)
    : CListModel(parent)
{
}

void CPlayListModel::SetFile(int row, const std::string& name, std::uint64_t size)
{
    if (row < 0 || row > Count())
        return;
    if (row == Count()) {
        InsertRow(row, 0, IMG_AUDIO_FILE, {});
        SetTextId(row, Type, IDS_TYPE_AUDIO);
    } else {
        const std::string old = FileNameOf(row);
        if (const auto known = m_rowOfName.find(old); known != m_rowOfName.end() && known->second == row)
            m_rowOfName.erase(known);
        for (int column = Title; column <= Bitrate; ++column)
            SetCell(row, column, {}, {});
    }
    SetCell(row, FileName, QString::fromStdString(name), QByteArray::fromStdString(name));
    SetCell(row, FileSize, QString::number(size), QVariant::fromValue(static_cast<qint64>(size)));
    m_rowOfName[name] = row;
}

void CPlayListModel::SetTags(int row, const TrackTags& tags)
{
    if (!IsCell(row, Bitrate))
        return;
    SetCell(row, Title, QString::fromStdString(tags.title), {});
    SetCell(row, Artist, QString::fromStdString(tags.artist), {});
    SetCell(row, Album, QString::fromStdString(tags.album), {});
    SetCell(row, Length, QString::fromStdString(FormatLength(tags.lengthSeconds)), tags.lengthSeconds);
    SetCell(row, Bitrate, QString::fromStdString(FormatBitrate(tags.bitrateKbps)), tags.bitrateKbps);
}

std::string CPlayListModel::FileNameOf(int row) const
{
    if (!IsCell(row, FileName))
        return {};
    const Cell& cell = CellAt(row, FileName);
    return cell.value.isValid() ? cell.value.toByteArray().toStdString() : cell.text.toStdString();
}

int CPlayListModel::RowOfName(const std::string& name) const
{
    const auto found = m_rowOfName.find(name);
    return found != m_rowOfName.end() ? found->second : -1;
}

QVariant CPlayListModel::CellData(int row, int column, int role) const
{
    switch (role) {
    case ListRole::RawName: return column == FileName ? CellAt(row, FileName).value : QVariant();
    case ListRole::Size: return column == FileSize ? CellAt(row, FileSize).value : QVariant();
    case ListRole::Length: return column == Length ? CellAt(row, Length).value : QVariant();
    case ListRole::Bitrate: return column == Bitrate ? CellAt(row, Bitrate).value : QVariant();
    case ListRole::Sort:
        // Names sort by what they show; the raw bytes are for finding the file.
        if (column == FileName)
            return CellAt(row, FileName).text;
        break;
    default: break;
    }
    return CListModel::CellData(row, column, role);
}

void CPlayListModel::RowsMoved()
{
    m_rowOfName.clear();
    for (int row = 0; row < Count(); ++row)
        m_rowOfName.emplace(FileNameOf(row), row);
}
