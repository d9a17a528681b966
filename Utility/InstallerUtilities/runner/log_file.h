// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

struct FileCloser {
    // Closing flushes the log's line; a failure there is ignored like any write failure.
    void operator()(std::FILE* file) const noexcept { static_cast<void>(std::fclose(file)); }
};
using LogFile = std::unique_ptr<std::FILE, FileCloser>;

// Creates or replaces the log and opens it for writing in text mode, held
// exclusively: nobody else can open it, to read or to write, until it is
// closed. Empty when it cannot be opened, and also when the path names
// anything but a plain disk file of its own (a link, a directory, a device),
// which is then left exactly as it was.
LogFile OpenLogFile(const std::wstring& path);

// Writes one timestamped line. Write failures are ignored: there is nowhere else to report them.
void WriteLogLine(std::FILE* file, std::wstring_view message);
