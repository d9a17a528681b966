// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
// Installs the example package with the installer's own msiexec, so that the
// shipped library runs as a real custom action in the installer's process.
// The installer can report success for a library that failed to load or
// crashed, so every check looks at effects: log lines and property values.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "child_process.h"
#include "process_messages.h"
#include "test_paths.h"

namespace fs = std::filesystem;

namespace {

class MsiexecTest : public ::testing::Test {
protected:
    MsiexecTest() : packageDirectory(scratch.path() / L"package folder")
    {
        fs::create_directories(packageDirectory);
        fs::copy_file(PackagesDirectory() / L"actions_demo.msi", Package());
        fs::copy_file(StandInChildPath(), packageDirectory / L"ExampleAppConfig.exe");
    }

    ~MsiexecTest() override
    {
        // A failed installation has rolled back; only a finished one needs removing.
        if (installed)
            RunProcess(L"msiexec.exe /x " + Quoted(Package()) + L" /qn", {}, scratch.path());
    }

    fs::path Package() const { return packageDirectory / L"demo.msi"; }
    fs::path Record() const { return scratch.path() / L"starts.txt"; }

    // Installs with the given extra properties; returns msiexec's exit code and keeps the log.
    DWORD Install(const std::wstring& properties, const std::wstring& toolExitCode)
    {
        const fs::path logPath = scratch.path() / L"install.log";
        fs::remove(logPath);
        const DWORD exitCode = RunProcess(
            L"msiexec.exe /i " + Quoted(Package()) + L" /qn /l*v " + Quoted(logPath) + L" " +
                properties,
            {{L"STAND_IN_RECORD", Record().wstring()}, {L"STAND_IN_EXIT_CODE", toolExitCode}},
            scratch.path());
        log = Decode(ReadFileBytes(logPath), CP_ACP);  // the log is in the ANSI code page
        installed = installed || exitCode == ERROR_SUCCESS;
        return exitCode;
    }

    bool Logged(const std::wstring& line) const
    {
        for (std::size_t at = log.find(line); at != std::wstring::npos;
             at = log.find(line, at + 1)) {
            const bool startsLine = at == 0 || log[at - 1] == L'\n';
            const std::size_t end = at + line.size();
            const bool endsLine = end == log.size() || log[end] == L'\r' || log[end] == L'\n';
            if (startsLine && endsLine)
                return true;
        }
        return false;
    }
    bool ActionRan(const std::wstring& action) const
    {
        return log.find(L"Action start ") != std::wstring::npos &&
               log.find(L": " + action + L".") != std::wstring::npos;
    }
    // The log, for a failure message. On Windows, a launch that left neither its exit code nor an
    // ERROR: line may have read an empty CustomActionData (README, "The WiX snippet"), or
    // Quorvane.dll died as it loaded or ran.
    std::string Diagnosis() const
    {
        const bool unexplained =
            !RunningUnderWine() &&
            log.find(L"Property(S): LaunchProcessReturnValue") == std::wstring::npos &&
            log.find(L"ERROR: ") == std::wstring::npos;
        const char* cause =
            "RunConfigurationCheck may have read an empty CustomActionData (Windows may fill it "
            "from the property named after the action), or Quorvane.dll died as it loaded or ran "
            "(0xC0000409, a fail-fast, for a call its Control Flow Guard table does not list).\n";
        return (unexplained ? cause : "") + ToUtf8(log);
    }
    std::wstring LaunchedCommand() const
    {
        return Quoted(packageDirectory / L"ExampleAppConfig.exe") + L" /check /quiet";
    }

    ScratchDirectory scratch{L"msiexec"};
    const fs::path packageDirectory;
    std::wstring log;
    bool installed = false;
};

}  // namespace

TEST_F(MsiexecTest, AllActionsRunAndPublishTheirResults)
{
    EXPECT_EQ(0u, Install(L"APPDIR=C:\\App\\", L"0"));
    EXPECT_TRUE(Logged(L"Property(S): LaunchProcessReturnValue = 0")) << Diagnosis();
    EXPECT_TRUE(Logged(L"Property(S): AppdirNoTrailingBackslash = C:\\App"));
    EXPECT_TRUE(Logged(L"Property(S): APPDIR = C:\\App\\"));
    EXPECT_TRUE(ActionRan(L"RefreshEnvironment"));
    EXPECT_FALSE(ActionRan(L"FailOnConfigurationCheck"));
    EXPECT_EQ(std::wstring::npos, log.find(L"ERROR: "));
    // The quoted program path with spaces reached the child unchanged.
    EXPECT_EQ(LaunchedCommand() + L"\n", ReadUtf8File(Record()));
}

TEST_F(MsiexecTest, DirectoryPropertyLosesItsTrailingBackslash)
{
    EXPECT_EQ(0u, Install(L"", L"0"));
    const std::wstring prefix = L"Property(S): APPDIR = ";
    const std::size_t at = log.find(L"\n" + prefix);
    ASSERT_NE(std::wstring::npos, at) << Diagnosis();
    const std::size_t valueStart = at + 1 + prefix.size();
    const std::wstring appdir =
        log.substr(valueStart, log.find_first_of(L"\r\n", valueStart) - valueStart);
    ASSERT_EQ(L'\\', appdir.back());
    EXPECT_TRUE(
        Logged(L"Property(S): AppdirNoTrailingBackslash = " + appdir.substr(0, appdir.size() - 1)));
}

TEST_F(MsiexecTest, FailingConfigurationCheckFailsTheInstallation)
{
    EXPECT_EQ(1603u, Install(L"", L"3010"));
    EXPECT_TRUE(Logged(L"Property(S): LaunchProcessReturnValue = 3010")) << Diagnosis();
    EXPECT_TRUE(ActionRan(L"FailOnConfigurationCheck"));
    EXPECT_FALSE(ActionRan(L"RefreshEnvironment"));
}

TEST_F(MsiexecTest, MissingConfigurationToolIsLoggedAndFailsTheInstallation)
{
    fs::remove(packageDirectory / L"ExampleAppConfig.exe");
    EXPECT_EQ(1603u, Install(L"", L"0"));
    EXPECT_TRUE(Logged(CreateProcessFailedMessage(L"ERROR", LaunchedCommand(), 2))) << Diagnosis();
    EXPECT_EQ(std::wstring::npos, log.find(L"Property(S): LaunchProcessReturnValue"));
    EXPECT_FALSE(ActionRan(L"RemoveAppdirTrailingBackslash"));
}

TEST_F(MsiexecTest, StoppingEarlyIsASuccess)
{
    EXPECT_EQ(0u, Install(L"STOP_EARLY=1", L"0"));
    EXPECT_TRUE(ActionRan(L"StopEarly")) << Diagnosis();
    EXPECT_TRUE(Logged(L"Property(S): LaunchProcessReturnValue = 0"));
    // Windows ends the sequence at an action's 259 (ERROR_NO_MORE_ITEMS); Wine runs the rest.
    EXPECT_EQ(RunningUnderWine(), ActionRan(L"RefreshEnvironment"));
}
