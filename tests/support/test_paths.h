// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <string>

// Where the binaries under test are: the deliverables' folder and the test
// packages' folder come from the environment, the helper programs sit beside
// the test program itself.
std::filesystem::path DistDirectory();
std::filesystem::path PackagesDirectory();
std::filesystem::path TestBinDirectory();
std::filesystem::path StandInChildPath();
// Where Wine and Windows differ, tests expect what Windows documents.
bool RunningUnderWine();

// A fresh folder under the temporary directory, removed with everything in it
// when the test is done.
class ScratchDirectory {
public:
    explicit ScratchDirectory(const std::wstring& name = L"scratch");
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

std::string ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);
// Text in the given Windows code page (CP_UTF8, CP_ACP...) as wide text.
std::wstring Decode(const std::string& bytes, unsigned codePage);
// The text a stand-in child recorded: one command line per start, UTF-8.
std::wstring ReadUtf8File(const std::filesystem::path& path);
std::string ToUtf8(const std::wstring& text);
