// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
/* Times custom actions of launch-actions.msi, each run by MsiDoActionW in one
 * installer session, in rounds: each round runs every action named on the
 * command line once, the order turning by one place each round. The actions
 * whose names begin with "Launch" start the same program with the same
 * arguments, through Quorvane.dll's _LaunchProcessSync@4 or as the installer's
 * own EXE action (LaunchThroughInstaller); those beginning with "Call" call
 * into a Quorvane.dll and start nothing, for the installer's share of a DLL
 * action.
 *
 *   time_actions PACKAGE PROGRAM RECORD_FILE ROUNDS WARMUP_ROUNDS ACTION...
 *
 * A first session runs each Launch action once with STAND_IN_RECORD=RECORD_FILE,
 * so that the stand-in writes down the command lines, which must all be the
 * same. The timed session runs without it: the installer's custom-action server
 * keeps the environment it was started with, and the stand-in would go on
 * writing. Prints "command", "warmup MS..." and "round MS..." lines, the figures
 * in the order of the actions on the command line; exits with 2 if an action
 * fails, does not do what it must, or the command lines differ. */
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

enum { MAX_ACTIONS = 8 };

static LARGE_INTEGER frequency;

static void Fail(const wchar_t* what, UINT result)
{
    fprintf(stderr, "time_actions: %ls failed with %u\n", what, result);
    exit(2);
}

static void Expect(MSIHANDLE session, const wchar_t* property, const wchar_t* expected)
{
    wchar_t value[64] = L"";
    DWORD length = 64;
    if (MsiGetPropertyW(session, property, value, &length) != ERROR_SUCCESS ||
        wcscmp(value, expected) != 0) {
        fprintf(stderr, "time_actions: %ls is \"%ls\", not \"%ls\"\n", property, value, expected);
        exit(2);
    }
}

static int Begins(const wchar_t* text, const wchar_t* prefix)
{
    return wcsncmp(text, prefix, wcslen(prefix)) == 0;
}

static MSIHANDLE OpenSession(const wchar_t* package, const wchar_t* commandLine,
                             const wchar_t* program)
{
    MSIHANDLE session = 0;
    UINT result = MsiOpenPackageW(package, &session);
    if (result != ERROR_SUCCESS)
        Fail(L"MsiOpenPackageW", result);
    if ((result = MsiSetPropertyW(session, L"CustomActionData", commandLine)) != ERROR_SUCCESS ||
        (result = MsiSetPropertyW(session, L"STAND_IN_EXE", program)) != ERROR_SUCCESS ||
        (result = MsiSetPropertyW(session, L"APPDIR", L"C:\\Bench\\")) != ERROR_SUCCESS)
        Fail(L"MsiSetPropertyW", result);
    return session;
}

/* Runs one action and checks what it must have done; only the action itself is timed. */
static double RunMilliseconds(MSIHANDLE session, const wchar_t* action)
{
    LARGE_INTEGER start, end;
    UINT result;

    /* Under load Wine now and then fails to start a program, which fails the
     * action (1603) whichever way it starts it; the action is run again, and
     * timed from the attempt that worked. */
    for (int attempt = 1;; ++attempt) {
        MsiSetPropertyW(session, L"LaunchProcessReturnValue", L"");
        MsiSetPropertyW(session, L"AppdirNoTrailingBackslash", L"");
        QueryPerformanceCounter(&start);
        result = MsiDoActionW(session, action);
        QueryPerformanceCounter(&end);
        if (result == ERROR_SUCCESS)
            break;
        if (result != ERROR_INSTALL_FAILURE || attempt == 3)
            Fail(action, result);
        fprintf(stderr, "time_actions: %ls failed with %u, trying again\n", action, result);
        Sleep(100);
    }
    if (Begins(action, L"Launch") && wcscmp(action, L"LaunchThroughInstaller") != 0)
        Expect(session, L"LaunchProcessReturnValue", L"0");
    if (Begins(action, L"Call"))
        Expect(session, L"AppdirNoTrailingBackslash", L"C:\\Bench");
    return (double)(end.QuadPart - start.QuadPart) * 1000.0 / (double)frequency.QuadPart;
}

static void CheckSameCommandLine(const wchar_t* package, const wchar_t* commandLine,
                                 const wchar_t* program, const wchar_t* record, wchar_t** actions,
                                 int count)
{
    char first[2048] = "", line[2048];
    FILE* file;
    MSIHANDLE session;
    int launches = 0;

    DeleteFileW(record);
    SetEnvironmentVariableW(L"STAND_IN_RECORD", record);
    session = OpenSession(package, commandLine, program);
    for (int i = 0; i < count; ++i) {
        if (Begins(actions[i], L"Launch"))
            RunMilliseconds(session, actions[i]);
    }
    MsiCloseHandle(session);
    SetEnvironmentVariableW(L"STAND_IN_RECORD", NULL);

    file = _wfopen(record, L"r");
    for (int i = 0; i < count; ++i) {
        if (!Begins(actions[i], L"Launch"))
            continue;
        if (file == NULL || !fgets(line, sizeof line, file)) {
            fprintf(
                stderr,
                "time_actions: the stand-in did not record a start for each Launch action in %ls\n",
                record);
            exit(2);
        }
        printf("command %ls %s", actions[i], line);
        if (launches++ == 0)
            strcpy(first, line);
        else if (strcmp(first, line) != 0) {
            fprintf(stderr, "time_actions: the actions ran different command lines\n");
            exit(2);
        }
    }
    if (file != NULL)
        fclose(file);
}

int wmain(int argc, wchar_t* argv[])
{
    wchar_t commandLine[1024];
    double milliseconds[MAX_ACTIONS];
    MSIHANDLE session;
    const int count = argc - 6;

    if (count < 2 || count > MAX_ACTIONS) {
        fprintf(stderr,
                "usage: time_actions PACKAGE PROGRAM RECORD_FILE ROUNDS WARMUP_ROUNDS ACTION... "
                "(2 to %d actions)\n",
                MAX_ACTIONS);
        return 1;
    }
    const wchar_t* package = argv[1];
    const wchar_t* program = argv[2];
    const int rounds = _wtoi(argv[4]);
    const int warmup = _wtoi(argv[5]);
    wchar_t** actions = argv + 6;
    /* As the installer's EXE action builds it: the path, quoted only if it holds a space. */
    swprintf(commandLine, 1024,
             wcschr(program, L' ') ? L"\"%ls\" /quiet /norestart" : L"%ls /quiet /norestart",
             program);

    QueryPerformanceFrequency(&frequency);
    MsiSetInternalUI(INSTALLUILEVEL_NONE, NULL);
    CheckSameCommandLine(package, commandLine, program, argv[3], actions, count);

    session = OpenSession(package, commandLine, program);
    for (int i = 0; i < warmup + rounds; ++i) {
        for (int k = 0; k < count; ++k) {
            const int a = (i + k) % count;
            milliseconds[a] = RunMilliseconds(session, actions[a]);
        }
        printf("%s", i < warmup ? "warmup" : "round");
        for (int a = 0; a < count; ++a)
            printf(" %.3f", milliseconds[a]);
        printf("\n");
        fflush(stdout);
    }
    MsiCloseHandle(session);
    return 0;
}
