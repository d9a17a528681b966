// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
// Windows does not run the guard's checks itself: its loader puts them into
// the image's guard pointers. Wine leaves the do-nothing routines there, so
// this test puts its own recorder in their place to see that an indirect call
// of this (instrumented) program really goes through the guard first.
#include <gtest/gtest.h>

#include <windows.h>

#include "child_process.h"
#include "test_paths.h"

extern "C" {
extern void* __guard_check_icall_fptr;
extern void* __guard_dispatch_icall_fptr;
// Read by the recorders below, in assembly.
extern void* guardedTarget;
void* guardedTarget = nullptr;
}

#if defined(__x86_64__)
// x64 calls go through the dispatch pointer, target in %rax, which must reach the target.
extern "C" void RecordingDispatch();
asm(".text\n"
    "RecordingDispatch:\n"
    "    movq %rax, guardedTarget(%rip)\n"
    "    jmp *%rax\n");
#define GUARD_POINTER __guard_dispatch_icall_fptr
#define GUARD_RECORDER RecordingDispatch
#else
// x86 calls hand the target to the check pointer in %ecx, then call the target themselves.
namespace {
__attribute__((fastcall)) void RecordingCheck(void* target)
{
    guardedTarget = target;
}
}  // namespace
#define GUARD_POINTER __guard_check_icall_fptr
#define GUARD_RECORDER RecordingCheck
#endif

namespace {

// Writes a guard pointer the way the loader does: its page is read-only the rest of the time.
void SetGuardPointer(void* value)
{
    void* const page = static_cast<void*>(&GUARD_POINTER);
    DWORD was = 0;
    DWORD during = 0;
    ASSERT_TRUE(::VirtualProtect(page, sizeof GUARD_POINTER, PAGE_READWRITE, &was));
    GUARD_POINTER = value;
    ASSERT_TRUE(::VirtualProtect(page, sizeof GUARD_POINTER, was, &during));
    EXPECT_EQ(static_cast<DWORD>(PAGE_READONLY), was);
}

__attribute__((noinline)) int CalledIndirectly(int value)
{
    return value + 1;
}

// Windows enforces the guard from 8.1 with its November 2014 update (KB3000850) on, for an image
// that declares it: the stand-in child, started and linked as the shipped images are, says whether
// it runs so.
bool WindowsChecksTheStandInChild()
{
    return !RunningUnderWine() &&
           RunProcess(Quoted(StandInChildPath()) + L" guard-enforced", {}, L".") == 1;
}

}  // namespace

TEST(ControlFlowGuard, IndirectCallsAreCheckedFirst)
{
    void* const original = GUARD_POINTER;
    int (*volatile call)(int) = CalledIndirectly;
    SetGuardPointer(reinterpret_cast<void*>(&GUARD_RECORDER));
    const int result = call(41);
    void* const checked = guardedTarget;
    SetGuardPointer(original);
    EXPECT_EQ(42, result);
    EXPECT_EQ(reinterpret_cast<void*>(&CalledIndirectly), checked);
}

// A call to no valid target is a fail-fast (FAST_FAIL_GUARD_ICALL_CHECK_FAILURE); the child records
// its start first, so that a death before the call cannot pass for it.
TEST(ControlFlowGuard, WindowsEndsACallToAnInvalidTarget)
{
    if (!WindowsChecksTheStandInChild())
        GTEST_SKIP() << "Wine, or a Windows before 8.1 with KB3000850, does not enforce the guard";
    const ScratchDirectory scratch(L"guard");
    const std::filesystem::path record = scratch.path() / L"starts.txt";
    const std::wstring commandLine = Quoted(StandInChildPath()) + L" call-invalid-target";
    EXPECT_EQ(static_cast<DWORD>(STATUS_STACK_BUFFER_OVERRUN),
              RunProcess(commandLine, {{L"STAND_IN_RECORD", record.wstring()}}, L"."));
    EXPECT_EQ(commandLine + L"\n", ReadUtf8File(record));
}

// Under the guard, the shipped images start, run and end with codes of their own: Tarbel given no
// argument, Quorvane loaded by a guarded program that calls an entry point and unloads it.
TEST(ControlFlowGuard, ShippedImagesRunUnderIt)
{
    if (!WindowsChecksTheStandInChild())
        GTEST_SKIP() << "Wine, or a Windows before 8.1 with KB3000850, does not enforce the guard";
    EXPECT_EQ(1u, RunProcess(Quoted(DistDirectory() / L"Tarbel.exe"), {}, L"."));
    EXPECT_EQ(259u, RunProcess(Quoted(StandInChildPath()) + L" call-export " +
                                   Quoted(DistDirectory() / L"Quorvane.dll") +
                                   L" _TerminateInstallWithSuccess@4",
                               {}, L"."));
}
