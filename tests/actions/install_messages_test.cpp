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
        {L"", L""},
        {L"plain \\ text ~ % \u00E9", L"plain \\ text ~ % \u00E9"},
        {L"[ProductName]", L"[\\[]ProductName[\\]]"},
        {L"{x}", L"[\\{]x[\\}]"},
        {L"[\\[]", L"[\\[]\\[\\[][\\]]"},
        {L"]][[", L"[\\]][\\]][\\[][\\[]"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.escaped, EscapeFormatTemplate(c.text));
}
