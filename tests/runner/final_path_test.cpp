// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "final_path.h"
#include "test_paths.h"

TEST(FinalPath, NamesTheLogOnlyDirectlyInItsFolder)
{
    const struct {
        const wchar_t* file;
        const wchar_t* folder = L"\\\\?\\C:\\Users\\ann\\Temp";
        bool inFolder;
    } cases[] = {
        {.file = L"\\\\?\\C:\\Users\\ann\\Temp\\ovt18helper.log", .inFolder = true},
        {.file = L"\\\\?\\C:\\USERS\\Ann\\temp\\OVT18HELPER.LOG", .inFolder = true},
        // A root keeps its separator.
        {.file = L"\\\\?\\C:\\ovt18helper.log", .folder = L"\\\\?\\C:\\", .inFolder = true},
        {.file = L"\\\\?\\UNC\\server\\share\\Temp\\ovt18helper.log",
         .folder = L"\\\\?\\UNC\\server\\share\\Temp",
         .inFolder = true},
        // Where a link or junction led: another folder, a file of another name, a folder below.
        {.file = L"\\\\?\\C:\\Windows\\System32\\config\\SAM", .inFolder = false},
        {.file = L"\\\\?\\C:\\Users\\ann\\Temp\\victim.txt", .inFolder = false},
        {.file = L"\\\\?\\C:\\Users\\ann\\Temp\\x\\ovt18helper.log", .inFolder = false},
        {.file = L"\\\\?\\C:\\Users\\ann\\Temp2\\ovt18helper.log", .inFolder = false},
        {.file = L"\\\\?\\UNC\\server\\share\\Temp\\ovt18helper.log",
         .folder = L"\\\\?\\C:\\share\\Temp",
         .inFolder = false},
        // Final paths have long names only: a short name on one side is not the same folder.
        {.file = L"\\\\?\\C:\\Users\\RUNNER~1\\Temp\\ovt18helper.log",
         .folder = L"\\\\?\\C:\\Users\\runneradmin\\Temp",
         .inFolder = false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.inFolder, IsFinalPathInFolder(c.file, c.folder, L"ovt18helper.log"))
            << ToUtf8(c.file);
}
