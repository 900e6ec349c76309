#pragma once

#include <QLocale>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// How far a download has come, how fast it goes and how long it still needs,
// computed after every block. The worker sends these as numbers; the window
// and the command-line tool format them with the functions below.
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
    // The rate the time left goes by, in bytes per second: a moving average
    // over time spent transferring, the latest second weighted most.
    double fAverageRate = 0;
    bool bAverageKnown = false;
};

// How long the rest takes at the current pace, and of what.
struct TimeLeftFigures {
    std::uint64_t nSeconds = 0;
    std::uint64_t nReceived = 0;
    std::uint64_t nLength = 0;
};

// What ReportProgress asks the download to send, in this order.
struct FigureMessages {
    std::optional<std::uint64_t> progress;  // WM_DOWNLOAD_PROGRESS: bytes received
    std::optional<double> rate;             // WM_DOWNLOAD_RATE: bytes per second over the last report's span
    std::optional<TimeLeftFigures> timeLeft; // WM_DOWNLOAD_TIME_LEFT
};

// How long the average rate takes to follow a change of pace, in
// milliseconds of transfer: after this long an old rate weighs 1/e.
inline constexpr double kRateTimeConstantMs = 5000;

// After each block: a progress message once per whole percent, and rate and
// time left when more than a second has passed since the last report. `now`
// is the tick count in milliseconds. Updates the report fields of `figures`.
FigureMessages ReportProgress(TransferFigures& figures, std::uint64_t now);

// The transfer stood still (paused) for `ms`: that time counts toward
// neither the rate nor the time left.
void SkipStoppedTime(TransferFigures& figures, std::uint64_t ms);

// The locale whose numbers a language writes: its decimal separator, with
// Western digits. English (and any language Tunorva has no locale for) is C.
QLocale NumberLocale(std::string_view language);

// The display texts in the language in force (English without a language
// file), decimals with that language's separator. The thresholds and units
// are the download list's own: a kilobyte per second is 1000 bytes per
// second ("1.00 KB/Sec"), below it bytes are counted in 1024ths of that.
std::string FormatRateText(double bytesPerSecond); // "512 Bytes/Sec", "2.50 KB/Sec"
std::string FormatSizeText(std::uint64_t bytes);   // "1023 Bytes", "1.0 KB", "1.00 MB"
std::string FormatTimeText(std::uint64_t seconds); // "59 sec", "1 min", "1 min 1 sec"
// "2 min 5 sec (1.50 MB of 3.20 MB copied)"
std::string FormatTimeLeftText(std::uint64_t seconds, std::uint64_t received, std::uint64_t length);

// GetTickCount: milliseconds of a steady clock.
std::uint64_t TickCount();
