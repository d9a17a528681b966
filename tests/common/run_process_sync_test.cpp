// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "child_process.h"
#include "fake_process_platform.h"
#include "process_messages.h"
#include "run_process_sync.h"
#include "scoped_state.h"
#include "test_paths.h"

namespace {

class RunProcessSyncTest : public ::testing::Test {
protected:
    void SetUp() override { fake_process::Reset(); }
    void TearDown() override { fake_process::Reset(); }

    // Runs the command line; every report lands in the event list, in order with the closes.
    bool Run(const std::wstring& commandLine, const wchar_t* prefix, std::uint32_t& exitCode)
    {
        return RunProcessSync(
            commandLine, prefix,
            [this](const std::wstring& message) {
                reports.push_back(message);
                fake_process::Events().emplace_back(L"report");
            },
            exitCode);
    }

    std::vector<std::wstring> reports;
};

}  // namespace

TEST_F(RunProcessSyncTest, HandsBackTheChildsExitCodeWhateverItIs)
{
    const std::uint32_t codes[] = {0, 1, 259, 3010, 5100, 0xC0000005u, 0xFFFFFFFFu};
    for (const std::uint32_t code : codes) {
        SCOPED_TRACE(code);
        fake_process::Reset();
        std::uint32_t exitCode = 12345;
        EXPECT_TRUE(
            Run(Quoted(StandInChildPath()) + L" " + std::to_wstring(code), L"Error", exitCode));
        EXPECT_EQ(code, exitCode);
        EXPECT_TRUE(reports.empty());
        EXPECT_EQ((std::vector<std::wstring>{L"start", L"close process", L"close thread"}),
                  fake_process::Events());
    }
}

TEST_F(RunProcessSyncTest, PassesTheCommandLineUnchanged)
{
    ScratchDirectory scratch(L"command line");
    const auto program = scratch.path() / L"program with spaces.exe";
    std::filesystem::copy_file(StandInChildPath(), program);
    const auto record = scratch.path() / L"record.txt";
    const ScopedEnvironmentVariable recording(L"STAND_IN_RECORD", record.c_str());

    const std::wstring commandLines[] = {
        Quoted(program) + L" 7  a\"b  [x] {y} %TEMP% \\\\",
        Quoted(program),
    };
    std::wstring expected;
    for (const std::wstring& commandLine : commandLines) {
        std::uint32_t exitCode = 0;
        EXPECT_TRUE(Run(commandLine, L"ERROR", exitCode)) << ToUtf8(commandLine);
        expected += commandLine + L"\n";
    }
    EXPECT_EQ(expected, ReadUtf8File(record));
}

TEST_F(RunProcessSyncTest, AMissingProgramIsReportedOnceWithTheErrorCodeAndNothingToClose)
{
    const std::wstring commandLine = L"no-such-program-here.exe /quiet /norestart";
    for (const wchar_t* prefix : {L"Error", L"ERROR"}) {
        fake_process::Reset();
        reports.clear();
        std::uint32_t exitCode = 77;
        EXPECT_FALSE(Run(commandLine, prefix, exitCode));
        EXPECT_EQ(std::vector<std::wstring>{CreateProcessFailedMessage(prefix, commandLine, 2)},
                  reports);
        EXPECT_EQ(std::vector<std::wstring>{L"report"}, fake_process::Events());
    }
}

TEST_F(RunProcessSyncTest, WaitAndExitCodeFailuresAreReportedBeforeBothHandlesClose)
{
    const struct {
        fake_process::Faults faults;
        const wchar_t* prefix;
    } cases[] = {
        {.faults = {.failWait = true, .waitError = 6}, .prefix = L"Error"},
        {.faults = {.failWait = true, .waitError = 6}, .prefix = L"ERROR"},
        {.faults = {.failExitCodeRead = true, .exitCodeReadError = 5}, .prefix = L"Error"},
        {.faults = {.failExitCodeRead = true, .exitCodeReadError = 0x80004005}, .prefix = L"ERROR"},
    };
    for (const auto& c : cases) {
        fake_process::Reset();
        reports.clear();
        fake_process::Arm(c.faults);
        std::uint32_t exitCode = 0;
        EXPECT_FALSE(Run(Quoted(StandInChildPath()) + L" 0", c.prefix, exitCode));
        const std::wstring message =
            c.faults.failWait ? WaitFailedMessage(c.prefix)
                              : ExitCodeUnreadableMessage(c.prefix, c.faults.exitCodeReadError);
        EXPECT_EQ(std::vector<std::wstring>{message}, reports);
        EXPECT_EQ(
            (std::vector<std::wstring>{L"start", L"report", L"close process", L"close thread"}),
            fake_process::Events());
    }
}
