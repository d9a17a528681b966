// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include "exit_code_policy.h"

namespace {

// The redistributable's own answers that mean "the runtime is in place".
constexpr std::uint32_t kChildSucceeded = 0;
constexpr std::uint32_t kChildNewerVersionPresent = 5100;
constexpr std::uint32_t kChildRestartRequired = 3010;

}  // namespace

RunnerExitCode ChooseRunnerExitCode(bool ranToEnd, std::uint32_t childExitCode)
{
    if (!ranToEnd)
        return kRunnerInstallFailed;
    switch (childExitCode) {
    case kChildSucceeded:
    case kChildNewerVersionPresent:
        return kRunnerSucceeded;
    case kChildRestartRequired:
        return kRunnerRestartRequired;
    default:
        return kRunnerInstallFailed;
    }
}
