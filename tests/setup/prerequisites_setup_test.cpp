// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
// Runs the example prerequisites setup silently, as a bootstrapper or a
// deployment tool would, and checks what it decided: its exit code, its own
// log, and the line that the Tarbel.exe it carries wrote.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <optional>
#include <set>
#include <string>

#include "child_process.h"
#include "process_messages.h"
#include "test_paths.h"

namespace fs = std::filesystem;

TEST(PrerequisitesSetupTest, ActsOnEachOfTarbelsAnswers)
{
    ScratchDirectory scratch{L"setup"};
    const fs::path temp = scratch.path() / L"temp";
    const std::string runtime = "Visual C++ 2013 x86 runtime";
    const std::string logFile = ToUtf8(temp.wstring()) + "\\ovt18helper.log";
    const std::string inPlace =
        "Tarbel.exe exit code: 0\r\nThe " + runtime + " is in place.\r\nSetup exit code: 0\r\n";
    // The failure names Tarbel's log, in the temporary folder the setup was given.
    const std::string failed = "Tarbel.exe exit code: 3\r\nThe " + runtime +
                               " could not be installed. Tarbel.exe's log says why: " + logFile +
                               "\r\nSetup exit code: 1603\r\n";
    const std::string result = "Exit code for Visual C++ Redistributable for Visual Studio 2013: ";
    const struct {
        const wchar_t* exitCode = L"0";  // the redistributable's
        DWORD expected;                  // the setup's exit code
        std::string setupLog;
        // After its time stamp; empty when held, absent when Tarbel never ran.
        std::optional<std::string> tarbelLog = std::nullopt;
        const wchar_t* setup = L"prerequisites_setup.exe";
        bool tarbelLogHeld = false;  // by another process, as while another Tarbel runs
    } cases[] = {
        {.exitCode = L"0", .expected = 0, .setupLog = inPlace, .tarbelLog = result + "0"},
        {.exitCode = L"5100", .expected = 0, .setupLog = inPlace, .tarbelLog = result + "5100"},
        {.exitCode = L"3010",
         .expected = 3010,
         .setupLog = "Tarbel.exe exit code: 3010\r\nThe " + runtime +
                     " is installed; Windows must restart before it is used.\r\n"
                     "Setup exit code: 3010\r\n",
         .tarbelLog = result + "3010"},
        {.exitCode = L"1603", .expected = 1603, .setupLog = failed, .tarbelLog = result + "1603"},
        {.expected = 1603,
         .setupLog = "Tarbel.exe exit code: 5\r\nTarbel.exe could not write its log, " + logFile +
                     ", and installed nothing. Is another installation running?\r\n"
                     "Setup exit code: 1603\r\n",
         .tarbelLog = "",
         .tarbelLogHeld = true},
        {.expected = 1603,
         .setupLog = failed,
         .tarbelLog =
             ToUtf8(CreateProcessFailedMessage(L"Error", L"vcredist_x86.exe /quiet /norestart", 2)),
         .setup = L"prerequisites_setup_no_redistributable.exe"},
        {.expected = 1603,
         .setupLog = "Tarbel.exe could not be started; the " + runtime +
                     " was not installed.\r\nSetup exit code: 1603\r\n",
         .setup = L"prerequisites_setup_no_tarbel.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.setup) + ", redistributable answering " + ToUtf8(c.exitCode) +
                     (c.tarbelLogHeld ? ", Tarbel's log held" : ""));
        fs::remove_all(temp);
        fs::create_directories(temp);
        KernelHandle held;
        if (c.tarbelLogHeld) {
            held.reset(::CreateFileW((temp / L"ovt18helper.log").c_str(), GENERIC_WRITE, 0, nullptr,
                                     CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
            EXPECT_NE(INVALID_HANDLE_VALUE, held.get());
            if (held.get() == INVALID_HANDLE_VALUE)
                continue;
        }
        EXPECT_EQ(c.expected, RunProcess(Quoted(PackagesDirectory() / c.setup) + L" /S",
                                         {{L"TMP", temp.wstring()},
                                          {L"TEMP", temp.wstring()},
                                          {L"STAND_IN_EXIT_CODE", c.exitCode}},
                                         scratch.path()));
        held.reset();
        EXPECT_EQ(c.setupLog, ReadFileBytes(temp / L"prerequisites-setup.log"));

        // The extracted payload is gone: only the logs stay behind.
        std::set<fs::path> left;
        for (const auto& entry : fs::directory_iterator(temp))
            left.insert(entry.path().filename());
        std::set<fs::path> logs{L"prerequisites-setup.log"};
        if (c.tarbelLog)
            logs.insert(L"ovt18helper.log");
        EXPECT_EQ(logs, left);

        if (c.tarbelLog && !c.tarbelLog->empty()) {
            // One line, after a time stamp such as "Thu Jan 05 09:07:03 2017".
            const std::string tarbelLog = ReadFileBytes(temp / L"ovt18helper.log");
            EXPECT_EQ(": " + *c.tarbelLog + "\r\n",
                      tarbelLog.substr(std::min<std::size_t>(24, tarbelLog.size())));
        } else if (c.tarbelLog) {
            EXPECT_EQ(0u, fs::file_size(temp / L"ovt18helper.log"));
        }
    }
}
