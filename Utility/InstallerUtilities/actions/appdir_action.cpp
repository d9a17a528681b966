// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include <string>

#include "entry_point_guard.h"
#include "entry_points.h"
#include "install_access.h"
#include "trailing_backslash.h"

UINT __stdcall RemoveAppdirTrailingBackslash(MSIHANDLE install)
{
    return GuardEntryPoint([install]() -> UINT {
        std::wstring appdir;
        if (!GetInstallProperty(install, L"APPDIR", appdir) || appdir.empty())
            return ERROR_INSTALL_FAILURE;
        // Set even when nothing was removed, so the package can always rely on it.
        if (!SetInstallProperty(install, L"AppdirNoTrailingBackslash",
                                RemoveOneTrailingBackslash(appdir)))
            return ERROR_INSTALL_FAILURE;
        return ERROR_SUCCESS;
    });
}
