// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
// The library's entry point (linked with -e): seeds the stack guard when the
// library is loaded, then hands over to the C runtime's own start-up, which
// calls DllMain. Only kernel32 is used here, as befits code under the loader lock.
#include <windows.h>

#include "stack_guard.h"

extern "C" BOOL WINAPI DllMainCRTStartup(HANDLE module, DWORD reason, LPVOID reserved);
// Named by the link line, not by any source.
extern "C" BOOL WINAPI SeededLibraryEntry(HANDLE module, DWORD reason, LPVOID reserved);

extern "C" __attribute__((no_stack_protector)) BOOL WINAPI SeededLibraryEntry(HANDLE module,
                                                                              DWORD reason,
                                                                              LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH)
        SeedStackGuard();
    return DllMainCRTStartup(module, reason, reserved);
}
