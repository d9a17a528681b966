// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "trailing_backslash.h"

TEST(TrailingBackslash, RemovesOneTrailingBackslashAndNothingElse)
{
    const struct {
        const wchar_t* path;
        const wchar_t* result;
    } cases[] = {
        {.path = L"C:\\App\\", .result = L"C:\\App"},
        {.path = L"C:\\App", .result = L"C:\\App"},
        {.path = L"C:\\", .result = L"C:"},                // no special case for drive roots
        {.path = L"\\", .result = L""},
        {.path = L"C:\\App\\\\", .result = L"C:\\App\\"},  // only the last one goes
        {.path = L"C:/App/", .result = L"C:/App/"},        // forward slashes are left alone
        {.path = L"\\\\server\\share\\", .result = L"\\\\server\\share"},
        {.path = L"C:\\\u00C5pp \u65E5\\", .result = L"C:\\\u00C5pp \u65E5"},
        {.path = L"", .result = L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.result, RemoveOneTrailingBackslash(c.path));
}
