// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include "log_file.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <ctime>

#include <cstdint>

#include "log_line.h"
#include "unique_handle.h"

namespace {

using OwnedHandle = UniqueHandle<HANDLE, ::CloseHandle>;

// A disk file, not a directory, device or reparse point (symbolic link,
// junction, mount point; Windows makes these, Wine cannot), and with no other
// name (hard link) through which it is someone else's file.
bool IsPlainFileOfItsOwn(DWORD fileType, DWORD attributes, DWORD linkCount)
{
    constexpr DWORD kNotAPlainFile =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_REPARSE_POINT;
    // GCOVR_EXCL_BR_START: Wine makes no reparse points, and the log's path opens no directory or
    // device; the end-to-end tests plant a hard link.
    return fileType == FILE_TYPE_DISK && (attributes & kNotAPlainFile) == 0 && linkCount == 1;
    // GCOVR_EXCL_BR_STOP
}

}  // namespace

LogFile OpenLogFile(const std::wstring& path)
{
    // The log often lives in a folder that other users can write to (the
    // Windows temp folder, for SYSTEM). So the file is opened without
    // truncating it and without following a link, and only once it is known
    // to be a plain file of its own is it emptied and written: a planted link
    // must not turn the log into a write onto another file.
    const HANDLE opened =
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return {};
    OwnedHandle file(opened);

    BY_HANDLE_FILE_INFORMATION information = {};
    if (!::GetFileInformationByHandle(file.get(), &information) ||
        !IsPlainFileOfItsOwn(::GetFileType(file.get()), information.dwFileAttributes,
                             information.nNumberOfLinks))
        return {};
    // GCOVR_EXCL_BR_START: on a plain file just opened for writing, these fail only when the
    // system or the runtime runs out (of disk, descriptors, memory), which no test can arrange.
    if (!::SetEndOfFile(file.get()))  // replaces an earlier run's log
        return {};  // GCOVR_EXCL_LINE

    // Text mode: each line feed becomes CR LF.
    const int descriptor =
        ::_open_osfhandle(reinterpret_cast<std::intptr_t>(file.get()), _O_WRONLY | _O_TEXT);
    if (descriptor == -1)
        return {};  // GCOVR_EXCL_LINE
    // The descriptor owns the handle now, and closes it.
    static_cast<void>(file.release());
    LogFile log(::_wfdopen(descriptor, L"wt"));
    if (!log)
        ::_close(descriptor);  // GCOVR_EXCL_LINE
    // GCOVR_EXCL_BR_STOP
    return log;
}

void WriteLogLine(std::FILE* file, std::wstring_view message)
{
    // The default "C" locale writes each character below U+0100 as the byte of
    // the same value. The clock is read as 64-bit seconds on every
    // architecture: a 32-bit read ends in January 2038.
    const std::wstring line = FormatLogLine(LocalTimeOf(::_time64(nullptr)), message);
    // A failed write is not reported: the exit code, not the log, carries the
    // redistributable's result, and the log is where a report would go.
    static_cast<void>(std::fputws(line.c_str(), file));
}
