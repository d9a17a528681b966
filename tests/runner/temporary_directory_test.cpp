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
        std::optional<std::wstring> directory;
    } cases[] = {
        {32, path, std::wstring(path)},
        {260, path, std::wstring(path)},   // the longest path that fits with its NUL
        {0, unfilled, std::nullopt},       // failure
        {261, unfilled,
         std::nullopt},     // needs 261 characters and its NUL: the buffer was not filled
        {400, unfilled, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.directory, TemporaryDirectoryFromAnswer(c.answer, c.buffer, 261)) << c.answer;
}
