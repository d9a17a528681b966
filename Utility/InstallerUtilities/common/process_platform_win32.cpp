// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include "process_platform.h"

namespace process_platform {

BOOL CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine,
                    LPSECURITY_ATTRIBUTES processAttributes, LPSECURITY_ATTRIBUTES threadAttributes,
                    BOOL inheritHandles, DWORD creationFlags, LPVOID environment,
                    LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
                    LPPROCESS_INFORMATION processInformation)
{
    return ::CreateProcessW(applicationName, commandLine, processAttributes, threadAttributes,
                            inheritHandles, creationFlags, environment, currentDirectory,
                            startupInfo, processInformation);
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    return ::WaitForSingleObject(handle, milliseconds);
}

BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode)
{
    return ::GetExitCodeProcess(process, exitCode);
}

BOOL CloseHandle(HANDLE handle)
{
    return ::CloseHandle(handle);
}

}  // namespace process_platform
