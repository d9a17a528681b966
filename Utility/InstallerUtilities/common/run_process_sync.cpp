// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include "run_process_sync.h"

#include <windows.h>

#include <cwchar>

#include "process_messages.h"
#include "process_platform.h"
#include "unique_handle.h"
#include "wide_buffer.h"

namespace {

using OwnedHandle = UniqueHandle<HANDLE, process_platform::CloseHandle>;

}  // namespace

bool RunProcessSync(const std::wstring& commandLine, std::wstring_view errorPrefix,
                    const ReportSink& report, std::uint32_t& exitCode)
{
    // CreateProcessW may write into its command line, so it gets a copy of its own.
    const WideBuffer writableCommandLine =
        AllocateWideBuffer(std::uint64_t{commandLine.size()} + 1);
    std::wmemcpy(writableCommandLine.get(), commandLine.c_str(), commandLine.size() + 1);

    STARTUPINFOW startupInfo = {};
    startupInfo.cb = sizeof startupInfo;
    PROCESS_INFORMATION processInformation = {};
    if (!process_platform::CreateProcessW(nullptr, writableCommandLine.get(), nullptr, nullptr,
                                          FALSE, 0, nullptr, nullptr, &startupInfo,
                                          &processInformation)) {
        const DWORD error = ::GetLastError();
        report(CreateProcessFailedMessage(errorPrefix, commandLine, error));
        return false;
    }
    // Declared thread first so that the process handle is closed before it;
    // both close only after any report below, which reads the last error first.
    const OwnedHandle thread(processInformation.hThread);
    const OwnedHandle process(processInformation.hProcess);

    if (process_platform::WaitForSingleObject(process.get(), INFINITE) == WAIT_FAILED) {
        report(WaitFailedMessage(errorPrefix));
        return false;
    }

    DWORD code = 0;
    if (!process_platform::GetExitCodeProcess(process.get(), &code)) {
        const DWORD error = ::GetLastError();
        report(ExitCodeUnreadableMessage(errorPrefix, error));
        return false;
    }
    exitCode = code;
    return true;
}
