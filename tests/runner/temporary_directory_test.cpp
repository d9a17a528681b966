// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "temporary_directory.h"

TEST(TemporaryDirectory, OnlyAFilledBufferCounts)
{
    const wchar_t path[] = L"C:\\Users\\ann\\AppData\\Local\\Temp\\";
    const wchar_t unfilled[261] = {L'?'};
    const struct {
        DWORD answer;
        const wchar_t* buffer;
        std::optional<std::wstring> directory = std::nullopt;
    } cases[] = {
        {.answer = 32, .buffer = path, .directory = std::wstring(path)},
        // The longest path that fits with its NUL, and one more: the buffer was not filled.
        {.answer = 260, .buffer = path, .directory = std::wstring(path)},
        {.answer = 261, .buffer = unfilled},
        {.answer = 0, .buffer = unfilled},  // failure
        {.answer = 400, .buffer = unfilled},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.directory, TemporaryDirectoryFromAnswer(c.answer, c.buffer, 261)) << c.answer;
}
