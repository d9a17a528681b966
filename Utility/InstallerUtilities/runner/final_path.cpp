// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include "final_path.h"

std::optional<std::wstring> FinalPathOf(HANDLE handle)
{
    // Room for the longest path there is ("Maximum Path Length Limitation": 32,767 characters).
    std::wstring path(32768, L'\0');
    const DWORD length =
        ::GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    // GCOVR_EXCL_BR_START: an open disk file or folder always has a final path that fits.
    if (length == 0 || length >= path.size())
        return std::nullopt;  // GCOVR_EXCL_LINE
    // GCOVR_EXCL_BR_STOP
    path.resize(length);
    return path;
}

bool IsFinalPathInFolder(std::wstring_view filePath, std::wstring_view folderPath,
                         std::wstring_view name)
{
    std::wstring expected(folderPath);
    // A volume's root already ends in one.
    if (expected.empty() || expected.back() != L'\\')  // GCOVR_EXCL_BR_LINE: none is empty
        expected += L'\\';
    expected += name;
    return ::CompareStringOrdinal(filePath.data(), static_cast<int>(filePath.size()),
                                  expected.data(), static_cast<int>(expected.size()),
                                  TRUE) == CSTR_EQUAL;
}
