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
        {L"C:\\App\\", L"C:\\App"},
        {L"C:\\App", L"C:\\App"},
        {L"C:\\", L"C:"},                    // no special case for drive roots
        {L"\\", L""},
        {L"C:\\App\\\\", L"C:\\App\\"},      // only the last one goes
        {L"C:/App/", L"C:/App/"},            // forward slashes are left alone
        {L"\\\\server\\share\\", L"\\\\server\\share"},
        {L"C:\\\u00C5pp \u65E5\\", L"C:\\\u00C5pp \u65E5"},
        {L"", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.result, RemoveOneTrailingBackslash(c.path));
}
