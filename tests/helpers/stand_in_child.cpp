// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
// Stands in for the redistributable installer and for any program a custom
// action runs. Steered through its environment, since its command line is
// often fixed by the program under test:
//   STAND_IN_RECORD     file to which each start appends its command line (UTF-8)
//   STAND_IN_HOLD       while this file exists, keep running (a minute at most)
//   STAND_IN_EXIT_CODE  exit code, decimal or 0x-hex
//   STAND_IN_SLEEP_MS   run this long before ending
//   STAND_IN_LEAVE_RUNNING  start a copy of this program that holds (as
//                       STAND_IN_HOLD) while the file named here exists, and
//                       end without waiting for it
//   STAND_IN_INHERITABLE_HANDLE, STAND_IN_INHERITABLE_FILE  a handle value that
//                       the starter holds inheritable, and the file it is open
//                       on: exit with 1 when this program holds that file under
//                       that value (it was given the starter's handles)
// A first argument that is a number overrides STAND_IN_EXIT_CODE. Others end
// the program the way the shipped programs end when something goes wrong, or
// tell what the start-up they share with them did:
//   smash-stack   overruns a buffer on the stack
//   terminate     calls std::terminate
//   abort         calls abort
//   stack-guard   exits with (the low 32 bits of) the stack guard's value
//   call-invalid-target  calls one byte into a function, no valid call target
//   guard-enforced  exits with 1 when Windows checks this process's indirect calls, else 0
//   throw-and-catch  exits with 0xCA06 once a C++ exception has unwound to its handler
//   call-export DLL NAME  loads the library, exits with what its entry point NAME
//                 (__stdcall, given a zero handle) returns, after unloading it
// The command line is recorded (STAND_IN_RECORD) before any of these.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <exception>
#include <new>
#include <string>

#include "stack_guard.h"

namespace {

std::wstring Variable(const wchar_t* name)
{
    wchar_t value[1024];
    const DWORD length = ::GetEnvironmentVariableW(name, value, 1024);
    return length > 0 && length < 1024 ? std::wstring(value, length) : std::wstring();
}

bool ParseCode(const std::wstring& text, DWORD& code)
{
    if (text.empty())
        return false;
    wchar_t* end = nullptr;
    code = static_cast<DWORD>(std::wcstoul(text.c_str(), &end, 0));
    return *end == L'\0';
}

void Record(const std::wstring& path)
{
    const std::wstring line = std::wstring(::GetCommandLineW()) + L"\n";
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), bytes.data(),
                          size, nullptr, nullptr);
    const HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
}

void LeaveACopyRunning(const std::wstring& holdFile)
{
    // The copy inherits this environment, and whatever this program was
    // given to inherit: nothing of its starter's must be among it.
    ::SetEnvironmentVariableW(L"STAND_IN_LEAVE_RUNNING", nullptr);
    ::SetEnvironmentVariableW(L"STAND_IN_HOLD", holdFile.c_str());
    wchar_t program[MAX_PATH];
    ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(program) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                         &startup, &info)) {
        ::CloseHandle(info.hThread);
        ::CloseHandle(info.hProcess);
    }
}

