#pragma once

#include "window/ListModel.h"

#include <cstdint>
#include <string>
#include <unordered_map>

struct TrackTags;

// The music folder's songs, one row per file, found by the file's name as
// the folder holds it (raw bytes: a name that is not UTF-8 still names its
// file).
class CPlayListModel final : public CListModel {
    Q_OBJECT
public:
    enum Column { Type, FileName, FileSize, Title, Artist, Album, Length, Bitrate };

    explicit CPlayListModel(QObject* parent = nullptr);

    // Writes the file into `row`, or adds it at the end when `row` is the
    // row count; its tags are empty until SetTags.
    void SetFile(int row, const std::string& name, std::uint64_t size);
    void SetTags(int row, const TrackTags& tags);
    std::string FileNameOf(int row) const;
    int RowOfName(const std::string& name) const;  // -1 when no row holds it

protected:
    QVariant CellData(int row, int column, int role) const override;
    void RowsMoved() override;

private:
    std::unordered_map<std::string, int> m_rowOfName;
};
