// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include "trailing_backslash.h"

std::wstring RemoveOneTrailingBackslash(std::wstring_view path)
{
    if (!path.empty() && path.back() == L'\\')
        path.remove_suffix(1);
    return std::wstring(path);
}