bool SameFile(HANDLE a, HANDLE b)
{
    BY_HANDLE_FILE_INFORMATION first = {};
    BY_HANDLE_FILE_INFORMATION second = {};
    return ::GetFileInformationByHandle(a, &first) != FALSE &&
           ::GetFileInformationByHandle(b, &second) != FALSE &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

bool HoldsStartersHandle(const std::wstring& value, const std::wstring& path)
{
    auto* const handle = reinterpret_cast<HANDLE>(
        static_cast<std::uintptr_t>(std::wcstoull(value.c_str(), nullptr, 0)));
    const HANDLE file =
        ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const bool holds = file != INVALID_HANDLE_VALUE && SameFile(handle, file);
    if (file != INVALID_HANDLE_VALUE)
        ::CloseHandle(file);
    return holds;
}

constexpr DWORD kCaught = 0xCA06;

volatile std::size_t overrunLength = 64;

__attribute__((noinline)) void OverrunStackBuffer()
{
    char buffer[16];
    std::memset(buffer, 0x5A, overrunLength);
    asm volatile("" : : "r"(buffer) : "memory");
}

// One byte into 16 no-operations (a guard bitmap slot): no valid target, yet it runs.
__attribute__((noinline, aligned(16))) void CallTarget()
{
    asm volatile(".fill 16, 1, 0x90");
}
void (*volatile invalidTarget)() =
    reinterpret_cast<void (*)()>(reinterpret_cast<char*>(&CallTarget) + 1);

[[noreturn]] __attribute__((noinline)) void Throw()
{
    throw std::bad_alloc();
}

DWORD GuardEnforced()
{
    // ProcessControlFlowGuardPolicy (7), bit 0: EnableControlFlowGuard; the query is Windows 8's.
    using Query = BOOL(WINAPI*)(HANDLE, int, void*, SIZE_T);
    const auto query = reinterpret_cast<Query>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetProcessMitigationPolicy")));
    DWORD policy = 0;
    return query != nullptr && query(::GetCurrentProcess(), 7, &policy, sizeof policy) ? policy & 1
                                                                                       : 0;
}

DWORD CallExport(const wchar_t* library, const wchar_t* name)
{
    const HMODULE module = ::LoadLibraryW(library);
    const std::string narrow(name, name + std::wcslen(name));
    using EntryPoint = UINT(WINAPI*)(DWORD);
    const auto entry = reinterpret_cast<EntryPoint>(reinterpret_cast<void (*)()>(
        module != nullptr ? ::GetProcAddress(module, narrow.c_str()) : nullptr));
    const DWORD result = entry != nullptr ? entry(0) : ::GetLastError();
    if (module != nullptr)
        ::FreeLibrary(module);
    return result;
}

void EndAsAsked(int argc, wchar_t* argv[])
{
    const std::wstring how = argv[1];
    if (how == L"smash-stack")
        OverrunStackBuffer();
    else if (how == L"terminate")
        std::terminate();
    else if (how == L"abort")
        std::abort();
    else if (how == L"stack-guard")
        ::ExitProcess(static_cast<DWORD>(__stack_chk_guard));
    else if (how == L"call-invalid-target")
        invalidTarget();
    else if (how == L"guard-enforced")
        ::ExitProcess(GuardEnforced());
    else if (how == L"call-export" && argc > 3)
        ::ExitProcess(CallExport(argv[2], argv[3]));
    else if (how == L"throw-and-catch") {
        try {
            Throw();
        } catch (const std::bad_alloc&) {
            ::ExitProcess(kCaught);
        }
    }
}

}  // namespace

// NOLINTNEXTLINE(misc-use-internal-linkage): the C runtime's start-up calls it by name.
int wmain(int argc, wchar_t* argv[])
{
    const std::wstring record = Variable(L"STAND_IN_RECORD");
    if (!record.empty())
        Record(record);
    if (argc > 1)
        EndAsAsked(argc, argv);

    const std::wstring hold = Variable(L"STAND_IN_HOLD");
    const std::wstring leaveRunning = Variable(L"STAND_IN_LEAVE_RUNNING");
    if (!leaveRunning.empty())
        LeaveACopyRunning(leaveRunning);

    DWORD sleep = 0;
    if (ParseCode(Variable(L"STAND_IN_SLEEP_MS"), sleep))
        ::Sleep(sleep);

    for (int waited = 0; !hold.empty() && waited < 60000 &&
                         ::GetFileAttributesW(hold.c_str()) != INVALID_FILE_ATTRIBUTES;
         waited += 20)
        ::Sleep(20);

    DWORD code = 0;
    if (argc <= 1 || !ParseCode(argv[1], code))
        ParseCode(Variable(L"STAND_IN_EXIT_CODE"), code);
    const std::wstring inheritable = Variable(L"STAND_IN_INHERITABLE_HANDLE");
    if (!inheritable.empty() &&
        HoldsStartersHandle(inheritable, Variable(L"STAND_IN_INHERITABLE_FILE")))
        code = 1;
    // ExitProcess, not a return: the C runtime must not narrow codes such as 0xC0000005.
    ::ExitProcess(code);
}
