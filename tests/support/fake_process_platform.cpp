// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include "fake_process_platform.h"

#include "allocation_failure.h"
#include "process_platform.h"

namespace fake_process {
namespace {

Faults armed;
HANDLE lastProcess = nullptr;
HANDLE lastThread = nullptr;

}  // namespace

void Arm(const Faults& faults)
{
    armed = faults;
}

void Reset()
{
    armed = Faults();
    Events().clear();
    lastProcess = lastThread = nullptr;
}

std::vector<std::wstring>& Events()
{
    static std::vector<std::wstring> events;
    return events;
}

}  // namespace fake_process

namespace process_platform {

BOOL CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine,
                    LPSECURITY_ATTRIBUTES processAttributes, LPSECURITY_ATTRIBUTES threadAttributes,
                    BOOL inheritHandles, DWORD creationFlags, LPVOID environment,
                    LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
                    LPPROCESS_INFORMATION processInformation)
{
    const BOOL started = ::CreateProcessW(
        applicationName, commandLine, processAttributes, threadAttributes, inheritHandles,
        creationFlags, environment, currentDirectory, startupInfo, processInformation);
    if (started) {
        const AllocationFailurePause pause;
        fake_process::Events().emplace_back(L"start");
        fake_process::lastProcess = processInformation->hProcess;
        fake_process::lastThread = processInformation->hThread;
    }
    return started;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    if (fake_process::armed.failWait) {
        ::SetLastError(fake_process::armed.waitError);
        return WAIT_FAILED;
    }
    return ::WaitForSingleObject(handle, milliseconds);
}

BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode)
{
    if (fake_process::armed.failExitCodeRead) {
        // Let the child end first, so that the failure is the read's alone.
        ::WaitForSingleObject(process, INFINITE);
        ::SetLastError(fake_process::armed.exitCodeReadError);
        return FALSE;
    }
    return ::GetExitCodeProcess(process, exitCode);
}

BOOL CloseHandle(HANDLE handle)
{
    const AllocationFailurePause pause;
    if (handle == fake_process::lastProcess)
        fake_process::Events().emplace_back(L"close process");
    else if (handle == fake_process::lastThread)
        fake_process::Events().emplace_back(L"close thread");
    else
        fake_process::Events().emplace_back(L"close other");
    return ::CloseHandle(handle);
}

}  // namespace process_platform
