// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include "wide_buffer.h"

#include <limits>
#include <new>

std::size_t WideBufferBytes(std::uint64_t characters)
{
    constexpr auto largest = std::numeric_limits<std::size_t>::max();
    if (characters > largest / sizeof(wchar_t))
        return largest;
    return static_cast<std::size_t>(characters) * sizeof(wchar_t);
}

WideBuffer AllocateWideBuffer(std::uint64_t characters)
{
    return WideBuffer(static_cast<wchar_t*>(::operator new(WideBufferBytes(characters))));
}
