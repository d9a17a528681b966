// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

// Where an open file or folder really is, after every junction and link on
// the way: GetFinalPathNameByHandleW's normalized form (\\?\C:\..., or
// \\?\UNC\server\share\...). Nothing when the system cannot say.
std::optional<std::wstring> FinalPathOf(HANDLE handle);

// Whether a file's final path names `name` directly in a folder, given by its
// final path too: both come in the same form, with long names, so they
// compare as the file system compares names, ignoring letter case.
bool IsFinalPathInFolder(std::wstring_view filePath, std::wstring_view folderPath,
                         std::wstring_view name);
