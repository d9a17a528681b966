// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
// Tarbel's flow in-process, for what a separate process cannot show: every
// allocation failing in turn.
#include <gtest/gtest.h>

#include <windows.h>

#include <climits>

#include "allocation_failure.h"
#include "runner_main.h"
#include "scoped_state.h"
#include "test_paths.h"

namespace fs = std::filesystem;

TEST(RunnerMain, RunningOutOfMemoryAnywhereEndsWithThreeAndReleasesTheLog)
{
    ScratchDirectory scratch(L"runner in process");
    // The current directory is searched right after the program's own, which holds no
    // redistributable.
    fs::copy_file(StandInChildPath(), scratch.path() / L"vcredist_x86.exe");
    const ScopedCurrentDirectory inScratch(scratch.path());
    const ScopedEnvironmentVariable temporary(L"TMP", scratch.path().c_str());
    const ScopedEnvironmentVariable childExitCode(L"STAND_IN_EXIT_CODE", L"3010");
    const fs::path log = scratch.path() / L"ovt18helper.log";
    wchar_t program[] = L"Tarbel.exe";
    wchar_t argument[] = L"x";
    wchar_t* argv[] = {program, argument, nullptr};

    FailAllocationsAfter(INT_MAX);
    const int unhindered = RunnerMain(2, argv);
    const int allocations = AllocationsCounted();
    DisarmAllocationFailure();
    EXPECT_EQ(3010, unhindered);
    ASSERT_GT(allocations, 0);

    for (int allowed = 0; allowed < allocations; ++allowed) {
        FailAllocationsAfter(allowed);
        const int result = RunnerMain(2, argv);
        DisarmAllocationFailure();
        EXPECT_EQ(3, result) << allowed << " allocations allowed";
        // Removable means closed: the log is held exclusively while open.
        std::error_code ignored;
        fs::remove(log, ignored);
        EXPECT_FALSE(fs::exists(log)) << allowed << " allocations allowed";
    }
}
