// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
/* runwait RESULT_FILE COMMAND_LINE
 * Starts COMMAND_LINE, waits for it and writes its exit code to RESULT_FILE, the way an
 * installer launches a child and acts on what it returned. Also reports whether it runs as a
 * 32-bit process on a 64-bit system, which is what the guest is meant to provide. */
#include <windows.h>
#include <stdio.h>
#include <wchar.h>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        fputs("usage: runwait RESULT_FILE COMMAND_LINE\n", stderr);
        return 2;
    }

    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    printf("runwait: wow64=%d\n", wow64 ? 1 : 0);

    /* CreateProcessW may write into the command line buffer. */
    wchar_t* cmd = _wcsdup(argv[2]);
    STARTUPINFOW si;
    ZeroMemory(&si, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!cmd || !CreateProcessW(NULL, cmd, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) {
        fprintf(stderr, "runwait: CreateProcessW failed: %lu\n", GetLastError());
        return 3;
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    if (!GetExitCodeProcess(pi.hProcess, &code)) {
        fprintf(stderr, "runwait: GetExitCodeProcess failed: %lu\n", GetLastError());
        return 4;
    }

    FILE* f = _wfopen(argv[1], L"w");
    if (!f || fprintf(f, "%lu\n", code) < 0 || fclose(f) != 0) {
        fputs("runwait: cannot write the result file\n", stderr);
        return 5;
    }
    printf("runwait: child exit code %lu\n", code);
    return 0;
}
