// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "format_unsigned.h"

TEST(FormatUnsigned, PrintsPlainUnsignedDecimal)
{
    const struct {
        std::uint32_t value;
        const wchar_t* text;
    } cases[] = {
        {0, L"0"},
        {7, L"7"},
        {10, L"10"},
        {1603, L"1603"},
        {3010, L"3010"},
        {0x80000000u, L"2147483648"},    // no sign, even with the top bit set
        {0xC0000005u, L"3221225477"},    // an access violation reads in decimal, not hex
        {0xFFFFFFFFu, L"4294967295"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.text, FormatUnsigned(c.value)) << c.value;
}
