// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include <cstdint>
#include <string>

#include "entry_point_guard.h"
#include "entry_points.h"
#include "format_unsigned.h"
#include "install_access.h"
#include "run_process_sync.h"

UINT __stdcall LaunchProcessSync(MSIHANDLE install)
{
    return GuardEntryPoint([install]() -> UINT {
        std::wstring commandLine;
        if (!GetInstallProperty(install, L"CustomActionData", commandLine) || commandLine.empty())
            return ERROR_INSTALL_FAILURE;

        std::uint32_t exitCode = 0;
        const bool ranToEnd = RunProcessSync(
            commandLine, L"ERROR",
            [install](const std::wstring& message) { LogToInstaller(install, message); }, exitCode);
        if (!ranToEnd)
            return ERROR_INSTALL_FAILURE;

        // The child's own exit code is the package's to judge; this action only publishes it.
        if (!SetInstallProperty(install, L"LaunchProcessReturnValue", FormatUnsigned(exitCode)))
            return ERROR_INSTALL_FAILURE;
        return ERROR_SUCCESS;
    });
}
