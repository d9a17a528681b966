// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

// Process state that a test changes for its own duration and puts back on
// every way out, a failed ASSERT included, so that no later case inherits it.

// One environment variable, set to a value or removed (nullptr). Both copies
// change: the process's block, which children inherit, and the C runtime's,
// from which its time functions read TZ.
class ScopedEnvironmentVariable {
public:
    ScopedEnvironmentVariable(std::wstring name, const wchar_t* value) : name_(std::move(name))
    {
        const DWORD length = ::GetEnvironmentVariableW(name_.c_str(), nullptr, 0);
        if (length > 0) {
            std::wstring old(length, L'\0');
            old.resize(::GetEnvironmentVariableW(name_.c_str(), old.data(), length));
            old_ = std::move(old);
        }
        Set(value);
    }
    ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
    ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;
    ~ScopedEnvironmentVariable() { Set(old_ ? old_->c_str() : nullptr); }

private:
    void Set(const wchar_t* value) const
    {
        // The runtime's copy first: an empty value there also removes the variable from the block.
        _wputenv_s(name_.c_str(), value != nullptr ? value : L"");
        ::SetEnvironmentVariableW(name_.c_str(), value);
    }

    std::wstring name_;
    std::optional<std::wstring> old_;
};

class ScopedCurrentDirectory {
public:
    explicit ScopedCurrentDirectory(const std::filesystem::path& directory)
        : old_(std::filesystem::current_path())
    {
        std::filesystem::current_path(directory);
    }
    ScopedCurrentDirectory(const ScopedCurrentDirectory&) = delete;
    ScopedCurrentDirectory& operator=(const ScopedCurrentDirectory&) = delete;
    ~ScopedCurrentDirectory()
    {
        std::error_code ignored;
        std::filesystem::current_path(old_, ignored);
    }

private:
    std::filesystem::path old_;
};
