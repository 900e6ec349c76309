#pragma once

#include "window/ListModel.h"

#include <cstdint>
#include <string>
#include <unordered_map>

// The download list: one row per download slot in use, in the order the
// downloads were started (the queue starts them in that order).
class CDownloadsModel final : public CListModel {
    Q_OBJECT
public:
    enum Column { FileName, FileSize, Received, Progress, TimeLeft, Rate, Id, Source };

    // The bar of a download whose size is not known yet spans this many bytes.
    static constexpr std::int64_t kDefaultRange = 100;

    explicit CDownloadsModel(QObject* parent = nullptr);

    struct Download {
        int slot = -1;
        std::string fileName;
        std::string size;  // as the found-files list showed it
        std::int64_t received = 0;
        std::int64_t range = kDefaultRange;
        std::string timeLeft = "0";
        std::string rate = "0";
        std::string source;  // the server the bytes come from
    };
    // Adds a row at the end; returns its index.
    int AddDownload(const Download& download);

    int RowOfSlot(int slot) const;  // -1 when no row has it
    int SlotOf(int row) const;      // -1 for no such row
    void SetSize(int row, std::uint64_t length);
    void SetReceived(int row, std::int64_t received);
    std::int64_t ReceivedOf(int row) const;
    // Bytes the row's bar spans; none for a row whose slot names no slot.
    std::optional<std::int64_t> RangeOf(int row) const;

protected:
    QVariant CellData(int row, int column, int role) const override;
    void RowsMoved() override;

private:
    std::unordered_map<int, int> m_rowOfSlot;
};
