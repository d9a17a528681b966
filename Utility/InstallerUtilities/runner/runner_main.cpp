// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
#include "runner_main.h"

#include <new>
#include <optional>
#include <string>

#include "exit_code_policy.h"
#include "log_file.h"
#include "run_process_sync.h"
#include "runner_texts.h"
#include "temporary_directory.h"

namespace {

int RunAndLog(const std::wstring& logPath)
{
    LogFile log = OpenLogFile(logPath);
    if (!log)
        return kRunnerCannotLog;

    std::FILE* const file = log.get();
    std::uint32_t childExitCode = 0;
    const bool ranToEnd = RunProcessSync(
        kRedistributableCommandLine, kRunnerErrorPrefix,
        [file](const std::wstring& message) { WriteLogLine(file, message); }, childExitCode);
    if (ranToEnd)
        WriteLogLine(file, RedistributableResultLine(childExitCode));
    log.reset();
    return ChooseRunnerExitCode(ranToEnd, childExitCode);
}

}  // namespace

int RunnerMain(int argc, wchar_t* argv[])
{
    static_cast<void>(argv);  // only the presence of an argument matters, never its text
    if (argc < 2)
        return kRunnerMissingArgument;
    try {
        const std::optional<std::wstring> temporaryDirectory = TemporaryDirectory();
        if (!temporaryDirectory)
            return kRunnerCannotLog;
        return RunAndLog(*temporaryDirectory + kLogFileName);
    } catch (const std::bad_alloc&) {  // GCOVR_EXCL_BR_LINE: nothing here throws anything else
        // Whether the runtime got installed is then unknown; the caller must not take it as in
        // place.
        return kRunnerInstallFailed;
    }
}
