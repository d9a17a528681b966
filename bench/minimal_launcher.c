// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
/* The least a program can do to run the redistributable and hand back its exit
 * code: the yardstick for Tarbel's own cost. Same command line, same search
 * order (the launcher's own folder first), no log, no checks. Built, like
 * Tarbel, for the GUI subsystem, so that both start the same way. */
#include <windows.h>

int wmain(void)
{
    wchar_t commandLine[] = L"vcredist_x86.exe /quiet /norestart";
    STARTUPINFOW startupInfo = {0};
    PROCESS_INFORMATION process;
    DWORD code = 1;
    startupInfo.cb = sizeof startupInfo;
    if (CreateProcessW(NULL, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startupInfo,
                       &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &code);
    }
    return (int)code;
}
