#pragma once

#include "window/ListModel.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

struct Mp3Head;

// The found files of one search. A row's index is its number in the
// search: probes and downloads name their row by it, whatever order a
// sorted view shows the rows in.
//
// Rows whose files have the same size and the same first bytes are one file
// at several addresses: each such row counts them in its Sources column,
// lists them in its tooltip, and a download of it can go on from another.
class CFoundFilesModel final : public CListModel {
    Q_OBJECT
public:
    enum Column { Type, Status, Name, Size, Url, Bitrate, Length, Title, Artist, Sources };

    explicit CFoundFilesModel(QObject* parent = nullptr);

    // The size a probe found: shown in bytes, sorted as a number.
    void SetSize(int row, std::uint64_t size);
    std::int64_t SizeOf(int row) const;  // -1 while unknown
    // The probe's own text, shown unless the row's state says more.
    void SetProbeStatus(int row, const std::string& text);
    QString ProbeStatus(int row) const;
    // What the library or the download list says of the row (a string id),
    // 0 for nothing.
    void SetState(int row, unsigned stateId);
    unsigned StateOf(int row) const;
    // What the probe read from the file's first bytes, with its size.
    void SetHead(int row, std::uint64_t size, const Mp3Head& head);
    // The addresses of the row's file, the row's own first; just its own
    // while no other row is known to hold the same file.
    std::vector<std::string> SourcesOf(int row) const;

protected:
    QVariant CellData(int row, int column, int role) const override;
    void RowsMoved() override;

private:
    // The rows of each file known by its size and head, in the order found.
    std::unordered_map<std::string, std::vector<int>> m_rowsOfFile;
    const std::vector<int>* RowsOfSameFile(int row) const;
};
