// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
// Inputs no sensible package supplies, through the shipped library and a real
// installer session: each has a defined result, nothing crashes and the log
// shows what happened.
#include <gtest/gtest.h>

#include <windows.h>
#include <msiquery.h>

#include <random>
#include <string>
#include <vector>

#include "child_process.h"
#include "install_messages.h"
#include "installer_session.h"
#include "quorvane_library.h"
#include "scoped_state.h"
#include "test_paths.h"

namespace fs = std::filesystem;

namespace {

const wchar_t kSymbols[] = L"\t\"%[]{}\\~ ";
const std::wstring kAwkward = L"\t\"quoted\" %TEMP% [SECRET] ] [ {x} } { [\\ \\\\\\ \\";
const std::wstring kOutsideTheBmp = L"\U0001D11E\U0001F600";  // surrogate pairs
const std::wstring kLoneSurrogate(1, static_cast<wchar_t>(0xD800));

}  // namespace

TEST(HostileInput, AppdirOfAnyTextLosesOnlyItsLastBackslash)
{
    const std::wstring huge = std::wstring((1024 * 1024) - 1, L'a') + L"\\";
    const struct {
        const char* what;
        std::wstring appdir;
    } cases[] = {
        {.what = "1 MiB", .appdir = huge},
        {.what = "outside the BMP", .appdir = L"C:\\" + kOutsideTheBmp + L"\\"},
        {.what = "lone surrogate", .appdir = L"C:\\x" + kLoneSurrogate + L"\\"},
        {.what = "ends in a lone surrogate", .appdir = L"C:\\x" + kLoneSurrogate},
        {.what = "brackets, quotes, tabs and variables", .appdir = L"C:\\" + kAwkward + L"\\"},
        {.what = "backslashes only", .appdir = L"\\\\\\\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        InstallerSession session(SessionPackagePath());
        session.SetProperty(L"APPDIR", c.appdir);
        EXPECT_EQ(0u, CallEntryPoint("_RemoveAppdirTrailingBackslash@4", session.handle()));
        const std::wstring expected =
            c.appdir.back() == L'\\' ? c.appdir.substr(0, c.appdir.size() - 1) : c.appdir;
        EXPECT_TRUE(expected == session.Property(L"AppdirNoTrailingBackslash"));
        EXPECT_EQ(Lines{}, session.LogLines());
    }
}

TEST(HostileInput, CommandLinesThatCannotRunAreLoggedWhole)
{
    const std::wstring missing = L"no-such-program.exe ";
    const struct {
        const char* what;
        std::wstring commandLine;
    } cases[] = {
        {.what = "longest command line", .commandLine = missing + std::wstring(32766 - 20, L'x')},
        {.what = "past the platform's limit", .commandLine = missing + std::wstring(40000, L'y')},
        {.what = "1 MiB", .commandLine = std::wstring(std::size_t{1024} * 1024, L'z')},
        {.what = "outside the BMP", .commandLine = L"no-such-" + kOutsideTheBmp + L".exe"},
        {.what = "lone surrogate",
         .commandLine = L"no-such-" + kLoneSurrogate + L".exe " + kLoneSurrogate},
        {.what = "brackets, quotes, tabs and variables", .commandLine = missing + kAwkward},
        {.what = "the formatter's brackets and braces",
         .commandLine = missing + L"[SECRET] {braces} [\\[] [1] {{x}} %TEMP%"},
        {.what = "only spaces",
         .commandLine = L"   "},  // not empty: it goes to CreateProcess as is
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        InstallerSession session(SessionPackagePath());
        session.SetProperty(L"CustomActionData", c.commandLine);
        EXPECT_EQ(1603u, CallEntryPoint("_LaunchProcessSync@4", session.handle()));
        EXPECT_EQ(1u, session.LogLines().size());
        // Verbatim: a [SECRET] in it is not the property's value (hunter2) in the log.
        EXPECT_TRUE(session.LoggedOnlyFailedStartsOf(c.commandLine));
        EXPECT_EQ(L"", session.Property(L"LaunchProcessReturnValue"));
    }
}

TEST(HostileInput, AwkwardCommandLinesReachTheChildUnchanged)
{
    ScratchDirectory scratch(L"hostile " + kOutsideTheBmp);
    const fs::path program = scratch.path() / (L"child " + kOutsideTheBmp + L".exe");
    fs::copy_file(StandInChildPath(), program);
    const fs::path record = scratch.path() / L"record.txt";
    const ScopedEnvironmentVariable recording(L"STAND_IN_RECORD", record.c_str());
    const std::wstring arguments[] = {
        L" 7 " + kAwkward,
        L" 7 " + std::wstring(30000, L'a'),
        L" 7 \"" + kOutsideTheBmp + L"\"",
    };
    std::wstring expected;
    for (const std::wstring& argument : arguments) {
        InstallerSession session(SessionPackagePath());
        const std::wstring commandLine = Quoted(program) + argument;
        session.SetProperty(L"CustomActionData", commandLine);
        EXPECT_EQ(0u, CallEntryPoint("_LaunchProcessSync@4", session.handle()));
        EXPECT_EQ(L"7", session.Property(L"LaunchProcessReturnValue"));
        EXPECT_EQ(Lines{}, session.LogLines());
        expected += commandLine + L"\n";
    }
    EXPECT_TRUE(expected == ReadUtf8File(record));
}

TEST(HostileInput, EscapedLogTextComesBackVerbatimFromTheInstallersFormatter)
{
    // The alphabet leans on what the formatter treats specially.
    const std::wstring alphabet =
        std::wstring(kSymbols) + L"[[]]{{}}\\\\" + L"ab1~%" + L"\u00E9\u65E5" + kOutsideTheBmp;
    // A fixed seed: a failure must come back on the next run.
    std::mt19937 random(20261208);  // NOLINT(cert-msc32-c,cert-msc51-cpp)
    InstallerSession session(SessionPackagePath());
    int mismatches = 0;
    for (int i = 0; i < 10000; ++i) {
        std::wstring text;
        // Never empty: an empty template makes the formatter list the fields instead.
        const std::size_t length = 1 + (random() % 24);
        for (std::size_t j = 0; j < length; ++j)
            text += alphabet[random() % alphabet.size()];

        const MSIHANDLE record = ::MsiCreateRecord(1);
        ::MsiRecordSetStringW(record, 0, EscapeFormatTemplate(text).c_str());
        std::wstring formatted((text.size() * 2) + 16, L'\0');
        auto size = static_cast<DWORD>(formatted.size());
        const UINT result = ::MsiFormatRecordW(session.handle(), record, formatted.data(), &size);
        ::MsiCloseHandle(record);
        formatted.resize(result == ERROR_SUCCESS ? size : 0);
        if (result != ERROR_SUCCESS || formatted != text) {
            if (++mismatches <= 5)
                ADD_FAILURE() << "formatter changed: " << ToUtf8(text) << " into "
                              << ToUtf8(formatted);
        }
    }
    EXPECT_EQ(0, mismatches);
}
