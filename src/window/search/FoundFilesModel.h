#pragma once

#include "window/ListModel.h"

#include <cstdint>
#include <string>

// The found files of one search. A row's index is its number in the
// search: probes and downloads name their row by it, whatever order a
// sorted view shows the rows in.
class CFoundFilesModel final : public CListModel {
    Q_OBJECT
public:
    enum Column { Type, Status, Name, Size, Url };

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

protected:
    QVariant CellData(int row, int column, int role) const override;
};
