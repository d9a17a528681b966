// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "process_messages.h"

TEST(ProcessMessages, ReadExactlyAsLogReadersExpect)
{
    const struct {
        std::wstring actual;
        const wchar_t* expected;
    } cases[] = {
        {.actual = CreateProcessFailedMessage(L"Error", L"vcredist_x86.exe /quiet /norestart", 2),
         .expected = L"Error: CreateProcess() with command line: vcredist_x86.exe /quiet "
                     L"/norestart returned: 2"},
        {.actual = CreateProcessFailedMessage(L"ERROR", L"\"C:\\Program Files\\x.exe\" [A] {b}",
                                              0xFFFFFFFFu),
         .expected = L"ERROR: CreateProcess() with command line: \"C:\\Program Files\\x.exe\" "
                     L"[A] {b} returned: 4294967295"},
        {.actual = CreateProcessFailedMessage(L"ERROR", L"", 87),
         .expected = L"ERROR: CreateProcess() with command line:  returned: 87"},
        {.actual = WaitFailedMessage(L"Error"),
         .expected = L"Error: WaitForSingleObject() returned WAIT_FAILED"},
        {.actual = WaitFailedMessage(L"ERROR"),
         .expected = L"ERROR: WaitForSingleObject() returned WAIT_FAILED"},
        {.actual = ExitCodeUnreadableMessage(L"Error", 6),
         .expected = L"Error: GetExitCodeProcess() returned: 6"},
        {.actual = ExitCodeUnreadableMessage(L"ERROR", 0x80070005u),
         .expected = L"ERROR: GetExitCodeProcess() returned: 2147942405"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, c.actual);
}
