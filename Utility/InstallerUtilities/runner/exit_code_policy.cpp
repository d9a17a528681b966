// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include "exit_code_policy.h"

namespace {

// The redistributable's own answers that mean "the runtime is in place". A newer
// runtime already installed is 5100 from the 2008 and 2010 setups, and 1638
// (ERROR_PRODUCT_VERSION) from the 2013 bundle.
constexpr std::uint32_t kChildSucceeded = 0;
constexpr std::uint32_t kChildNewerVersionPresent = 5100;
constexpr std::uint32_t kChildNewerBuildPresent = 1638;
constexpr std::uint32_t kChildRestartRequired = 3010;

}  // namespace

RunnerExitCode ChooseRunnerExitCode(bool ranToEnd, std::uint32_t childExitCode)
{
    if (!ranToEnd)
        return kRunnerInstallFailed;
    switch (childExitCode) {
    case kChildSucceeded:
    case kChildNewerVersionPresent:
    case kChildNewerBuildPresent:
        return kRunnerSucceeded;
    case kChildRestartRequired:
        return kRunnerRestartRequired;
    default:
        return kRunnerInstallFailed;
    }
}
