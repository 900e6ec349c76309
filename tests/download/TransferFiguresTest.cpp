#include "download/TransferFigures.h"

#include "platform/CRuntime.h"
#include "settings/LanguagePack.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace {

std::string LeftText(const TimeLeftFigures& left)
{
    return FormatTimeLeftText(left.nSeconds, left.nReceived, left.nLength);
}

}  // namespace

TEST(TransferFigures, TextsFollowTheirThresholds)
{
    const struct {
        double rate;
        const char* text;
    } rates[] = {{500, "512 Bytes/Sec"}, {0, "0 Bytes/Sec"}, {999.9, "1024 Bytes/Sec"}, {1000, "1.00 KB/Sec"},
                 {2500, "2.50 KB/Sec"},  {9994, "9.99 KB/Sec"}, {10000, "10 KB/Sec"},  {12600, "13 KB/Sec"},
                 {1500000, "1500 KB/Sec"}};
    for (const auto& c : rates)
        EXPECT_EQ(FormatRateText(c.rate), c.text) << c.rate;

    const struct {
        std::uint64_t bytes;
        const char* text;
    } sizes[] = {{0, "0 Bytes"},          {1023, "1023 Bytes"},        {1024, "1.0 KB"},
                 {1048575, "1024.0 KB"},  {1048576, "1.00 MB"},        {3355443, "3.20 MB"},
                 {5000000000, "4768.37 MB"}};
    for (const auto& c : sizes)
        EXPECT_EQ(FormatSizeText(c.bytes), c.text) << c.bytes;

    const struct {
        std::uint64_t seconds;
        const char* text;
    } times[] = {{0, "0 sec"}, {59, "59 sec"}, {60, "1 min"}, {61, "1 min 1 sec"}, {125, "2 min 5 sec"}, {7200, "120 min"}};
    for (const auto& c : times)
        EXPECT_EQ(FormatTimeText(c.seconds), c.text) << c.seconds;

    EXPECT_EQ(FormatTimeLeftText(125, 1572864, 3355443), "2 min 5 sec (1.50 MB of 3.20 MB copied)");
}

TEST(TransferFigures, ProgressOncePerPercentRateAndTimeLeftAtMostOnceASecond)
{
    TransferFigures f;
    f.bLengthKnown = true;
    f.nLength = 102400;  // 100 blocks of 1024: one percent each
    f.nStartTick = f.nLastReportTick = 10000;

    int progress = 0;
    int rates = 0;
    std::vector<std::string> timeLeft;
    // One block every 20 ms: 2 seconds in all.
    for (int block = 1; block <= 100; ++block) {
        f.nReceived += 1024;
        const FigureMessages m = ReportProgress(f, 10000 + static_cast<std::uint64_t>(block) * 20);
        progress += m.progress ? 1 : 0;
        rates += m.rate ? 1 : 0;
        if (m.timeLeft)
            timeLeft.push_back(LeftText(*m.timeLeft));
        EXPECT_EQ(m.rate.has_value(), m.timeLeft.has_value());
    }
    EXPECT_EQ(progress, 100);
    // 1000 ms exactly does not report (block 50); block 51 at 1020 ms does.
    EXPECT_EQ(rates, 1);
    ASSERT_EQ(timeLeft.size(), 1u);
    EXPECT_EQ(timeLeft[0], "0 sec (51.0 KB of 100.0 KB copied)");

    // Many small blocks within one percent send one progress message.
    TransferFigures g;
    g.bLengthKnown = true;
    g.nLength = 1000000;
    int sent = 0;
    for (int i = 0; i < 100; ++i) {
        g.nReceived += 100;
        sent += ReportProgress(g, 0).progress ? 1 : 0;
    }
    EXPECT_EQ(sent, 1);
}

