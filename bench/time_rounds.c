// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
/* Times the sides of a benchmark in rounds: each round runs every side once, the order turning
 * by one place each round (A B C, B C A, C A B, ...), so that no side always follows the same
 * other one. Started once under Wine, so that Wine's own start-up is paid once and never counted.
 *
 *   time_rounds runs ROUNDS WARMUP_ROUNDS COMMAND...
 *   time_rounds actions ROUNDS WARMUP_ROUNDS PACKAGE PROGRAM RECORD_FILE ACTION...
 *
 * "runs" times each command line from CreateProcessW until its process has ended; "actions", each
 * custom action of launch-actions.msi by MsiDoActionW in one installer session. Prints "warmup
 * MS..." for each discarded round, then "round MS...", the figures in the order of the sides on
 * the command line. Exits with 2 if a side fails or does not do what it must: a figure of a failed
 * run would mean nothing. One failure is Wine's: a run's own start of its child failing with
 * Wine's internal error, which Tarbel and the minimal launcher write to the temporary folder's
 * ovt18helper.log. The whole round is then run again, every side, so that rounds stay paired, at
 * most twice; each time "redone N" is printed, N the round's number counting the warm-up rounds. */
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

enum { MAX_SIDES = 8, ATTEMPTS = 3 };

static LARGE_INTEGER frequency;
static MSIHANDLE session;

static double MillisecondsSince(LARGE_INTEGER start)
{
    LARGE_INTEGER end;
    QueryPerformanceCounter(&end);
    return (double)(end.QuadPart - start.QuadPart) * 1000.0 / (double)frequency.QuadPart;
}

__attribute__((format(printf, 1, 2))) static void Die(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    fputs("time_rounds: ", stderr);
    vfprintf(stderr, format, arguments);
    va_end(arguments);
    exit(2);
}

/* Under load Wine now and then fails to start a program: a start that failed with Wine's error
 * is tried again, up to ATTEMPTS times, and timed from the attempt that worked. */
static void TryAgain(const wchar_t* what, unsigned long error, unsigned long winesError,
                     int attempt)
{
    if (error != winesError || attempt == ATTEMPTS)
        Die("%ls failed with %lu\n", what, error);
    fprintf(stderr, "time_rounds: %ls failed with %lu, trying again\n", what, error);
    Sleep(100);
}

