// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
/* Times command lines run one after the other, in rounds: each round runs every
 * command once, from CreateProcessW until its process has ended. The order
 * turns by one place each round (A B C, B C A, C A B, ...), so that no command
 * always follows the same other one. Started once under Wine, so that Wine's
 * own start-up is paid once and never counted.
 *
 *   time_runs ROUNDS WARMUP_ROUNDS COMMAND...
 *
 * Prints "warmup MS..." for each discarded round, then "round MS...", the
 * figures in the order of the commands on the command line. Exits with 2 if a
 * run cannot be started or does not end with exit code 0: a figure of a failed
 * run would mean nothing. */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

enum { MAX_COMMANDS = 8 };

static LARGE_INTEGER frequency;

static double RunMilliseconds(const wchar_t* command)
{
    wchar_t writable[2048];
    STARTUPINFOW startupInfo = {0};
    PROCESS_INFORMATION process;
    LARGE_INTEGER start, end;
    DWORD code = 0;

    startupInfo.cb = sizeof startupInfo;
    writable[2047] = L'\0';
    /* Under load Wine now and then fails a start with an internal error; the
     * start is tried again, and timed from the attempt that worked. */
    for (int attempt = 1;; ++attempt) {
        wcsncpy(writable, command, 2047);
        QueryPerformanceCounter(&start);
        if (CreateProcessW(NULL, writable, NULL, NULL, FALSE, 0, NULL, NULL, &startupInfo,
                           &process))
            break;
        const DWORD error = GetLastError();
        if (error != ERROR_INTERNAL_ERROR || attempt == 3) {
            fprintf(stderr, "time_runs: cannot start %ls: error %lu\n", command, error);
            exit(2);
        }
        fprintf(stderr, "time_runs: starting %ls failed with error %lu, trying again\n", command,
                error);
        Sleep(100);
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
    const int count = argc - 3;
    double milliseconds[MAX_COMMANDS];

    if (count < 2 || count > MAX_COMMANDS) {
        fprintf(stderr, "usage: time_runs ROUNDS WARMUP_ROUNDS COMMAND... (2 to %d commands)\n",
                MAX_COMMANDS);
        return 1;
    }
    const int rounds = _wtoi(argv[1]);
    const int warmup = _wtoi(argv[2]);
    QueryPerformanceFrequency(&frequency);
    for (int i = 0; i < warmup + rounds; ++i) {
        for (int k = 0; k < count; ++k) {
            const int c = (i + k) % count;
            milliseconds[c] = RunMilliseconds(argv[3 + c]);
        }
        printf("%s", i < warmup ? "warmup" : "round");
        for (int c = 0; c < count; ++c)
            printf(" %.3f", milliseconds[c]);
        printf("\n");
        fflush(stdout);
    }
    return 0;
}
