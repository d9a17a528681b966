// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

// What Tarbel's caller gets back.
enum RunnerExitCode : int {
    kRunnerSucceeded = 0,
    kRunnerMissingArgument = 1,
    kRunnerInstallFailed = 3,
    kRunnerCannotLog = 5,
    kRunnerRestartRequired = 3010,
};

// Maps the redistributable's outcome onto Tarbel's own exit code. `ranToEnd` is
// false when it could not be started, waited for, or its exit code read.
RunnerExitCode ChooseRunnerExitCode(bool ranToEnd, std::uint32_t childExitCode);
