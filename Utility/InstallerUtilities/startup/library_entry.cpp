// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
// The library's entry point (linked with -e, and without the C runtime's
// start-up objects): seeds the stack guard and starts the image when the
// library is loaded, ends the image when it is unloaded. Nothing on the way
// loads a DLL, as befits code under the loader lock.
#include <windows.h>

#include "image_lifetime.h"
#include "stack_guard.h"

// Named by the link line, not by any source.
extern "C" BOOL WINAPI SeededLibraryEntry(HANDLE module, DWORD reason, LPVOID reserved);

// Not protected itself: it changes the very value a protected frame would check on return.
extern "C" __attribute__((no_stack_protector)) BOOL WINAPI SeededLibraryEntry(HANDLE /*module*/,
                                                                              DWORD reason,
                                                                              LPVOID /*reserved*/)
{
    if (reason == DLL_PROCESS_ATTACH) {
        SeedStackGuard();
        StartImage();
    } else if (reason == DLL_PROCESS_DETACH) {
        EndImage();
    }
    return TRUE;
}
