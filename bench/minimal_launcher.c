// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
/* The least a program can do to run the redistributable and hand back its exit
 * code: the yardstick for Tarbel's own cost. Same command line, same search
 * order (the launcher's own folder first), no checks, and a log only when the
 * start fails. Built, like Tarbel, for the GUI subsystem, so that both start
 * the same way. */
#include <windows.h>

#include <stdio.h>

/* Writes a failed start to the temporary folder's ovt18helper.log in Tarbel's
 * words, so that time_rounds tells Wine's failed starts from real failures alike
 * for both; a run that starts its child writes nothing. */
static void LogFailedStart(const wchar_t* commandLine, DWORD error)
{
    wchar_t path[MAX_PATH + 16];
    char line[256];
    DWORD written;
    const DWORD length = GetTempPathW(MAX_PATH + 1, path);
    if (length == 0 || length > MAX_PATH)
        return;
    wcscat(path, L"ovt18helper.log");
    const HANDLE log =
        CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (log == INVALID_HANDLE_VALUE)
        return;
    const int size =
        snprintf(line, sizeof line,
                 "minimal launcher: CreateProcess() with command line: %ls returned: %lu\r\n",
                 commandLine, error);
    if (size > 0 && size < (int)sizeof line)
        WriteFile(log, line, (DWORD)size, &written, NULL);
    CloseHandle(log);
}

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
    } else {
        LogFailedStart(commandLine, GetLastError());
    }
    return (int)code;
}