TEST(TransferFigures, UnknownOrEmptyLengthsShowOnlyTheRate)
{
    for (const bool known : {false, true}) {
        TransferFigures f;
        f.bLengthKnown = known;
        f.nLength = 0;  // a length of 0 with a body behind it divides by nothing
        f.nReceived = 5000;
        const FigureMessages m = ReportProgress(f, 2001);
        EXPECT_FALSE(m.progress);
        ASSERT_TRUE(m.rate);
        EXPECT_EQ(FormatRateText(*m.rate), "2.50 KB/Sec");
        EXPECT_EQ(m.timeLeft.has_value(), known) << "time left waits for nothing more";
        if (m.timeLeft) {
            EXPECT_EQ(LeftText(*m.timeLeft), "0 sec (4.9 KB of 0 Bytes copied)");
        }
    }
}

// Lengths no file has, from a server that lies: the figures stay defined
// (the sanitizer build checks every conversion) and never go below zero.
TEST(TransferFigures, AbsurdLengthsGiveBoundedFigures)
{
    constexpr std::uint64_t kMax = UINT64_MAX;
    struct Case {
        const char* name;
        std::uint64_t length;
        std::uint64_t received;
        std::uint64_t atLastReport;
        std::uint64_t elapsedMs;
        int percent;            // -1: no progress message
        const char* timeLeft;   // nullptr: none
    } cases[] = {
        // 2^64 bytes announced, one byte in a minute: the estimate is capped.
        {"2^64 trickle", kMax, 1, 0, 60000, -1, "16666666666 min 40 sec (1 Bytes of 17592186044416.00 MB copied)"},
        {"more than announced", 10, kMax, 0, 2000, 100, "0 sec (17592186044416.00 MB of 10 Bytes copied)"},
        {"2^63 exactly", std::uint64_t{1} << 63, std::uint64_t{1} << 62, 0, 2000, 50, "2 sec (4398046511104.00 MB of 8796093022208.00 MB copied)"},
        // A report count ahead of the count received (a restart) is no negative rate.
        {"received went back", 1000, 10, 500, 2000, 1, "3 min 18 sec (10 Bytes of 1000 Bytes copied)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TransferFigures f;
        f.bLengthKnown = true;
        f.nLength = c.length;
        f.nReceived = c.received;
        f.nReceivedAtLastReport = c.atLastReport;
        f.nStartTick = f.nLastReportTick = 1000;
        const FigureMessages m = ReportProgress(f, 1000 + c.elapsedMs);
        EXPECT_EQ(m.progress.has_value(), c.percent >= 0);
        if (c.percent >= 0) {
            EXPECT_EQ(f.nLastPercent, c.percent);
        }
        ASSERT_TRUE(m.rate);
        EXPECT_GE(*m.rate, 0.0);
        ASSERT_EQ(m.timeLeft.has_value(), c.timeLeft != nullptr);
        if (c.timeLeft) {
            EXPECT_EQ(LeftText(*m.timeLeft), c.timeLeft);
        }
    }
}

TEST(TransferFigures, ContentLengthsAboveTheSignedRangeAreUnknown)
{
    const std::pair<const char*, std::optional<std::uint64_t>> cases[] = {
        {"0", 0},
        {" 5000", 5000},
        {"9223372036854775807", INT64_MAX},
        {"9223372036854775808", std::nullopt},
        {"18446744073709551615", std::nullopt},
        {"99999999999999999999999", std::nullopt},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(platform::ParseContentLength(text), expected) << text;
}

TEST(TransferFigures, AResumedTransferCountsTimeLeftByThisRunsPace)
{
    // 50 KiB came from the part file; 10 KiB more in this run's 2 seconds
    // leave 40 KiB, 8 seconds at this pace.
    TransferFigures f;
    f.bLengthKnown = true;
    f.nLength = 100 * 1024;
    f.nResumedFrom = f.nReceived = f.nReceivedAtLastReport = 50 * 1024;
    f.nLastPercent = 50;
    f.nStartTick = f.nLastReportTick = 1000;
    f.nReceived += 10 * 1024;
    const FigureMessages m = ReportProgress(f, 3000);
    ASSERT_TRUE(m.timeLeft);
    EXPECT_EQ(LeftText(*m.timeLeft), "8 sec (60.0 KB of 100.0 KB copied)");
    EXPECT_EQ(m.progress, 60u * 1024);
    EXPECT_EQ(*m.rate, 5120.0);
    EXPECT_EQ(FormatRateText(*m.rate), "5.12 KB/Sec");  // a byte per millisecond reads as a KB per second
}

// The time left follows the recent pace and counts only time spent
// transferring: spans of (milliseconds, bytes), a pause between them where
// `pausedMs` says, against a 1,000,000-byte file.
TEST(TransferFigures, TimeLeftFollowsTheRecentPaceOverTransferTimeOnly)
{
    struct Span {
        std::uint64_t ms;
        std::uint64_t bytes;
        std::uint64_t pausedMs = 0;  // stood still before this span
    };
    struct Case {
        const char* name;
        std::vector<Span> spans;
        std::uint64_t least;  // the last time left, in seconds
        std::uint64_t most;
    };
    const auto repeat = [](std::vector<Span> spans, int times, Span span) {
        for (int i = 0; i < times; ++i)
            spans.push_back(span);
        return spans;
    };
    const Case cases[] = {
        // 200,000 bytes at 20,000 a second leave 40 s.
        {"steady", repeat({}, 5, {2000, 40000}), 40, 40},
        // 600,000 in 20 s is 30,000 a second on the whole (13 s left), but
        // the last 10 s ran at 50,000 (8 s left): the recent pace wins.
        {"faster", repeat(repeat({}, 5, {2000, 20000}), 5, {2000, 100000}), 8, 10},
        // 5 s at 10,000 then 10 s at 2,000 a second: 930,000 left is 465 s
        // at the recent pace, 200 s at the whole run's; the average has
        // gone most of the way.
        {"slower", repeat(repeat({}, 1, {5000, 50000}), 5, {2000, 4000}), 280, 465},
        // A minute's pause after 10 s at 20,000 a second: 760,000 left at
        // that pace is 38 s, not the 228 s the minute would make of it.
        {"paused", repeat(repeat({}, 5, {2000, 40000}), 1, {2000, 40000, 60000}), 38, 38},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TransferFigures f;
        f.bLengthKnown = true;
        f.nLength = 1000000;
        std::uint64_t now = 1000;
        f.nStartTick = f.nLastReportTick = now;
        std::optional<TimeLeftFigures> last;
        for (const Span& span : c.spans) {
            if (span.pausedMs > 0) {
                now += span.pausedMs;
                SkipStoppedTime(f, span.pausedMs);
            }
            now += span.ms;
            f.nReceived += span.bytes;
            const FigureMessages m = ReportProgress(f, now);
            ASSERT_TRUE(m.timeLeft);
            last = m.timeLeft;
        }
        ASSERT_TRUE(last);
        EXPECT_GE(last->nSeconds, c.least);
        EXPECT_LE(last->nSeconds, c.most);
    }
}

// French and German write decimals with a comma; English and Arabic (whose
// texts use Western digits) with a period. Integers never get separators.
TEST(TransferFigures, DecimalsFollowTheLanguageInForce)
{
    const std::string before = GetLanguage();
    const struct {
        const char* language;
        const char* size;
        const char* rate;
        const char* huge;
    } cases[] = {
        {"English", "193.0 KB", "5.85 KB/Sec", "4768.37 MB"},
        {"French", "193,0 KB", "5,85 KB/Sec", "4768,37 MB"},
        {"German", "193,0 KB", "5,85 KB/Sec", "4768,37 MB"},
        {"Arabic", "193.0 KB", "5.85 KB/Sec", "4768.37 MB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        // No language files here: the English templates with the language's numbers.
        SetLanguage(c.language);
        EXPECT_EQ(FormatSizeText(193 * 1024), c.size);
        EXPECT_EQ(FormatRateText(5850), c.rate);
        EXPECT_EQ(FormatRateText(1500000), "1500 KB/Sec");
        EXPECT_EQ(FormatSizeText(5000000000), c.huge);
    }
    SetLanguage(before);
}
