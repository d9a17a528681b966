// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <optional>
#include <string>

// The user's temporary directory, ending in a backslash; nothing when it
// cannot be determined.
std::optional<std::wstring> TemporaryDirectory();

// Reads GetTempPathW's answer. A path longer than the buffer comes back as the
// size it would need, with the buffer left unfilled: as unknown as a failure.
std::optional<std::wstring> TemporaryDirectoryFromAnswer(DWORD answer, const wchar_t* buffer,
                                                         DWORD bufferLength);
