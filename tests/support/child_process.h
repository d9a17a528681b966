// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <filesystem>
#include <map>
#include <string>

#include "unique_handle.h"

using KernelHandle = UniqueHandle<HANDLE, ::CloseHandle>;

// Environment variables to set for a child on top of the test's own; an empty
// value removes the variable.
using EnvironmentOverrides = std::map<std::wstring, std::wstring>;

// Starts a program with its own environment block: under Wine that is the only
// way to move a child's temporary directory, since TMP and TEMP come from the
// prefix, not from the Unix environment.
KernelHandle StartProcess(const std::wstring& commandLine, const EnvironmentOverrides& overrides,
                          const std::filesystem::path& workingDirectory);

// Waits (a minute at most, so that a hang fails the test instead of the run) and
// returns the exit code.
DWORD WaitForExitCode(HANDLE process);

DWORD RunProcess(const std::wstring& commandLine, const EnvironmentOverrides& overrides,
                 const std::filesystem::path& workingDirectory);

std::wstring Quoted(const std::filesystem::path& path);
