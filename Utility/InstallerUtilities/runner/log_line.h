// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

// The local time of a moment as the C runtime computes it (TZ, when set,
// overrides the system's zone); nothing for a moment the runtime's formatter
// cannot show: before 1970 or after 3001-01-01 07:59:59 UTC.
std::optional<std::tm> LocalTimeOf(std::int64_t secondsSince1970);

// "Www Mmm DD hh:mm:ss YYYY": always 24 characters, English names, two-digit day.
std::wstring FormatTimestamp(const std::tm& localTime);

// One log line, ending in a line feed: "<timestamp>: <message>\n", or
// " <message>\n" when there is no time to show.
std::wstring FormatLogLine(const std::optional<std::tm>& localTime, std::wstring_view message);
