#include "log_file.h"

#include <share.h>

#include <ctime>

#include "log_line.h"

LogFile OpenLogFile(const std::wstring& path)
{
    return LogFile(_wfsopen(path.c_str(), L"w", _SH_DENYRW));
}

void WriteLogLine(std::FILE* file, std::wstring_view message)
{
    // Text mode turns each line feed into CR LF, and the default "C" locale writes
    // each character below U+0100 as the byte of the same value.
    const std::wstring line = FormatLogLine(LocalTimeOf(std::time(nullptr)), message);
    std::fputws(line.c_str(), file);
}
