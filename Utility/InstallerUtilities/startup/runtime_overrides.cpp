// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
// Replacements for corners of the statically linked runtimes. The C++
// runtime's own versions of the last two drag in far more than these binaries
// use: the demangler, and the whole narrow-string and exception-class
// machinery behind the standard library's error reports. Together they are
// most of the size of a binary that is otherwise a few kilobytes of code.
// The runtime's own declarations of what is replaced, so that the signatures
// are the runtime's.
#include <bits/functexcept.h>
#include <cstdlib>
#include <exception>
#include <new>

#include "abnormal_end.h"

// The C runtime's abort can put up a message box in a program without a
// console, and in a silent installation, or as SYSTEM, nobody is there to
// close it. Every abnormal end of the runtimes linked in (terminate, a pure
// virtual call, a broken unwind) comes here instead.
extern "C" void abort()  // GCOVR_EXCL_START: the process ends, its counts unwritten
{
    EndProcessAbnormally();
}

namespace __gnu_cxx {

// Prints the demangled type of an uncaught exception to a console these
// binaries never have. Nothing is left uncaught by design; should that ever
// change, ending at once is all that is needed.
__attribute__((noreturn)) void __verbose_terminate_handler()
{
    EndProcessAbnormally();
}  // GCOVR_EXCL_STOP

}  // namespace __gnu_cxx

// NOLINTBEGIN(cert-dcl58-cpp): these are the runtime's own hooks, defined
// where the runtime declares them.
namespace std {

// The standard library reports its failures through these. The ones that can
// happen here are requests for more than memory can give (a string beyond its
// largest size, an array too long to allocate); the others (a string made from
// a null pointer, an empty std::function called) cannot happen in this code.
// Each fails the way running out of memory does, which every caller handles.
// GCOVR_EXCL_START: only the shipped images, which no test can starve, link these.
void __throw_bad_alloc()
{
    throw std::bad_alloc();
}

void __throw_bad_array_new_length()
{
    throw std::bad_alloc();
}

void __throw_length_error(const char* /*what*/)
{
    throw std::bad_alloc();
}

void __throw_logic_error(const char* /*what*/)
{
    throw std::bad_alloc();
}

void __throw_bad_function_call()
{
    throw std::bad_alloc();
}
// GCOVR_EXCL_STOP

}  // namespace std
// NOLINTEND(cert-dcl58-cpp)
