// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
/* Times two command lines run one after the other, A, B, A, B, ..., each from
 * CreateProcessW until its process has ended. Started once under Wine, so that
 * Wine's own start-up is paid once and never counted.
 *
 *   time_runs PAIRS WARMUP_PAIRS COMMAND_A COMMAND_B
 *
 * Prints "warmup A_MS B_MS" for each discarded pair, then "pair A_MS B_MS".
 * Exits with 2 if a run cannot be started or does not end with exit code 0:
 * a figure of a failed run would mean nothing. */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

static LARGE_INTEGER frequency;

static double RunMilliseconds(const wchar_t* command)
{
    wchar_t writable[2048];
    STARTUPINFOW startupInfo = {0};
    PROCESS_INFORMATION process;
    LARGE_INTEGER start, end;
    DWORD code = 0;

    startupInfo.cb = sizeof startupInfo;
    wcsncpy(writable, command, 2047);
    writable[2047] = L'\0';
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(NULL, writable, NULL, NULL, FALSE, 0, NULL, NULL, &startupInfo, &process)) {
        fprintf(stderr, "time_runs: cannot start %ls: error %lu\n", command, GetLastError());
        exit(2);
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    QueryPerformanceCounter(&end);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (code != 0) {
        fprintf(stderr, "time_runs: %ls exited with %lu\n", command, code);
        exit(2);
    }
    return (double)(end.QuadPart - start.QuadPart) * 1000.0 / (double)frequency.QuadPart;
}

int wmain(int argc, wchar_t* argv[])
{
    if (argc != 5) {
        fprintf(stderr, "usage: time_runs PAIRS WARMUP_PAIRS COMMAND_A COMMAND_B\n");
        return 1;
    }
    const int pairs = _wtoi(argv[1]);
    const int warmup = _wtoi(argv[2]);
    QueryPerformanceFrequency(&frequency);
    for (int i = 0; i < warmup + pairs; ++i) {
        const double a = RunMilliseconds(argv[3]);
        const double b = RunMilliseconds(argv[4]);
        printf("%s %.3f %.3f\n", i < warmup ? "warmup" : "pair", a, b);
        fflush(stdout);
    }
    return 0;
}
