// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include "test_paths.h"

#include <windows.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace {

fs::path DirectoryFromEnvironment(const wchar_t* name)
{
    wchar_t value[4096];
    const DWORD length = ::GetEnvironmentVariableW(name, value, 4096);
    if (length == 0 || length >= 4096)
        throw std::runtime_error("environment variable not set for the test");
    // Unix paths from the build work under Wine once made absolute on its Z: drive.
    wchar_t full[4096];
    ::GetFullPathNameW(value, 4096, full, nullptr);
    return {full};
}

}  // namespace

fs::path DistDirectory()
{
    return DirectoryFromEnvironment(L"INSTALLER_UTILITIES_DIST");
}

fs::path PackagesDirectory()
{
    return DirectoryFromEnvironment(L"INSTALLER_UTILITIES_PACKAGES");
}

fs::path TestBinDirectory()
{
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    return fs::path(self).parent_path();
}

fs::path StandInChildPath()
{
    return TestBinDirectory() / L"stand_in_child.exe";
}

bool RunningUnderWine()
{
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

ScratchDirectory::ScratchDirectory(const std::wstring& name)
{
    static unsigned counter = 0;
    const fs::path base = fs::temp_directory_path();
    do {
        path_ = base / (name + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                        std::to_wstring(++counter));
    } while (fs::exists(path_));
    fs::create_directories(path_);
}

ScratchDirectory::~ScratchDirectory()
{
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string ReadFileBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFileBytes(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string ToUtf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                          size, nullptr, nullptr);
    return bytes;
}

std::wstring Decode(const std::string& bytes, unsigned codePage)
{
    if (bytes.empty())
        return {};
    const int size = ::MultiByteToWideChar(codePage, 0, bytes.data(),
                                           static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                          size);
    return text;
}

std::wstring ReadUtf8File(const fs::path& path)
{
    return Decode(ReadFileBytes(path), CP_UTF8);
}
