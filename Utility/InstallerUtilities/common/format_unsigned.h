// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

// Decimal digits of a 32-bit code: no sign, no leading zeros, no separators.
std::wstring FormatUnsigned(std::uint32_t value);
