// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

// No C++ exception may cross into the installer: whatever escapes an action's
// body (in practice std::bad_alloc) fails the action like any other failure.
template <typename Body>
UINT GuardEntryPoint(Body body) noexcept
{
    try {
        return body();
    } catch (...) {
        return ERROR_INSTALL_FAILURE;
    }
}
