// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "exit_code_policy.h"
#include "runner_texts.h"

TEST(RunnerExitCodePolicy, MapsTheRedistributablesOutcome)
{
    const struct {
        bool ranToEnd;
        std::uint32_t childExitCode;
        int expected;
    } cases[] = {
        {true, 0, 0},           {true, 5100, 0},          // 5100, 1638: a newer runtime is there
        {true, 3010, 3010},     {true, 1603, 3},  {true, 1638, 0},
        {true, 1, 3},           {true, 3011, 3},  {true, 0xC0000005u, 3},
        {true, 0xFFFFFFFFu, 3}, {false, 0, 3},  // not run to its end: no exit code to trust
        {false, 3010, 3},       {false, 5100, 3},
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
