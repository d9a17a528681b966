// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include "entry_points.h"

UINT __stdcall TerminateInstallWithSuccess(MSIHANDLE /*install*/)
{
    // The installer skips the rest of the sequence and does not count it as an error.
    return ERROR_NO_MORE_ITEMS;
}

UINT __stdcall TerminateInstallWithFailure(MSIHANDLE /*install*/)
{
    return ERROR_INSTALL_FAILURE;
}
