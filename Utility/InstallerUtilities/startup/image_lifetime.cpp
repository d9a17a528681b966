// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include "image_lifetime.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>

// NOLINTBEGIN(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp): the toolchain's names.
using ListedFunction = void (*)();
// The linker's lists of the .ctors and .dtors sections: -1, the functions, 0.
// Destructors of objects are registered with atexit instead; .dtors holds what
// GCC's coverage counting writes out at the end.
extern "C" ListedFunction __CTOR_LIST__[];
extern "C" ListedFunction __DTOR_LIST__[];
#if defined(__i386__)
// C++ exceptions unwind here with the tables of .eh_frame, which the unwinder
// linked in must be told of. FrameListBegin starts the section and a zero word
// ends it (startup/frame_list_begin.S, frame_list_end.S).
extern "C" const char FrameListBegin[];
extern "C" void __register_frame_info(const void* begin, void* record);
extern "C" void* __deregister_frame_info(const void* begin);
#endif
// NOLINTEND(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)

namespace {

// The C standard's minimum, far more than these images register (the runtime's
// emergency exception pool, and the destructors).
constexpr LONG kExitFunctionCapacity = 32;
// NOLINTBEGIN(cppcoreguidelines-avoid-non-const-global-variables): the image's own state.
ListedFunction exitFunctions[kExitFunctionCapacity] = {};
LONG exitFunctionsRegistered = 0;
#if defined(__i386__)
// The unwinder's record of the tables (GCC's struct object, six words), with room to spare.
alignas(void*) unsigned char frameListRecord[16 * sizeof(void*)] = {};
#endif
// NOLINTEND(cppcoreguidelines-avoid-non-const-global-variables)

// The functions listed or registered here come partly from the runtime
// libraries, built without the guard, whose objects the linker cannot name in
// the table of valid call targets: these calls are not checked. (GCC, which
// builds the coverage twin, has no guard.)
#if defined(__clang__)
#define CALLS_UNCHECKED __attribute__((guard(nocf)))
#else
#define CALLS_UNCHECKED
#endif

CALLS_UNCHECKED void RunDestructors()
{
    // GCOVR_EXCL_BR_START: the loop ends after the coverage counts are written, by a destructor.
    for (ListedFunction* destructor = __DTOR_LIST__ + 1; *destructor != nullptr; ++destructor)
        (*destructor)();
    // GCOVR_EXCL_BR_STOP
}

CALLS_UNCHECKED void RunConstructors()
{
    // Last listed first, as GCC's own start-up runs them.
    ListedFunction* last = __CTOR_LIST__ + 1;
    while (*last != nullptr)
        ++last;
    while (--last != __CTOR_LIST__)
        (*last)();
}

CALLS_UNCHECKED void RunExitFunctions()
{
    // Any that these register in turn run too. GCOVR_EXCL_BR_START: the loop ends after the
    // coverage counts are written, by RunDestructors.
    for (LONG count = 0; (count = std::min(exitFunctionsRegistered, kExitFunctionCapacity)) > 0;) {
        exitFunctionsRegistered = count - 1;
        exitFunctions[count - 1]();
    }
    // GCOVR_EXCL_BR_STOP
}

}  // namespace

// Kept by the image, not by msvcrt.dll, whose exit would call them through the guard.
extern "C" int atexit(ListedFunction function)
{
    const LONG slot = ::InterlockedIncrement(&exitFunctionsRegistered) - 1;
    if (slot >= kExitFunctionCapacity)  // GCOVR_EXCL_BR_LINE: nothing here registers that many
        return -1;  // GCOVR_EXCL_LINE
    exitFunctions[slot] = function;
    return 0;
}

void StartImage() noexcept
{
#if defined(__i386__)
    __register_frame_info(FrameListBegin, frameListRecord);
#endif
    RunConstructors();
    static_cast<void>(atexit(RunDestructors));
}

void EndImage() noexcept
{
    RunExitFunctions();
#if defined(__i386__)
    static_cast<void>(__deregister_frame_info(FrameListBegin));
#endif
}
