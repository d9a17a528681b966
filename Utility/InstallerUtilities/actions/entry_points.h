// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>
#include <msi.h>

// The custom actions that installation packages name. Windows Installer calls
// each with the running installation's handle; the export names carry the
// standard-call decoration (see Quorvane.def.in).
extern "C" {
UINT __stdcall LaunchProcessSync(MSIHANDLE install);
UINT __stdcall RemoveAppdirTrailingBackslash(MSIHANDLE install);
UINT __stdcall RefreshEnvironmentVariables(MSIHANDLE install);
UINT __stdcall TerminateInstallWithSuccess(MSIHANDLE install);
UINT __stdcall TerminateInstallWithFailure(MSIHANDLE install);
}
