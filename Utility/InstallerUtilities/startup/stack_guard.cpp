// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include "stack_guard.h"

#include <windows.h>

#include "abnormal_end.h"

// Written once, by SeedStackGuard; every protected frame reads it.
// NOLINTNEXTLINE(cppcoreguidelines-avoid-non-const-global-variables)
std::uintptr_t __stack_chk_guard = kUnseededStackGuard;

void __stack_chk_fail()  // GCOVR_EXCL_START: ends the process, its counts unwritten
{
    EndProcessAbnormally();
}  // GCOVR_EXCL_STOP

namespace {

std::uintptr_t Fold(std::uint64_t value)
{
    return static_cast<std::uintptr_t>(value ^ (value >> 32));
}

}  // namespace

// Not protected itself: it changes the very value a protected frame would check on return.
__attribute__((no_stack_protector)) void SeedStackGuard() noexcept
{
    // The same sources as the platform's own compiler uses for its cookie: the
    // time, two counters, the process and thread ids, and where the stack is.
    FILETIME now = {};
    ::GetSystemTimeAsFileTime(&now);
    LARGE_INTEGER counter = {};
    ::QueryPerformanceCounter(&counter);

    std::uintptr_t seed = Fold((std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime);
    seed ^= Fold(static_cast<std::uint64_t>(counter.QuadPart));
    seed ^= static_cast<std::uintptr_t>(::GetCurrentProcessId()) << 16;
    seed ^= ::GetCurrentThreadId();
    seed ^= Fold(::GetTickCount64()) << 8;
    seed ^= reinterpret_cast<std::uintptr_t>(&now);
    if (seed == 0 || seed == kUnseededStackGuard)  // GCOVR_EXCL_BR_LINE: odds of 2 in 2^32
        seed = kUnseededStackGuard + 1;            // GCOVR_EXCL_LINE
    __stack_chk_guard = seed;
}
