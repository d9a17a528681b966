// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include "temporary_directory.h"

std::optional<std::wstring> TemporaryDirectory()
{
    wchar_t buffer[MAX_PATH + 1] = {};
    return TemporaryDirectoryFromAnswer(::GetTempPathW(MAX_PATH + 1, buffer), buffer, MAX_PATH + 1);
}

std::optional<std::wstring> TemporaryDirectoryFromAnswer(DWORD answer, const wchar_t* buffer,
                                                         DWORD bufferLength)
{
    if (answer == 0 || answer >= bufferLength)
        return std::nullopt;
    return std::wstring(buffer);
}
