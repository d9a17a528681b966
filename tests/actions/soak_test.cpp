// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
// Many calls in one process, as a long installation makes them: nothing may
// pile up, and sessions used from several threads at once must not interfere.
#include <gtest/gtest.h>

#include <windows.h>
#include <msiquery.h>
#include <psapi.h>

#include <string>
#include <vector>

#include "child_process.h"
#include "installer_session.h"
#include "quorvane_library.h"
#include "test_paths.h"

namespace {

struct Usage {
    DWORD handles = 0;
    SIZE_T privateBytes = 0;
};

Usage CurrentUsage()
{
    Usage usage;
    ::GetProcessHandleCount(::GetCurrentProcess(), &usage.handles);
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(),
                           reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    usage.privateBytes = counters.PrivateUsage;
    return usage;
}

// Runs `call` `times` times after a warm-up and checks that handles and private
// memory come back to where they were: a leak of one handle or one 64 KiB
// buffer per call would show as thousands.
template <typename Call>
void ExpectNoGrowth(int times, Call call)
{
    for (int i = 0; i < 20; ++i)
        call(i);
    const Usage before = CurrentUsage();
    for (int i = 0; i < times; ++i)
        call(i);
    const Usage after = CurrentUsage();
    EXPECT_LE(after.handles, before.handles + 5) << "handles before " << before.handles;
    EXPECT_LE(after.privateBytes, before.privateBytes + (SIZE_T{4} * 1024 * 1024))
        << "private bytes before " << before.privateBytes;
}

}  // namespace

TEST(Soak, TwoThousandLaunchesLeaveNothingBehind)
{
    InstallerSession session(SessionPackagePath());
    const std::wstring commandLine = Quoted(StandInChildPath()) + L" 3010";
    session.SetProperty(L"CustomActionData", commandLine);
    int failures = 0;
    ExpectNoGrowth(2000, [&](int) {
        if (CallEntryPoint("_LaunchProcessSync@4", session.handle()) != 0)
            ++failures;
    });
    // Wine's CreateProcess now and then fails a start outright (ERROR_INTERNAL_ERROR,
    // about once in a thousand here). Such a start must still be reported as
    // any failed start is, and stay rare.
    EXPECT_LE(failures, 10);
    EXPECT_EQ(static_cast<std::size_t>(failures), session.LogLines().size());
    EXPECT_TRUE(session.LoggedOnlyFailedStartsOf(commandLine));
    EXPECT_EQ(L"3010", session.Property(L"LaunchProcessReturnValue"));
}

TEST(Soak, TwoThousandReadsOfLargeValuesLeaveNothingBehind)
{
    InstallerSession session(SessionPackagePath());
    const std::wstring large = std::wstring((64 * 1024) - 1, L'p') + L"\\";
    session.SetProperty(L"APPDIR", large);
    int failures = 0;
    ExpectNoGrowth(2000, [&](int) {
        if (CallEntryPoint("_RemoveAppdirTrailingBackslash@4", session.handle()) != 0)
            ++failures;
    });
    EXPECT_EQ(0, failures);
    EXPECT_EQ(large.size() - 1, session.Property(L"AppdirNoTrailingBackslash").size());
}

namespace {

// One thread's share: its own session, its own values, checked after every call.
struct Worker {
    MSIHANDLE session = 0;
    int index = 0;
    int mismatches = 0;
};

DWORD WINAPI Work(void* parameter)
{
    Worker& worker = *static_cast<Worker*>(parameter);
    for (int round = 0; round < 25; ++round) {
        const std::wstring tag = std::to_wstring((worker.index * 100) + round);
        const std::wstring directory = L"C:\\T" + tag;
        const std::wstring commandLine = Quoted(StandInChildPath()) + L" " + tag;
        ::MsiSetPropertyW(worker.session, L"APPDIR", (directory + L"\\").c_str());
        ::MsiSetPropertyW(worker.session, L"CustomActionData", commandLine.c_str());
        if (CallEntryPoint("_RemoveAppdirTrailingBackslash@4", worker.session) != 0 ||
            ReadProperty(worker.session, L"AppdirNoTrailingBackslash") != directory)
            ++worker.mismatches;
        if (CallEntryPoint("_LaunchProcessSync@4", worker.session) != 0 ||
            ReadProperty(worker.session, L"LaunchProcessReturnValue") != tag)
            ++worker.mismatches;
    }
    return 0;
}

}  // namespace

TEST(Soak, EightThreadsOnEightSessionsGetTheirOwnResults)
{
    std::vector<std::unique_ptr<InstallerSession>> sessions;
    std::vector<Worker> workers(8);
    for (std::size_t i = 0; i < workers.size(); ++i) {
        sessions.push_back(std::make_unique<InstallerSession>(SessionPackagePath()));
        workers[i].session = sessions.back()->handle();
        workers[i].index = static_cast<int>(i);
    }
    std::vector<HANDLE> threads;
    threads.reserve(workers.size());
    for (Worker& worker : workers)
        threads.push_back(::CreateThread(nullptr, 0, Work, &worker, 0, nullptr));
    ::WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, INFINITE);
    for (const HANDLE thread : threads)
        ::CloseHandle(thread);
    for (const Worker& worker : workers)
        EXPECT_EQ(0, worker.mismatches) << "thread " << worker.index;
    for (const auto& session : sessions)
        EXPECT_EQ(std::vector<std::wstring>{}, session->LogLines());
}
