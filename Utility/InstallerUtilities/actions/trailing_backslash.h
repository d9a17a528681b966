// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

// The path without one trailing backslash, if it has one. Drive roots get no
// special case: "C:\" becomes "C:".
std::wstring RemoveOneTrailingBackslash(std::wstring_view path);
