// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

// Appended to the temporary directory, which already ends in a backslash; the
// doubled separator is harmless and log readers know the file by this name.
inline constexpr wchar_t kLogFileName[] = L"\\ovt18helper.log";

inline constexpr wchar_t kRedistributableCommandLine[] = L"vcredist_x86.exe /quiet /norestart";

inline constexpr wchar_t kRunnerErrorPrefix[] = L"Error";

std::wstring RedistributableResultLine(std::uint32_t childExitCode);
