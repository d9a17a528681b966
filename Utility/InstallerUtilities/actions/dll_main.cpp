// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include <windows.h>

// Every action keeps its state within its own call, so there is nothing to set up or tear down.
// NOLINTNEXTLINE(misc-use-internal-linkage): the C runtime's start-up calls it by name.
BOOL WINAPI DllMain(HINSTANCE /*module*/, DWORD /*reason*/, LPVOID /*reserved*/)
{
    return TRUE;
}
