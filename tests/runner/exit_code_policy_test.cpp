// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <vector>

#include "exit_code_policy.h"
#include "runner_texts.h"

TEST(RunnerExitCodePolicy, MapsTheRedistributablesOutcome)
{
    const struct {
        std::vector<std::uint32_t> childExitCodes;
        int expected;
        bool ranToEnd = true;
    } cases[] = {
        {.childExitCodes = {0, 5100, 1638}, .expected = 0},  // 5100, 1638: a newer runtime is there
        {.childExitCodes = {3010}, .expected = 3010},
        {.childExitCodes = {1603, 1, 3011, 0xC0000005u, 0xFFFFFFFFu}, .expected = 3},
        {.childExitCodes = {0, 3010, 5100}, .expected = 3, .ranToEnd = false},  // no code to trust
    };
    for (const auto& c : cases)
        for (const std::uint32_t code : c.childExitCodes)
            EXPECT_EQ(c.expected, ChooseRunnerExitCode(c.ranToEnd, code))
                << c.ranToEnd << " " << code;
}

TEST(RunnerTexts, ResultLineShowsTheCodeInUnsignedDecimal)
{
    EXPECT_EQ(L"Exit code for Visual C++ Redistributable for Visual Studio 2013: 3221225477",
              RedistributableResultLine(0xC0000005u));
    EXPECT_EQ(L"Exit code for Visual C++ Redistributable for Visual Studio 2013: 0",
              RedistributableResultLine(0));
}
