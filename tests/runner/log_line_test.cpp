// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>

#include "log_line.h"
#include "scoped_state.h"

namespace {

std::tm Moment(int year, int month, int day, int hour, int minute, int second, int weekday)
{
    std::tm t = {};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_wday = weekday;
    return t;
}

// Pins the C runtime's zone for the duration of a test.
class FixedZone {
public:
    explicit FixedZone(const wchar_t* zone) : zone_(std::in_place, L"TZ", zone) { _tzset(); }
    FixedZone(const FixedZone&) = delete;
    FixedZone& operator=(const FixedZone&) = delete;
    ~FixedZone()
    {
        zone_.reset();
        _tzset();
    }

private:
    std::optional<ScopedEnvironmentVariable> zone_;
};

}  // namespace

TEST(LogLine, TimestampHasTheFixedTwentyFourCharacterLayout)
{
    const struct {
        std::tm moment;
        const wchar_t* text;
    } cases[] = {
        {.moment = Moment(2017, 1, 5, 9, 7, 3, 4), .text = L"Thu Jan 05 09:07:03 2017"},
        // Midnight.
        {.moment = Moment(2026, 12, 8, 0, 0, 0, 2), .text = L"Tue Dec 08 00:00:00 2026"},
        {.moment = Moment(1970, 1, 1, 0, 0, 0, 4), .text = L"Thu Jan 01 00:00:00 1970"},
        {.moment = Moment(2000, 2, 29, 23, 59, 59, 2), .text = L"Tue Feb 29 23:59:59 2000"},
        {.moment = Moment(2024, 6, 30, 12, 30, 45, 0), .text = L"Sun Jun 30 12:30:45 2024"},
        {.moment = Moment(3000, 12, 31, 23, 59, 59, 3), .text = L"Wed Dec 31 23:59:59 3000"},
        {.moment = Moment(2019, 3, 9, 7, 5, 1, 6), .text = L"Sat Mar 09 07:05:01 2019"},
    };
    for (const auto& c : cases) {
        const std::wstring text = FormatTimestamp(c.moment);
        EXPECT_EQ(c.text, text);
        EXPECT_EQ(24u, text.size());
    }
}

TEST(LogLine, LineIsTimestampColonSpaceMessageLineFeed)
{
    const std::tm moment = Moment(2017, 1, 5, 9, 7, 3, 4);
    const struct {
        std::optional<std::tm> localTime = std::nullopt;  // none: a clock the formatter cannot show
        const wchar_t* message;
        const wchar_t* line;
    } cases[] = {
        {.localTime = moment,
         .message = L"Exit code for Visual C++ Redistributable for Visual Studio 2013: 0",
         .line = L"Thu Jan 05 09:07:03 2017: Exit code for Visual C++ Redistributable for Visual "
                 L"Studio 2013: 0\n"},
        {.localTime = moment, .message = L"", .line = L"Thu Jan 05 09:07:03 2017: \n"},
        {.message = L"Error: x", .line = L" Error: x\n"},
        {.message = L"", .line = L" \n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.line, FormatLogLine(c.localTime, c.message));
}

TEST(LogLine, LocalTimeFollowsTheTimeZoneVariableWithinTheFormattersRange)
{
    const struct {
        const wchar_t* zone;
        std::int64_t seconds;
        const wchar_t* text = nullptr;  // none: outside the formatter's range, no time at all
    } cases[] = {
        {.zone = L"UTC0", .seconds = 0, .text = L"Thu Jan 01 00:00:00 1970"},
        {.zone = L"UTC0", .seconds = 1483607223, .text = L"Thu Jan 05 09:07:03 2017"},
        {.zone = L"XXX-5", .seconds = 1483607223, .text = L"Thu Jan 05 14:07:03 2017"},
        {.zone = L"YYY10", .seconds = 1483607223, .text = L"Wed Jan 04 23:07:03 2017"},
        {.zone = L"UTC0", .seconds = 32503680000, .text = L"Wed Jan 01 00:00:00 3000"},
        // The last second shown, and the first past a 32-bit clock.
        {.zone = L"UTC0", .seconds = 32535244799, .text = L"Thu Jan 01 07:59:59 3001"},
        {.zone = L"UTC0", .seconds = 2147483648, .text = L"Tue Jan 19 03:14:08 2038"},
        {.zone = L"UTC0", .seconds = -1},
        {.zone = L"UTC0", .seconds = -86400},
        {.zone = L"UTC0", .seconds = 32535244800},
        {.zone = L"UTC0", .seconds = std::int64_t{1} << 40},
    };
    for (const auto& c : cases) {
        const FixedZone zone(c.zone);
        const std::optional<std::tm> local = LocalTimeOf(c.seconds);
        EXPECT_EQ(c.text != nullptr, local.has_value()) << c.seconds;
        if (local && c.text != nullptr)
            EXPECT_EQ(c.text, FormatTimestamp(*local)) << c.zone;
    }
}
