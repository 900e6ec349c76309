#pragma once

#include <cstdint>
#include <optional>
#include <string>

// How far a download has come, how fast it goes and how long it still needs,
// computed after every block and turned into the download row's texts.
// Counts are 64-bit: files beyond 4 GB are ordinary.
struct TransferFigures {
    std::uint64_t nStartTick = 0;        // milliseconds, when reading started
    std::uint64_t nLastReportTick = 0;   // when rate and time left were last sent
    std::uint64_t nReceived = 0;
    std::uint64_t nResumedFrom = 0;      // bytes a part file held when reading started
    std::uint64_t nReceivedAtLastReport = 0;
    int nLastPercent = 0;
    bool bLengthKnown = false;
    std::uint64_t nLength = 0;
};

// What ReportProgress asks the download to send, in this order.
struct FigureMessages {
    std::optional<std::uint64_t> progress;  // WM_DOWNLOAD_PROGRESS: bytes received
    std::optional<std::string> rate;        // WM_DOWNLOAD_RATE
    std::optional<std::string> timeLeft;    // WM_DOWNLOAD_TIME_LEFT
};

// After each block: a progress message once per whole percent, and rate and
// time left when more than a second has passed since the last report. `now`
// is the tick count in milliseconds. Updates the report fields of `figures`.
FigureMessages ReportProgress(TransferFigures& figures, std::uint64_t now);

// The display texts in the language in force (English without a language file).
std::string FormatRateText(double bytesPerMs);     // "512 Bytes/Sec", "2.50 KB/Sec"
std::string FormatSizeText(std::uint64_t bytes);   // "1023 Bytes", "1.0 KB", "1.00 MB"
std::string FormatTimeText(std::uint64_t seconds); // "59 sec", "1 min", "1 min 1 sec"
// "2 min 5 sec (1.50 MB of 3.20 MB copied)"
std::string FormatTimeLeftText(std::uint64_t seconds, std::uint64_t received, std::uint64_t length);

// GetTickCount: milliseconds of a steady clock.
std::uint64_t TickCount();
