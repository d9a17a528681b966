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

// Windows enforces the guard from 8.1 with its November 2014 update (KB3000850) on: a call to
// no valid target in the stand-in child, built as the shipped images are, is a fail-fast
// (FAST_FAIL_GUARD_ICALL_CHECK_FAILURE).
TEST(ControlFlowGuard, WindowsEndsACallToAnInvalidTarget)
{
    using Query = BOOL(WINAPI*)(HANDLE, int, void*, SIZE_T);
    const auto query = reinterpret_cast<Query>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetProcessMitigationPolicy")));
    DWORD guard = 0;  // ProcessControlFlowGuardPolicy (7); bit 0: EnableControlFlowGuard
    if (RunningUnderWine() || query == nullptr || !query(::GetCurrentProcess(), 7, &guard, 4) ||
        (guard & 1) == 0)
        GTEST_SKIP() << (RunningUnderWine() ? "Wine" : "this Windows (before 8.1 with KB3000850)")
                     << " does not enforce Control Flow Guard";
    EXPECT_EQ(static_cast<DWORD>(STATUS_STACK_BUFFER_OVERRUN),
              RunProcess(Quoted(StandInChildPath()) + L" call-invalid-target", {}, L"."));
}
