#pragma once

#include "window/ListModel.h"

#include <cstdint>
#include <optional>
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

    // What a row's Remaining Time and Transfer Rate say: the worker's numbers
    // and the row's state, formatted in data() in the language in force, so
    // that a change of language draws them again in the new one.
    struct Figures {
        enum class State { Transferring, Queued, Paused, Retrying, Failed };
        State state = State::Transferring;
        std::optional<double> rate;  // bytes per second; none shows "0"
        // The time left and the counts its text names; none shows "0".
        std::optional<std::uint64_t> secondsLeft;
        std::uint64_t received = 0;
        std::uint64_t length = 0;
        // Failed: what went wrong. Retrying: the worker's own text, shown
        // until the countdown has a number of seconds.
        std::string text;
        std::optional<std::uint64_t> retrySeconds;
        int retryTry = 0;
        int retryOf = 0;
        std::string retryCause;
        bool operator==(const Figures&) const = default;
    };

    struct Download {
        int slot = -1;
        std::string fileName;
        std::string size;  // as the found-files list showed it
        std::int64_t received = 0;
        std::int64_t range = kDefaultRange;
        Figures figures;
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

    // --- the figures of a row (no such row: nothing happens, and default figures)
    Figures FiguresOf(int row) const;
    void SetRate(int row, double bytesPerSecond);
    // A transferring row's time left; its state is Transferring from now on.
    void SetTimeLeft(int row, std::uint64_t seconds, std::uint64_t received, std::uint64_t length);
    // Queued and Paused show their state's text, Transferring starts again
    // from "0"; the figures so far are dropped. Paused, Retrying and Failed
    // rows show no rate.
    void SetState(int row, Figures::State state);
    void SetFailed(int row, const std::string& text);
    void SetRetrying(int row, const std::string& text, int nextTry, int of, const std::string& cause);
    void SetRetrySeconds(int row, std::uint64_t seconds);

protected:
    QVariant CellData(int row, int column, int role) const override;
    void RowsMoved() override;

private:
    void SetFigures(int row, const Figures& figures);
    QString TimeLeftText(const Figures& figures) const;
    QString RateText(const Figures& figures) const;

    std::unordered_map<int, int> m_rowOfSlot;
};

Q_DECLARE_METATYPE(CDownloadsModel::Figures)
