// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include "format_unsigned.h"

std::wstring FormatUnsigned(std::uint32_t value)
{
    wchar_t buffer[64];
    wchar_t* const end = buffer + 64;
    wchar_t* first = end;
    do {
        *--first = static_cast<wchar_t>(L'0' + (value % 10));
        value /= 10;
    } while (value != 0);
    return {first, end};
}
