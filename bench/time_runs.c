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
 * run would mean nothing. One failure is Wine's, not the program's: the
 * program's own start of its child failing with Wine's internal error, which
 * Tarbel and the minimal launcher write to the temporary folder's
 * ovt18helper.log. The whole round is then run again, every command, so that
 * rounds stay paired, at most twice; each time "redone N" is printed, N the
 * round's number counting the warm-up rounds. */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

enum { MAX_COMMANDS = 8 };

static LARGE_INTEGER frequency;

/* Whether the log that the run just ended left says that its start of the child
 * failed with Wine's internal error, and nothing else. The log is deleted once
 * it has said so, so that no later failure is ever taken for this one. */
static int ChildStartFailedInWine(void)
{
    wchar_t path[MAX_PATH + 16];
    char text[4096], failed[32];
    const DWORD length = GetTempPathW(MAX_PATH + 1, path);
    if (length == 0 || length > MAX_PATH)
        return 0;
    wcscat(path, L"ovt18helper.log");
    FILE* file = _wfopen(path, L"rb");
    if (file == NULL)
        return 0;
    size_t size = fread(text, 1, sizeof text - 1, file);
    fclose(file);
    while (size > 0 && (text[size - 1] == '\n' || text[size - 1] == '\r'))
        --size;
    text[size] = '\0';
    const size_t suffix = (size_t)sprintf(failed, " returned: %lu", ERROR_INTERNAL_ERROR);
    if (strchr(text, '\n') != NULL ||
        strstr(text, ": CreateProcess() with command line: ") == NULL || size < suffix ||
        strcmp(text + size - suffix, failed) != 0)
        return 0;
    DeleteFileW(path);
    return 1;
}

/* The run's time, or -1 if its child's start failed inside Wine. */
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
    if (code != 0 && ChildStartFailedInWine()) {
        fprintf(stderr, "time_runs: %ls could not start its child (error %lu)\n", command,
                ERROR_INTERNAL_ERROR);
        return -1.0;
    }
    if (code != 0) {
        fprintf(stderr, "time_runs: %ls exited with %lu\n", command, code);
        exit(2);
    }
    return (double)(end.QuadPart - start.QuadPart) * 1000.0 / (double)frequency.QuadPart;
}

/* Runs round `round` of the commands; 0 if it must be redone. */
static int RunRound(wchar_t* commands[], int count, int round, double milliseconds[])
{
    for (int k = 0; k < count; ++k) {
        const int c = (round + k) % count;
        milliseconds[c] = RunMilliseconds(commands[c]);
        if (milliseconds[c] < 0)
            return 0;
    }
    return 1;
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
        for (int attempt = 1; !RunRound(argv + 3, count, i, milliseconds); ++attempt) {
            if (attempt == 3) {
                fprintf(stderr, "time_runs: round %d failed %d times, giving up\n", i + 1, attempt);
                return 2;
            }
            fprintf(stderr, "time_runs: redoing round %d\n", i + 1);
            printf("redone %d\n", i + 1);
            Sleep(100);
        }
        printf("%s", i < warmup ? "warmup" : "round");
        for (int c = 0; c < count; ++c)
            printf(" %.3f", milliseconds[c]);
        printf("\n");
        fflush(stdout);
    }
    return 0;
}
