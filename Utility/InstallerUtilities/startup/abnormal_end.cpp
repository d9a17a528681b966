// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include "abnormal_end.h"

#include <windows.h>

void EndProcessAbnormally() noexcept  // GCOVR_EXCL_START: the process ends, its counts unwritten
{
    ::TerminateProcess(::GetCurrentProcess(), kAbnormalEndCode);
    // TerminateProcess does not return for the calling process; should it, nothing may run on.
    for (;;)
        ::Sleep(INFINITE);
}  // GCOVR_EXCL_STOP
