// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
/* Times Quorvane.dll's _LaunchProcessSync@4 against the installer's own EXE
 * custom action, both run by MsiDoActionW in one installer session of
 * launch-actions.msi and both starting the same program with the same
 * arguments, alternately: A (Quorvane), B (installer), A, B, ... Then times the
 * DLL action that starts nothing, as often, for the installer's share of A.
 *
 *   time_actions PACKAGE PROGRAM RECORD_FILE PAIRS WARMUP_PAIRS
 *
 * A first session runs A and B once with STAND_IN_RECORD=RECORD_FILE, so that
 * the stand-in writes down both command lines, which must be the same. The
 * timed session runs without it: the installer's custom-action server keeps the
 * environment it was started with, and the stand-in would go on writing.
 * Prints "command", "warmup A_MS B_MS", "pair A_MS B_MS" and "extra MS" lines;
 * exits with 2 if an action fails or the command lines differ. */
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

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
    if (MsiGetPropertyW(session, property, value, &length) != ERROR_SUCCESS || wcscmp(value, expected) != 0) {
        fprintf(stderr, "time_actions: %ls is \"%ls\", not \"%ls\"\n", property, value, expected);
        exit(2);
    }
}

static MSIHANDLE OpenSession(const wchar_t* package, const wchar_t* commandLine, const wchar_t* program)
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

    MsiSetPropertyW(session, L"LaunchProcessReturnValue", L"");
    MsiSetPropertyW(session, L"AppdirNoTrailingBackslash", L"");
    QueryPerformanceCounter(&start);
    result = MsiDoActionW(session, action);
    QueryPerformanceCounter(&end);
    if (result != ERROR_SUCCESS)
        Fail(action, result);
    if (wcscmp(action, L"LaunchThroughQuorvane") == 0)
        Expect(session, L"LaunchProcessReturnValue", L"0");
    if (wcscmp(action, L"CallQuorvaneOnly") == 0)
        Expect(session, L"AppdirNoTrailingBackslash", L"C:\\Bench");
    return (double)(end.QuadPart - start.QuadPart) * 1000.0 / (double)frequency.QuadPart;
}

static void CheckSameCommandLine(const wchar_t* package, const wchar_t* commandLine,
                                 const wchar_t* program, const wchar_t* record)
{
    char lines[2][2048] = {"", ""};
    FILE* file;
    MSIHANDLE session;

    DeleteFileW(record);
    SetEnvironmentVariableW(L"STAND_IN_RECORD", record);
    session = OpenSession(package, commandLine, program);
    RunMilliseconds(session, L"LaunchThroughQuorvane");
    RunMilliseconds(session, L"LaunchThroughInstaller");
    MsiCloseHandle(session);
    SetEnvironmentVariableW(L"STAND_IN_RECORD", NULL);

    file = _wfopen(record, L"r");
    if (file == NULL || !fgets(lines[0], sizeof lines[0], file) || !fgets(lines[1], sizeof lines[1], file)) {
        fprintf(stderr, "time_actions: the stand-in did not record two starts in %ls\n", record);
        exit(2);
    }
    fclose(file);
    printf("command A %s", lines[0]);
    printf("command B %s", lines[1]);
    if (strcmp(lines[0], lines[1]) != 0) {
        fprintf(stderr, "time_actions: the two actions ran different command lines\n");
        exit(2);
    }
}

int wmain(int argc, wchar_t* argv[])
{
    wchar_t commandLine[1024];
    MSIHANDLE session;

    if (argc != 6) {
        fprintf(stderr, "usage: time_actions PACKAGE PROGRAM RECORD_FILE PAIRS WARMUP_PAIRS\n");
        return 1;
    }
    const wchar_t* package = argv[1];
    const wchar_t* program = argv[2];
    const int pairs = _wtoi(argv[4]);
    const int warmup = _wtoi(argv[5]);
    /* As the installer's EXE action builds it: the path, quoted only if it holds a space. */
    swprintf(commandLine, 1024, wcschr(program, L' ') ? L"\"%ls\" /quiet /norestart" : L"%ls /quiet /norestart",
             program);

    QueryPerformanceFrequency(&frequency);
    MsiSetInternalUI(INSTALLUILEVEL_NONE, NULL);
    CheckSameCommandLine(package, commandLine, program, argv[3]);

    session = OpenSession(package, commandLine, program);
    for (int i = 0; i < warmup + pairs; ++i) {
        const double a = RunMilliseconds(session, L"LaunchThroughQuorvane");
        const double b = RunMilliseconds(session, L"LaunchThroughInstaller");
        printf("%s %.3f %.3f\n", i < warmup ? "warmup" : "pair", a, b);
        fflush(stdout);
    }
    for (int i = 0; i < pairs; ++i)
        printf("extra %.3f\n", RunMilliseconds(session, L"CallQuorvaneOnly"));
    MsiCloseHandle(session);
    return 0;
}
