// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

// The exit code of every abnormal end: the one Windows itself gives a fail-fast.
inline constexpr std::uint32_t kAbnormalEndCode = 0xC0000409;  // STATUS_STACK_BUFFER_OVERRUN

// Ends the process at once with kAbnormalEndCode. No window, no handler, no
// other DLL: in a silent installation, or as SYSTEM, a dialog would hang the
// installation with nobody there to close it.
[[noreturn]] void EndProcessAbnormally() noexcept;
