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
#include "test_paths.h"

namespace fs = std::filesystem;

TEST(PrerequisitesSetupTest, ActsOnEachOfTarbelsAnswers)
{
    ScratchDirectory scratch{L"setup"};
    const fs::path temp = scratch.path() / L"temp";
    const std::string runtime = "Visual C++ 2013 x86 runtime";
    // The failure names Tarbel's log, in the temporary folder the setup was given.
    const std::string failed =
        "The " + runtime +
        " could not be installed. Tarbel.exe's log says why: " + ToUtf8(temp.wstring()) +
        "\\ovt18helper.log\r\n";
    const std::string result = "Exit code for Visual C++ Redistributable for Visual Studio 2013: ";
    const struct {
        const wchar_t* setup;
        const wchar_t* redistributableExitCode;
        bool tarbelLogHeld;  // by another process, as while another Tarbel runs
        DWORD expectedExitCode;
        std::string setupLog;
        // After its time stamp; empty when held, absent when Tarbel never ran.
        std::optional<std::string> tarbelLog;
    } cases[] = {
        {L"prerequisites_setup.exe", L"0", false, 0,
         "Tarbel.exe exit code: 0\r\nThe " + runtime + " is in place.\r\nSetup exit code: 0\r\n",
         result + "0"},
        {L"prerequisites_setup.exe", L"5100", false, 0,
         "Tarbel.exe exit code: 0\r\nThe " + runtime + " is in place.\r\nSetup exit code: 0\r\n",
         result + "5100"},
        {L"prerequisites_setup.exe", L"3010", false, 3010,
         "Tarbel.exe exit code: 3010\r\nThe " + runtime +
             " is installed; Windows must restart before it is used.\r\nSetup exit code: 3010\r\n",
         result + "3010"},
        {L"prerequisites_setup.exe", L"1603", false, 1603,
         "Tarbel.exe exit code: 3\r\n" + failed + "Setup exit code: 1603\r\n", result + "1603"},
        {L"prerequisites_setup.exe", L"0", true, 1603,
         "Tarbel.exe exit code: 5\r\nTarbel.exe could not write its log, " +
             ToUtf8(temp.wstring()) +
             "\\ovt18helper.log, and installed nothing. Is another installation running?\r\n"
             "Setup exit code: 1603\r\n",
         ""},
        {L"prerequisites_setup_no_redistributable.exe", L"0", false, 1603,
         "Tarbel.exe exit code: 3\r\n" + failed + "Setup exit code: 1603\r\n",
         "Error: CreateProcess() with command line: vcredist_x86.exe /quiet /norestart "
         "returned: 2"},
        {L"prerequisites_setup_no_tarbel.exe", L"0", false, 1603,
         "Tarbel.exe could not be started; the " + runtime +
             " was not installed.\r\nSetup exit code: 1603\r\n",
         std::nullopt},
    };
    for (const auto& c : cases) {
        const std::string what = ToUtf8(c.setup) + ", redistributable answering " +
                                 ToUtf8(c.redistributableExitCode) +
                                 (c.tarbelLogHeld ? ", Tarbel's log held" : "");
        fs::remove_all(temp);
        fs::create_directories(temp);
        KernelHandle held;
        if (c.tarbelLogHeld) {
            held.reset(::CreateFileW((temp / L"ovt18helper.log").c_str(), GENERIC_WRITE, 0, nullptr,
                                     CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
            ASSERT_NE(INVALID_HANDLE_VALUE, held.get()) << what;
        }
        EXPECT_EQ(c.expectedExitCode,
                  RunProcess(Quoted(PackagesDirectory() / c.setup) + L" /S",
                             {{L"TMP", temp.wstring()},
                              {L"TEMP", temp.wstring()},
                              {L"STAND_IN_EXIT_CODE", c.redistributableExitCode}},
                             scratch.path()))
            << what;
        held.reset();
        EXPECT_EQ(c.setupLog, ReadFileBytes(temp / L"prerequisites-setup.log")) << what;

        // The extracted payload is gone: only the logs stay behind.
        std::set<fs::path> left;
        for (const auto& entry : fs::directory_iterator(temp))
            left.insert(entry.path().filename());
        std::set<fs::path> logs{L"prerequisites-setup.log"};
        if (c.tarbelLog)
            logs.insert(L"ovt18helper.log");
        EXPECT_EQ(logs, left) << what;

        if (c.tarbelLog && !c.tarbelLog->empty()) {
            // One line, after a time stamp such as "Thu Jan 05 09:07:03 2017".
            const std::string tarbelLog = ReadFileBytes(temp / L"ovt18helper.log");
            EXPECT_EQ(": " + *c.tarbelLog + "\r\n",
                      tarbelLog.substr(std::min<std::size_t>(24, tarbelLog.size())))
                << what;
        } else if (c.tarbelLog) {
            EXPECT_EQ(0u, fs::file_size(temp / L"ovt18helper.log")) << what;
        }
    }
}
