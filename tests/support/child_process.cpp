// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include "child_process.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <memory>
#include <vector>

namespace {

std::wstring UpperCase(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towupper(c));
    return text;
}

std::vector<wchar_t> EnvironmentBlock(const EnvironmentOverrides& overrides)
{
    std::map<std::wstring, std::wstring> variables;
    const std::unique_ptr<wchar_t, decltype(&::FreeEnvironmentStringsW)> current(
        ::GetEnvironmentStringsW(), &::FreeEnvironmentStringsW);
    for (const wchar_t* entry = current.get(); *entry != L'\0'; entry += wcslen(entry) + 1) {
        const std::wstring text(entry);
        const std::size_t equals = text.find(L'=', 1);  // names like "=C:" start with '='
        if (equals == std::wstring::npos)
            continue;
        variables[UpperCase(text.substr(0, equals))] = text;
    }
    for (const auto& [name, value] : overrides) {
        const std::wstring key = UpperCase(name);
        if (value.empty()) {
            variables.erase(key);
        } else {
            variables[key] = name + L"=";
            variables[key] += value;
        }
    }
    std::vector<wchar_t> block;
    for (const auto& entry : variables) {
        block.insert(block.end(), entry.second.begin(), entry.second.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

}  // namespace

KernelHandle StartProcess(const std::wstring& commandLine, const EnvironmentOverrides& overrides,
                          const std::filesystem::path& workingDirectory)
{
    std::vector<wchar_t> environment = EnvironmentBlock(overrides);
    std::wstring writable = commandLine;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE,
                          CREATE_UNICODE_ENVIRONMENT, environment.data(), workingDirectory.c_str(),
                          &startup, &info)) {
        ADD_FAILURE() << "cannot start the program under test, error " << ::GetLastError();
        return {};
    }
    ::CloseHandle(info.hThread);
    return KernelHandle(info.hProcess);
}

DWORD WaitForExitCode(HANDLE process)
{
    if (process == nullptr)
        return 0xDEADBEEF;
    if (::WaitForSingleObject(process, 60000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "the program under test did not end within a minute";
        ::TerminateProcess(process, 0xDEADBEEF);
        return 0xDEADBEEF;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process, &code);
    return code;
}

DWORD RunProcess(const std::wstring& commandLine, const EnvironmentOverrides& overrides,
                 const std::filesystem::path& workingDirectory)
{
    const KernelHandle process = StartProcess(commandLine, overrides, workingDirectory);
    return WaitForExitCode(process.get());
}

std::wstring Quoted(const std::filesystem::path& path)
{
    return L"\"" + path.wstring() + L"\"";
}
