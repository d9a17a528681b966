// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include "log_line.h"

#include <ctime>

namespace {

constexpr std::int64_t kLatestFormattableTime = 32535244799;

void AppendTwoDigits(std::wstring& text, int value)
{
    text += static_cast<wchar_t>(L'0' + (value / 10 % 10));
    text += static_cast<wchar_t>(L'0' + (value % 10));
}

}  // namespace

std::optional<std::tm> LocalTimeOf(std::int64_t secondsSince1970)
{
    if (secondsSince1970 < 0 || secondsSince1970 > kLatestFormattableTime)
        return std::nullopt;
    const __time64_t moment = secondsSince1970;
    const std::tm* local = _localtime64(&moment);
    // The range above is what _localtime64 converts; only a broken runtime fails it.
    if (local == nullptr)     // GCOVR_EXCL_BR_LINE
        return std::nullopt;  // GCOVR_EXCL_LINE
    return *local;
}

std::wstring FormatTimestamp(const std::tm& localTime)
{
    static constexpr const wchar_t* kDays[] = {L"Sun", L"Mon", L"Tue", L"Wed",
                                               L"Thu", L"Fri", L"Sat"};
    static constexpr const wchar_t* kMonths[] = {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun",
                                                 L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};
    const int year = localTime.tm_year + 1900;

    std::wstring text;
    text.reserve(24);
    text += kDays[localTime.tm_wday % 7];
    text += L' ';
    text += kMonths[localTime.tm_mon % 12];
    text += L' ';
    AppendTwoDigits(text, localTime.tm_mday);
    text += L' ';
    AppendTwoDigits(text, localTime.tm_hour);
    text += L':';
    AppendTwoDigits(text, localTime.tm_min);
    text += L':';
    AppendTwoDigits(text, localTime.tm_sec);
    text += L' ';
    AppendTwoDigits(text, year / 100);
    AppendTwoDigits(text, year % 100);
    return text;
}

std::wstring FormatLogLine(const std::optional<std::tm>& localTime, std::wstring_view message)
{
    std::wstring line;
    if (localTime)
        line = FormatTimestamp(*localTime) + L':';
    line += L' ';
    line += message;
    line += L'\n';
    return line;
}
