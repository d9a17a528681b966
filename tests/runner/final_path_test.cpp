// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "final_path.h"
#include "test_paths.h"

TEST(FinalPath, NamesTheLogOnlyDirectlyInItsFolder)
{
    const struct {
        const wchar_t* file;
        const wchar_t* folder;
        bool inFolder;
    } cases[] = {
        {L"\\\\?\\C:\\Users\\ann\\Temp\\ovt18helper.log", L"\\\\?\\C:\\Users\\ann\\Temp", true},
        {L"\\\\?\\C:\\USERS\\Ann\\temp\\OVT18HELPER.LOG", L"\\\\?\\C:\\Users\\ann\\Temp", true},
        {L"\\\\?\\C:\\ovt18helper.log", L"\\\\?\\C:\\", true},  // a root keeps its separator
        {L"\\\\?\\UNC\\server\\share\\Temp\\ovt18helper.log", L"\\\\?\\UNC\\server\\share\\Temp",
         true},
        // Where a link or junction led: another folder, a file of another name, a folder further
        // down.
        {L"\\\\?\\C:\\Windows\\System32\\config\\SAM", L"\\\\?\\C:\\Users\\ann\\Temp", false},
        {L"\\\\?\\C:\\Users\\ann\\Temp\\victim.txt", L"\\\\?\\C:\\Users\\ann\\Temp", false},
        {L"\\\\?\\C:\\Users\\ann\\Temp\\x\\ovt18helper.log", L"\\\\?\\C:\\Users\\ann\\Temp", false},
        {L"\\\\?\\C:\\Users\\ann\\Temp2\\ovt18helper.log", L"\\\\?\\C:\\Users\\ann\\Temp", false},
        {L"\\\\?\\UNC\\server\\share\\Temp\\ovt18helper.log", L"\\\\?\\C:\\share\\Temp", false},
        // Final paths have long names only: a short name on one side is not the same folder.
        {L"\\\\?\\C:\\Users\\RUNNER~1\\Temp\\ovt18helper.log",
         L"\\\\?\\C:\\Users\\runneradmin\\Temp", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.inFolder, IsFinalPathInFolder(c.file, c.folder, L"ovt18helper.log"))
            << ToUtf8(c.file);
    }
}
