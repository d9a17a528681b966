// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include <windows.h>

#include "runner_main.h"

namespace {

// Tarbel may run elevated from a folder that others can write to (a download
// folder, say). Any DLL the system loads on its behalf comes from System32
// only, never from beside the program or the current directory. Looked up at
// run time: Vista without the update that added it simply goes on as before.
void RestrictDllSearchToSystem32()
{
    constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const FARPROC found =
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    if (found != nullptr)  // GCOVR_EXCL_BR_LINE: Wine has the function
        reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void (*)()>(found))(
            kSearchSystem32);
}

}  // namespace

// NOLINTNEXTLINE(misc-use-internal-linkage): the C runtime's start-up calls it by name.
int wmain(int argc, wchar_t* argv[])
{
    RestrictDllSearchToSystem32();
    return RunnerMain(argc, argv);
}