/* Whether the log that the run just ended left says that its start of the child failed with
 * Wine's internal error, and nothing else. The log is deleted once it has said so, so that no
 * later failure is ever taken for this one. */
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
static double RunCommand(const wchar_t* command)
{
    wchar_t writable[2048];
    STARTUPINFOW startupInfo = {0};
    PROCESS_INFORMATION process;
    LARGE_INTEGER start;
    DWORD code = 0;

    startupInfo.cb = sizeof startupInfo;
    for (int attempt = 1;; ++attempt) {
        lstrcpynW(writable, command, 2048);
        QueryPerformanceCounter(&start);
        if (CreateProcessW(NULL, writable, NULL, NULL, FALSE, 0, NULL, NULL, &startupInfo,
                           &process))
            break;
        TryAgain(command, GetLastError(), ERROR_INTERNAL_ERROR, attempt);
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    const double milliseconds = MillisecondsSince(start);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (code != 0 && ChildStartFailedInWine()) {
        fprintf(stderr, "time_rounds: %ls could not start its child (error %lu)\n", command,
                ERROR_INTERNAL_ERROR);
        return -1.0;
    }
    if (code != 0)
        Die("%ls exited with %lu\n", command, code);
    return milliseconds;
}

static void Expect(const wchar_t* property, const wchar_t* expected)
{
    wchar_t value[64] = L"";
    DWORD length = 64;
    if (MsiGetPropertyW(session, property, value, &length) != ERROR_SUCCESS ||
        wcscmp(value, expected) != 0)
        Die("%ls is \"%ls\", not \"%ls\"\n", property, value, expected);
}

static int Begins(const wchar_t* text, const wchar_t* prefix)
{
    return wcsncmp(text, prefix, wcslen(prefix)) == 0;
}

static void OpenSession(const wchar_t* package, const wchar_t* commandLine, const wchar_t* program)
{
    UINT result = MsiOpenPackageW(package, &session);
    if (result != ERROR_SUCCESS)
        Die("MsiOpenPackageW failed with %u\n", result);
    if ((result = MsiSetPropertyW(session, L"CustomActionData", commandLine)) != ERROR_SUCCESS ||
        (result = MsiSetPropertyW(session, L"STAND_IN_EXE", program)) != ERROR_SUCCESS ||
        (result = MsiSetPropertyW(session, L"APPDIR", L"C:\\Bench\\")) != ERROR_SUCCESS)
        Die("MsiSetPropertyW failed with %u\n", result);
}

/* Runs one action and checks what it must have done; only the action itself is timed. An action
 * that starts a program fails (1603) whichever way it starts it when Wine fails the start. */
static double RunAction(const wchar_t* action)
{
    LARGE_INTEGER start;
    UINT result;
    double milliseconds;

    for (int attempt = 1;; ++attempt) {
        MsiSetPropertyW(session, L"LaunchProcessReturnValue", L"");
        MsiSetPropertyW(session, L"AppdirNoTrailingBackslash", L"");
        QueryPerformanceCounter(&start);
        result = MsiDoActionW(session, action);
        milliseconds = MillisecondsSince(start);
        if (result == ERROR_SUCCESS)
            break;
        TryAgain(action, result, ERROR_INSTALL_FAILURE, attempt);
    }
    /* Launch actions start the stand-in, LaunchThroughInstaller as the installer's own EXE action
     * and the others by _LaunchProcessSync@4; Call actions start nothing (launch-actions.wxs). */
    if (Begins(action, L"Launch") && wcscmp(action, L"LaunchThroughInstaller") != 0)
        Expect(L"LaunchProcessReturnValue", L"0");
    if (Begins(action, L"Call"))
        Expect(L"AppdirNoTrailingBackslash", L"C:\\Bench");
    return milliseconds;
}

/* Opens the timed session once a first one has run each Launch action with
 * STAND_IN_RECORD=record, so that the stand-in writes down the command lines ("command" lines),
 * which must all be the same. The timed session runs without it: the installer's custom-action
 * server keeps the environment it was started with, and the stand-in would go on writing. */
static void OpenCheckedSession(const wchar_t* package, const wchar_t* program,
                               const wchar_t* record, wchar_t** actions, int count)
{
    wchar_t commandLine[1024];
    char first[2048] = "", line[2048];

    /* As the installer's EXE action builds it: the path, quoted only if it holds a space. */
    swprintf(commandLine, 1024,
             wcschr(program, L' ') ? L"\"%ls\" /quiet /norestart" : L"%ls /quiet /norestart",
             program);
    MsiSetInternalUI(INSTALLUILEVEL_NONE, NULL);
    DeleteFileW(record);
    SetEnvironmentVariableW(L"STAND_IN_RECORD", record);
    OpenSession(package, commandLine, program);
    for (int i = 0; i < count; ++i) {
        if (Begins(actions[i], L"Launch"))
            RunAction(actions[i]);
    }
    MsiCloseHandle(session);
    SetEnvironmentVariableW(L"STAND_IN_RECORD", NULL);

    FILE* file = _wfopen(record, L"r");
    for (int i = 0; i < count; ++i) {
        if (!Begins(actions[i], L"Launch"))
            continue;
        if (file == NULL || !fgets(line, sizeof line, file))
            Die("the stand-in did not record a start for each Launch action in %ls\n", record);
        printf("command %ls %s", actions[i], line);
        if (first[0] == '\0')
            strcpy(first, line);
        else if (strcmp(first, line) != 0)
            Die("the actions ran different command lines\n");
    }
    if (file != NULL)
        fclose(file);
    OpenSession(package, commandLine, program);
}

/* Runs round `round` of the sides; 0 if it must be redone. */
static int RunRound(double (*run)(const wchar_t*), wchar_t* sides[], int count, int round,
                    double milliseconds[])
{
    for (int k = 0; k < count; ++k) {
        const int c = (round + k) % count;
        milliseconds[c] = run(sides[c]);
        if (milliseconds[c] < 0)
            return 0;
    }
    return 1;
}

int wmain(int argc, wchar_t* argv[])
{
    const int actions = argc > 1 && wcscmp(argv[1], L"actions") == 0;
    const int count = argc - (actions ? 7 : 4);
    double milliseconds[MAX_SIDES];

    if (count < 2 || count > MAX_SIDES || (!actions && wcscmp(argv[1], L"runs") != 0)) {
        fprintf(stderr,
                "usage: time_rounds runs|actions ROUNDS WARMUP_ROUNDS [PACKAGE PROGRAM "
                "RECORD_FILE] SIDE... (2 to %d sides)\n",
                MAX_SIDES);
        return 1;
    }
    const int rounds = _wtoi(argv[2]);
    const int warmup = _wtoi(argv[3]);
    wchar_t** sides = argv + argc - count;
    QueryPerformanceFrequency(&frequency);
    if (actions)
        OpenCheckedSession(argv[4], argv[5], argv[6], sides, count);
    for (int i = 0; i < warmup + rounds; ++i) {
        for (int attempt = 1;
             !RunRound(actions ? RunAction : RunCommand, sides, count, i, milliseconds);
             ++attempt) {
            if (attempt == ATTEMPTS)
                Die("round %d failed %d times, giving up\n", i + 1, attempt);
            fprintf(stderr, "time_rounds: redoing round %d\n", i + 1);
            printf("redone %d\n", i + 1);
            Sleep(100);
        }
        printf("%s", i < warmup ? "warmup" : "round");
        for (int c = 0; c < count; ++c)
            printf(" %.3f", milliseconds[c]);
        printf("\n");
        fflush(stdout);
    }
    if (actions)
        MsiCloseHandle(session);
    return 0;
}
