// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "install_messages.h"

TEST(InstallMessages, EscapesEveryFormatterBracketAndNothingElse)
{
    const struct {
        const wchar_t* text;
        const wchar_t* escaped;
    } cases[] = {
        {.text = L"", .escaped = L""},
        {.text = L"plain \\ text ~ % \u00E9", .escaped = L"plain \\ text ~ % \u00E9"},
        {.text = L"[ProductName]", .escaped = L"[\\[]ProductName[\\]]"},
        {.text = L"{x}", .escaped = L"[\\{]x[\\}]"},
        {.text = L"[\\[]", .escaped = L"[\\[]\\[\\[][\\]]"},
        {.text = L"]][[", .escaped = L"[\\]][\\]][\\[][\\[]"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.escaped, EscapeFormatTemplate(c.text));
}
