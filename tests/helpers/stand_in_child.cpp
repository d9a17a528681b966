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
// tell what their stack guard is:
//   smash-stack   overruns a buffer on the stack
//   terminate     calls std::terminate
//   abort         calls abort
//   stack-guard   exits with (the low 32 bits of) the stack guard's value
//   call-invalid-target  calls one byte into a function, no valid call target
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <exception>
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

void EndAsAsked(const std::wstring& how)
{
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
}

}  // namespace

// NOLINTNEXTLINE(misc-use-internal-linkage): the C runtime's start-up calls it by name.
int wmain(int argc, wchar_t* argv[])
{
    if (argc > 1)
        EndAsAsked(argv[1]);

    const std::wstring record = Variable(L"STAND_IN_RECORD");
    if (!record.empty())
        Record(record);

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
