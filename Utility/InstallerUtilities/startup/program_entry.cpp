// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
// The entry point of the project's programs (linked with -e): seeds the stack
// guard, then hands over to the C runtime's own start-up.
#include "stack_guard.h"

extern "C" int WinMainCRTStartup();
// Named by the link line, not by any source.
extern "C" int SeededProgramEntry();

extern "C" __attribute__((no_stack_protector)) int SeededProgramEntry()
{
    SeedStackGuard();
    return WinMainCRTStartup();
}
