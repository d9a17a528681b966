// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

// GCC's stack protector compares a copy of __stack_chk_guard on each
// protected frame and calls __stack_chk_fail when it has changed. The
// project provides both itself, from kernel32 alone: the toolchain's libssp
// would add an advapi32 import and run crypto calls inside DllMain, under
// the loader lock.
// NOLINTBEGIN(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp): the compiler's names.
extern "C" std::uintptr_t __stack_chk_guard;
extern "C" [[noreturn]] void __stack_chk_fail();
// NOLINTEND(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)

// The guard's value until SeedStackGuard runs (the platform compiler's own defaults).
inline constexpr std::uintptr_t kUnseededStackGuard =
    sizeof(std::uintptr_t) == 8 ? static_cast<std::uintptr_t>(0x00002B992DDFA232ULL) : 0xBB40E64EU;

// Gives the guard a value that differs from run to run. Called by the image's
// entry point before anything else, so no protected frame exists yet whose
// copy would then no longer match.
void SeedStackGuard() noexcept;
