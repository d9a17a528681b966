// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
// The stand-in child is hardened like the shipped programs (same guard, entry
// point and runtime overrides), so it shows how they end when something goes
// wrong: at once, with one code, and without a window that would hang a
// silent installation.
#include <gtest/gtest.h>

#include <windows.h>

#include "abnormal_end.h"
#include "child_process.h"
#include "stack_guard.h"
#include "test_paths.h"

TEST(StackProtection, AbnormalEndsAreImmediateWithOneCode)
{
    for (const wchar_t* how : {L"smash-stack", L"terminate", L"abort"}) {
        // A dialog would keep the program from ending within RunProcess's minute.
        EXPECT_EQ(kAbnormalEndCode,
                  RunProcess(Quoted(StandInChildPath()) + L" " + how, {}, TestBinDirectory()))
            << ToUtf8(how);
    }
}

TEST(StackProtection, GuardIsSeededAnewForEachRun)
{
    const std::wstring commandLine = Quoted(StandInChildPath()) + L" stack-guard";
    const DWORD first = RunProcess(commandLine, {}, TestBinDirectory());
    const DWORD second = RunProcess(commandLine, {}, TestBinDirectory());
    EXPECT_NE(static_cast<DWORD>(kUnseededStackGuard), first);
    EXPECT_NE(first, second);
}

TEST(StartUp, ExceptionsFindTheirHandlers)
{
    // On x86 the unwinder finds a handler only in the tables the start-up registered.
    EXPECT_EQ(0xCA06u,
              RunProcess(Quoted(StandInChildPath()) + L" throw-and-catch", {}, TestBinDirectory()));
}
