// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include "entry_points.h"

UINT __stdcall RefreshEnvironmentVariables(MSIHANDLE /*install*/)
{
    // Tells running programs (Explorer above all) to reload the environment from
    // the registry. Hung windows are skipped, and the outcome changes nothing
    // for the installation.
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0,
                          reinterpret_cast<LPARAM>(L"Environment"), SMTO_ABORTIFHUNG, 5000,
                          &result);
    return ERROR_SUCCESS;
}
