// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
// The entry point of the project's programs (linked with -e, and without the
// C runtime's start-up objects): seeds the stack guard, starts the image, runs
// wmain with msvcrt.dll's parse of the command line, and ends the process
// with wmain's code.
#include <cstdlib>

#include "abnormal_end.h"
#include "image_lifetime.h"
#include "stack_guard.h"

// msvcrt.dll's start-up interface, which its headers leave to the C runtime's own objects.
// NOLINTBEGIN(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp): msvcrt.dll's names.
struct StartupInformation {
    int newMode;
};
extern "C" __declspec(dllimport) int __wgetmainargs(int* argc, wchar_t*** argv,
                                                    wchar_t*** environment, int expandWildcards,
                                                    StartupInformation* startup);
extern "C" __declspec(dllimport) void __set_app_type(int type);
// NOLINTEND(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
// The program's own.
extern "C" int wmain(int argc, wchar_t* argv[]);
// Named by the link line, not by any source.
extern "C" int SeededProgramEntry();

namespace {

constexpr int kGraphicalApplication = 2;  // _GUI_APP, as the programs are linked

[[noreturn]] void RunProgram()
{
    __set_app_type(kGraphicalApplication);
    int argc = 0;
    wchar_t** argv = nullptr;
    wchar_t** environment = nullptr;
    StartupInformation startup = {};
    // Fails only when msvcrt.dll has no memory for the arguments.
    if (__wgetmainargs(&argc, &argv, &environment, 0, &startup) < 0)  // GCOVR_EXCL_BR_LINE
        EndProcessAbnormally();  // GCOVR_EXCL_LINE: no test can starve msvcrt.dll
    StartImage();
    const int code = wmain(argc, argv);
    EndImage();
    // The process's one thread ends it, after the coverage counts are written.
    std::exit(code);  // NOLINT(concurrency-mt-unsafe) GCOVR_EXCL_LINE
}

}  // namespace

// Not protected itself: it changes the very value a protected frame would check on return.
extern "C" __attribute__((no_stack_protector)) int SeededProgramEntry()
{
    SeedStackGuard();
    RunProgram();
}
