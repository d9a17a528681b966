#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using LogFile = std::unique_ptr<std::FILE, FileCloser>;

// Creates or truncates the log for writing in text mode, held exclusively:
// nobody else can open it, to read or to write, until it is closed. Empty when
// it cannot be opened.
LogFile OpenLogFile(const std::wstring& path);

// Writes one timestamped line. Write failures are ignored: there is nowhere else to report them.
void WriteLogLine(std::FILE* file, std::wstring_view message);
