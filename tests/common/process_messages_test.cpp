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
        {CreateProcessFailedMessage(L"Error", L"vcredist_x86.exe /quiet /norestart", 2),
         L"Error: CreateProcess() with command line: vcredist_x86.exe /quiet /norestart returned: "
         L"2"},
        {CreateProcessFailedMessage(L"ERROR", L"\"C:\\Program Files\\x.exe\" [A] {b}", 0xFFFFFFFFu),
         L"ERROR: CreateProcess() with command line: \"C:\\Program Files\\x.exe\" [A] {b} "
         L"returned: 4294967295"},
        {CreateProcessFailedMessage(L"ERROR", L"", 87),
         L"ERROR: CreateProcess() with command line:  returned: 87"},
        {WaitFailedMessage(L"Error"), L"Error: WaitForSingleObject() returned WAIT_FAILED"},
        {WaitFailedMessage(L"ERROR"), L"ERROR: WaitForSingleObject() returned WAIT_FAILED"},
        {ExitCodeUnreadableMessage(L"Error", 6), L"Error: GetExitCodeProcess() returned: 6"},
        {ExitCodeUnreadableMessage(L"ERROR", 0x80070005u),
         L"ERROR: GetExitCodeProcess() returned: 2147942405"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, c.actual);
}
