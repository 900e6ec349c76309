#include "download/TransferFigures.h"

#include "resources/Resource.h"
#include "resources/StringTable.h"
#include "settings/LanguagePack.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

// `value` with `decimals` places and the decimal separator of the language
// in force; no group separators, as the texts always were.
std::string Decimal(double value, int decimals)
{
    QLocale locale = NumberLocale(GetLanguage());
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', decimals).toStdString();
}

// A huge length with a trickling server gives more seconds than any integer
// holds; converting that would be undefined, so the estimate stops at a
// bound far beyond anything that matters (about 31,000 years).
std::uint64_t SecondsFromDouble(double seconds)
{
    constexpr double kMaxSeconds = 1e12;
    if (!(seconds > 0))
        return 0;
    return static_cast<std::uint64_t>(std::min(seconds, kMaxSeconds));
}

}  // namespace

FigureMessages ReportProgress(TransferFigures& f, std::uint64_t now)
{
    FigureMessages out;
    // A length of 0 with a body behind it has no percentage to show.
    if (f.bLengthKnown && f.nLength > 0) {
        // More bytes than announced stay at 100: the conversion to int is
        // only defined for what fits.
        const double share = static_cast<double>(f.nReceived) * 100.0 / static_cast<double>(f.nLength);
        const int percent = static_cast<int>(std::min(share, 100.0));
        if (percent != f.nLastPercent) {
            out.progress = f.nReceived;
            f.nLastPercent = percent;
        }
    }
    const std::uint64_t elapsed = now - f.nLastReportTick;
    if (now > f.nLastReportTick && elapsed > 1000) {
        const std::uint64_t gained = f.nReceived > f.nReceivedAtLastReport ? f.nReceived - f.nReceivedAtLastReport : 0;
        const double rate = static_cast<double>(gained) * 1000.0 / static_cast<double>(elapsed);
        out.rate = rate;
        f.nLastReportTick = now;
        f.nReceivedAtLastReport = f.nReceived;
        // The average starts from this run's pace so far (bytes a part file
        // already held took no time now); from then on each span moves it
        // by its share of the time constant, so a slow start or a burst
        // fades within seconds.
        if (!f.bAverageKnown) {
            if (f.nReceived > f.nResumedFrom && now > f.nStartTick) {
                f.fAverageRate = static_cast<double>(f.nReceived - f.nResumedFrom) * 1000.0 /
                                 static_cast<double>(now - f.nStartTick);
                f.bAverageKnown = true;
            }
        } else {
            const double weight = 1.0 - std::exp(-static_cast<double>(elapsed) / kRateTimeConstantMs);
            f.fAverageRate += weight * (rate - f.fAverageRate);
        }
        if (f.bLengthKnown && f.bAverageKnown) {
            // More bytes than announced leave nothing to wait for.
            const std::uint64_t remaining = f.nLength > f.nReceived ? f.nLength - f.nReceived : 0;
            const double seconds = remaining == 0 ? 0.0 : static_cast<double>(remaining) / f.fAverageRate;
            out.timeLeft = TimeLeftFigures{SecondsFromDouble(seconds), f.nReceived, f.nLength};
        }
    }
    return out;
}

void SkipStoppedTime(TransferFigures& f, std::uint64_t ms)
{
    f.nStartTick += ms;
    f.nLastReportTick += ms;
}

QLocale NumberLocale(std::string_view language)
{
    // Arabic's texts write Western digits, and with those the period is the
    // decimal separator; QLocale's Arabic would bring its own digits.
    if (language == "French")
        return QLocale(QLocale::French, QLocale::France);
    if (language == "German")
        return QLocale(QLocale::German, QLocale::Germany);
    return QLocale::c();
}

std::string FormatRateText(double bytesPerSecond)
{
    const double x = bytesPerSecond / 1000.0;
    if (x < 1)
        return AfxFormatString1(LoadLanguageString(IDS_BYTES_PER_SEC), Decimal(x * 1024, 0));
    return AfxFormatString1(LoadLanguageString(IDS_KB_PER_SEC), Decimal(x, x < 10 ? 2 : 0));
}

std::string FormatSizeText(std::uint64_t n)
{
    if (n < 1024)
        return AfxFormatString1(LoadLanguageString(IDS_BYTES), std::to_string(n));
    if (n < 1048576)
        return AfxFormatString1(LoadLanguageString(IDS_KILOBYTES), Decimal(static_cast<double>(n) / 1024, 1));
    return AfxFormatString1(LoadLanguageString(IDS_MEGABYTES), Decimal(static_cast<double>(n) / 1048576, 2));
}

std::string FormatTimeText(std::uint64_t s)
{
    if (s < 60)
        return AfxFormatString1(LoadLanguageString(IDS_SECONDS), std::to_string(s));
    if (s % 60 != 0)
        return AfxFormatString2(LoadLanguageString(IDS_MINUTES_SECONDS), std::to_string(s / 60), std::to_string(s % 60));
    return AfxFormatString1(LoadLanguageString(IDS_MINUTES), std::to_string(s / 60));
}

std::string FormatTimeLeftText(std::uint64_t seconds, std::uint64_t received, std::uint64_t length)
{
    const std::string ofText = LoadLanguageString(IDS_OF);
    const std::string of =
        AfxFormatString2(ofText, IsolatedFor(ofText, FormatSizeText(received)), IsolatedFor(ofText, FormatSizeText(length)));
    const std::string leftText = LoadLanguageString(IDS_TIME_LEFT);
    return AfxFormatString2(leftText, IsolatedFor(leftText, FormatTimeText(seconds)), of);
}

std::uint64_t TickCount()
{
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
