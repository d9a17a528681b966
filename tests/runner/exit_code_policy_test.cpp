// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "exit_code_policy.h"
#include "runner_texts.h"

TEST(RunnerExitCodePolicy, MapsTheRedistributablesOutcome)
{
    const struct {
        std::uint32_t childExitCode;
        int expected;
        bool ranToEnd = true;
    } cases[] = {
        {.childExitCode = 0, .expected = 0},
        {.childExitCode = 5100, .expected = 0},  // 5100, 1638: a newer runtime is there
        {.childExitCode = 3010, .expected = 3010},
        {.childExitCode = 1603, .expected = 3},
        {.childExitCode = 1638, .expected = 0},
        {.childExitCode = 1, .expected = 3},
        {.childExitCode = 3011, .expected = 3},
        {.childExitCode = 0xC0000005u, .expected = 3},
        {.childExitCode = 0xFFFFFFFFu, .expected = 3},
        // Not run to its end: no exit code to trust.
        {.childExitCode = 0, .expected = 3, .ranToEnd = false},
        {.childExitCode = 3010, .expected = 3, .ranToEnd = false},
        {.childExitCode = 5100, .expected = 3, .ranToEnd = false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, ChooseRunnerExitCode(c.ranToEnd, c.childExitCode))
            << c.ranToEnd << " " << c.childExitCode;
}

TEST(RunnerTexts, ResultLineShowsTheCodeInUnsignedDecimal)
{
    EXPECT_EQ(L"Exit code for Visual C++ Redistributable for Visual Studio 2013: 3221225477",
              RedistributableResultLine(0xC0000005u));
    EXPECT_EQ(L"Exit code for Visual C++ Redistributable for Visual Studio 2013: 0",
              RedistributableResultLine(0));
}
