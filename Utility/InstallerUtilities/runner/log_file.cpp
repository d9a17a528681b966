// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include "log_file.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <ctime>

#include <cstdint>
#include <optional>
#include <string_view>

#include "final_path.h"
#include "log_line.h"
#include "unique_handle.h"

namespace {

using OwnedHandle = UniqueHandle<HANDLE, ::CloseHandle>;

constexpr DWORD kNotPlain =
    FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_REPARSE_POINT;

// A disk file, not a directory, device or reparse point (symbolic link,
// junction, mount point; Windows makes these, Wine cannot), and with no other
// name (hard link) through which it is someone else's file.
bool IsPlainFileOfItsOwn(HANDLE file)
{
    BY_HANDLE_FILE_INFORMATION information = {};
    // GCOVR_EXCL_BR_START: Wine makes no reparse points, and the log's path opens no directory or
    // device; the end-to-end tests plant a hard link.
    return ::GetFileInformationByHandle(file, &information) != FALSE &&
           ::GetFileType(file) == FILE_TYPE_DISK &&
           (information.dwFileAttributes & kNotPlain) == 0 && information.nNumberOfLinks == 1;
    // GCOVR_EXCL_BR_STOP
}

// A disk folder itself, not a junction or link that leads to one.
bool IsPlainFolder(HANDLE folder)
{
    BY_HANDLE_FILE_INFORMATION information = {};
    // GCOVR_EXCL_BR_START: Wine makes no junctions; the tests for them run on Windows.
    return ::GetFileInformationByHandle(folder, &information) != FALSE &&
           ::GetFileType(folder) == FILE_TYPE_DISK &&
           (information.dwFileAttributes & kNotPlain) == FILE_ATTRIBUTE_DIRECTORY;
    // GCOVR_EXCL_BR_STOP
}

// Where the file really is must be the folder, where it really is, and the log's name: a link
// or junction further up the path, or one the checks on the file cannot see (Wine's), would
// otherwise send the log onto another file.
bool IsWhereItsNameSays(HANDLE file, HANDLE folder, std::wstring_view name)
{
    const std::optional<std::wstring> filePath = FinalPathOf(file);
    const std::optional<std::wstring> folderPath = FinalPathOf(folder);
    // GCOVR_EXCL_BR_START: an open folder always has a final path (a file's may be too long for
    // Wine).
    return filePath && folderPath && IsFinalPathInFolder(*filePath, *folderPath, name);
    // GCOVR_EXCL_BR_STOP
}

// Marks a file this run created, and refuses, for deletion when its handle closes.
void Discard(HANDLE file)
{
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    static_cast<void>(
        ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition));
}

}  // namespace

LogFile OpenLogFile(const std::wstring& path)
{
    // The log often lives in a folder that other users can write to (the
    // Windows temp folder, for SYSTEM; the user's own, for an elevated run).
    // So the folder is opened itself, not through a junction there; the file
    // is opened without truncating it and without following a link, and only
    // once it is known to be a plain file of its own, in that very folder, is
    // it emptied and written: a planted link must not turn the log into a
    // write onto another file.
    const std::size_t nameStart = path.rfind(L'\\') + 1;
    // The folder ends in one backslash of those before the name: "C:\" stays a root.
    const std::size_t folderEnd = path.find_last_not_of(L'\\', nameStart - 1) + 2;
    const HANDLE openedFolder = ::CreateFileW(
        std::wstring(path.data(), folderEnd).c_str(), FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    // GetTempPathW names an existing folder: it takes one removed since to fail here.
    if (openedFolder == INVALID_HANDLE_VALUE)  // GCOVR_EXCL_BR_LINE
        return {};  // GCOVR_EXCL_LINE
    const OwnedHandle folder(openedFolder);
    if (!IsPlainFolder(folder.get()))  // GCOVR_EXCL_BR_LINE: refused in Windows-only rows
        return {};  // GCOVR_EXCL_LINE

    // A file this run creates is its own to remove again; one that is there
    // already is only written to.
    constexpr DWORD kFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
    bool created = true;
    HANDLE opened = ::CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                  kFlags, nullptr);
    // GCOVR_EXCL_BR_START: no test's folder refuses a new file for another reason.
    if (opened == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_FILE_EXISTS) {
        // GCOVR_EXCL_BR_STOP
        created = false;
        opened =
            ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, kFlags, nullptr);
    }
    if (opened == INVALID_HANDLE_VALUE)
        return {};
    OwnedHandle file(opened);

    if (!IsPlainFileOfItsOwn(file.get()) ||
        !IsWhereItsNameSays(file.get(), folder.get(),
                            std::wstring_view(path.data() + nameStart, path.size() - nameStart))) {
        if (created)
            Discard(file.get());
        return {};
    }
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
