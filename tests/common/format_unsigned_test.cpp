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
        {.value = 0, .text = L"0"},
        {.value = 7, .text = L"7"},
        {.value = 10, .text = L"10"},
        {.value = 1603, .text = L"1603"},
        {.value = 3010, .text = L"3010"},
        {.value = 0x80000000u, .text = L"2147483648"},  // no sign, even with the top bit set
        {.value = 0xC0000005u, .text = L"3221225477"},  // an access violation: decimal, not hex
        {.value = 0xFFFFFFFFu, .text = L"4294967295"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.text, FormatUnsigned(c.value)) << c.value;
}
