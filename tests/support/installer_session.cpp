// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include "installer_session.h"

#include <msiquery.h>

#include "allocation_failure.h"
#include "process_messages.h"
#include "test_paths.h"

namespace {

std::vector<std::wstring> capturedLines;

int WINAPI CaptureInformation(LPVOID /*context*/, UINT messageType, LPCWSTR message)
{
    const AllocationFailurePause pause;  // an exception must never unwind into the installer
    if ((messageType & 0xFF000000u) == INSTALLMESSAGE_INFO && message != nullptr)
        capturedLines.emplace_back(message);
    return 0;
}

}  // namespace

InstallerSession::InstallerSession(const std::filesystem::path& package)
{
    capturedLines.clear();
    ::MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    ::MsiSetExternalUIW(CaptureInformation, INSTALLLOGMODE_INFO, nullptr);
    const UINT result = ::MsiOpenPackageW(package.c_str(), &handle_);
    if (result != ERROR_SUCCESS)
        ADD_FAILURE() << "MsiOpenPackageW failed with " << result;
    capturedLines.clear();  // the installer's own "Logging started" banner
}

InstallerSession::~InstallerSession()
{
    if (handle_ != 0)
        ::MsiCloseHandle(handle_);
    ::MsiSetExternalUIW(nullptr, 0, nullptr);
}

std::wstring InstallerSession::Property(const std::wstring& name) const
{
    return ReadProperty(handle_, name);
}

void InstallerSession::SetProperty(const std::wstring& name, const std::wstring& value) const
{
    ASSERT_EQ(ERROR_SUCCESS, ::MsiSetPropertyW(handle_, name.c_str(), value.c_str()));
}

// One session is open at a time, and the lines are its own.
// NOLINTNEXTLINE(readability-convert-member-functions-to-static)
const Lines& InstallerSession::LogLines() const
{
    return capturedLines;
}

::testing::AssertionResult InstallerSession::LoggedOnlyFailedStartsOf(
    const std::wstring& commandLine) const
{
    for (const std::wstring& line : LogLines()) {
        // Its code, or 0 where a line ends in no digit, which then matches no report.
        const std::wstring code = L"0" + line.substr(line.find_last_not_of(L"0123456789") + 1);
        if (line != CreateProcessFailedMessage(L"ERROR", commandLine, std::stoul(code)))
            return ::testing::AssertionFailure() << "logged: " << ToUtf8(line.substr(0, 200));
    }
    return ::testing::AssertionSuccess();
}

std::wstring ReadProperty(MSIHANDLE install, const std::wstring& name)
{
    DWORD length = 0;
    wchar_t empty[] = L"";
    ::MsiGetPropertyW(install, name.c_str(), empty, &length);
    std::wstring value(length + 1, L'\0');
    length += 1;
    ::MsiGetPropertyW(install, name.c_str(), value.data(), &length);
    value.resize(length);
    return value;
}

std::filesystem::path SessionPackagePath()
{
    return PackagesDirectory() / L"session.msi";
}
