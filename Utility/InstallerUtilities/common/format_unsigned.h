// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

// Decimal digits of a 32-bit code: no sign, no leading zeros, no separators.
// Not std::to_wstring: this runtime's goes through vswprintf, the C library's
// formatted output, for what a loop of divisions does.
std::wstring FormatUnsigned(std::uint32_t value);
