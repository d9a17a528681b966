// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>
#include <msi.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using Lines = std::vector<std::wstring>;

// A real installation session of Wine's (or Windows') installer on a package,
// as the installer hands it to a custom action, with the information lines
// it would write to the installation log captured for the test.
class InstallerSession {
public:
    explicit InstallerSession(const std::filesystem::path& package);
    ~InstallerSession();
    InstallerSession(const InstallerSession&) = delete;
    InstallerSession& operator=(const InstallerSession&) = delete;

    MSIHANDLE handle() const { return handle_; }
    std::wstring Property(const std::wstring& name) const;
    void SetProperty(const std::wstring& name, const std::wstring& value) const;
    // The information lines logged since the session opened, formatted as the log shows them.
    const Lines& LogLines() const;
    // Whether each line is CreateProcessFailedMessage(L"ERROR", commandLine, whatever code).
    ::testing::AssertionResult LoggedOnlyFailedStartsOf(const std::wstring& commandLine) const;

private:
    MSIHANDLE handle_ = 0;
};

std::filesystem::path SessionPackagePath();

// A property's value as the installer holds it; empty when undefined.
std::wstring ReadProperty(MSIHANDLE install, const std::wstring& name);
