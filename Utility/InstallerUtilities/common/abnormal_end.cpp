// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include "abnormal_end.h"

#include <windows.h>

void EndProcessAbnormally() noexcept
{
    ::TerminateProcess(::GetCurrentProcess(), kAbnormalEndCode);
    // TerminateProcess does not return for the calling process; should it, nothing may run on.
    for (;;)
        ::Sleep(INFINITE);
}
