// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include "quorvane_library.h"

#include <gtest/gtest.h>

#include "test_paths.h"

namespace {

HMODULE Library()
{
    // Loaded once and kept for the life of the test program, as the installer's
    // custom-action server keeps it for a whole sequence.
    static const HMODULE library = ::LoadLibraryW((DistDirectory() / L"Quorvane.dll").c_str());
    return library;
}

}  // namespace

UINT CallEntryPoint(const char* exportName, MSIHANDLE install)
{
    const HMODULE library = Library();
    if (library == nullptr) {
        ADD_FAILURE() << "cannot load Quorvane.dll";
        return 0xDEADBEEF;
    }
    using EntryPoint = UINT(WINAPI*)(MSIHANDLE);
    const auto entryPoint = reinterpret_cast<EntryPoint>(
        reinterpret_cast<void (*)()>(::GetProcAddress(library, exportName)));
    if (entryPoint == nullptr) {
        ADD_FAILURE() << exportName << " is not exported";
        return 0xDEADBEEF;
    }
    return entryPoint(install);
}
