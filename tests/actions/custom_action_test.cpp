// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
// The shipped library as the installer uses it: loaded from disk, entry points
// found by their decorated names, called with a real installation session.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "child_process.h"
#include "installer_session.h"
#include "process_messages.h"
#include "quorvane_library.h"
#include "scoped_state.h"
#include "test_paths.h"

namespace fs = std::filesystem;

namespace {

class CustomActionTest : public ::testing::Test {
protected:
    InstallerSession session{SessionPackagePath()};
};

}  // namespace

TEST_F(CustomActionTest, TerminateActionsAnswerTheirFixedCodes)
{
    EXPECT_EQ(259u, CallEntryPoint("_TerminateInstallWithSuccess@4", session.handle()));
    EXPECT_EQ(1603u, CallEntryPoint("_TerminateInstallWithFailure@4", session.handle()));
    // The handle is not theirs to use; even a dead one makes no difference.
    EXPECT_EQ(259u, CallEntryPoint("_TerminateInstallWithSuccess@4", 0));
    EXPECT_EQ(1603u, CallEntryPoint("_TerminateInstallWithFailure@4", 0));
    EXPECT_EQ(Lines{}, session.LogLines());
}

TEST_F(CustomActionTest, AppdirLosesOneTrailingBackslash)
{
    const struct {
        const wchar_t* appdir;
        const wchar_t* result;
    } cases[] = {
        {.appdir = L"C:\\App\\", .result = L"C:\\App"},
        {.appdir = L"C:\\App", .result = L"C:\\App"},
        {.appdir = L"C:\\", .result = L"C:"},
        {.appdir = L"\\", .result = L""},  // set to empty: the property ends up undefined
        {.appdir = L"C:\\App\\\\", .result = L"C:\\App\\"},
        {.appdir = L"C:\\Pr\u00F8gram \u65E5\u672C\\", .result = L"C:\\Pr\u00F8gram \u65E5\u672C"},
        {.appdir = L"C:\\[SECRET]\\{x}\\", .result = L"C:\\[SECRET]\\{x}"},
    };
    for (const auto& c : cases) {
        InstallerSession fresh(SessionPackagePath());
        fresh.SetProperty(L"AppdirNoTrailingBackslash", L"stale");
        fresh.SetProperty(L"APPDIR", c.appdir);
        EXPECT_EQ(0u, CallEntryPoint("_RemoveAppdirTrailingBackslash@4", fresh.handle()));
        EXPECT_EQ(c.result, fresh.Property(L"AppdirNoTrailingBackslash"));
        EXPECT_EQ(c.appdir, fresh.Property(L"APPDIR"));
        EXPECT_EQ(Lines{}, fresh.LogLines());
    }
}

TEST_F(CustomActionTest, EmptyInputFailsWithoutALogLine)
{
    session.SetProperty(L"AppdirNoTrailingBackslash", L"stale");
    EXPECT_EQ(1603u, CallEntryPoint("_RemoveAppdirTrailingBackslash@4", session.handle()));
    EXPECT_EQ(1603u, CallEntryPoint("_LaunchProcessSync@4", session.handle()));
    EXPECT_EQ(L"stale", session.Property(L"AppdirNoTrailingBackslash"));
    EXPECT_EQ(L"", session.Property(L"LaunchProcessReturnValue"));
    EXPECT_EQ(Lines{}, session.LogLines());
}

TEST_F(CustomActionTest, LaunchPublishesTheChildsExitCodeWhateverItIs)
{
    ScratchDirectory scratch(L"launch");
    const fs::path program = scratch.path() / L"program files" / L"stand in child.exe";
    fs::create_directories(program.parent_path());
    fs::copy_file(StandInChildPath(), program);
    const fs::path record = scratch.path() / L"record.txt";
    const ScopedEnvironmentVariable recording(L"STAND_IN_RECORD", record.c_str());

    // The installer's custom-action server may hold inheritable handles; none may reach the
    // program.
    const fs::path heldFile = scratch.path() / L"held by the caller.txt";
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    const KernelHandle held(::CreateFileW(heldFile.c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                          CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_NE(INVALID_HANDLE_VALUE, held.get());
    const std::wstring heldValue = std::to_wstring(reinterpret_cast<std::uintptr_t>(held.get()));

    const struct {
        const wchar_t* arguments;
        const wchar_t* published;
        const wchar_t* runsFor = nullptr;  // milliseconds
        bool checksHandles = false;        // exits with 1 when it holds the caller's handle
    } cases[] = {
        {.arguments = L" 1", .published = L"1"},
        {.arguments = L" 0", .published = L"0"},
        {.arguments = L" 0xFFFFFFFF", .published = L"4294967295"},
        {.arguments = L" 0xC0000005", .published = L"3221225477"},
        {.arguments = L" 259 \"quoted arg\" [SECRET] {x}", .published = L"259"},
        {.arguments = L" 3010", .published = L"3010", .runsFor = L"8000"},  // the wait has no limit
        {.arguments = L" 0", .published = L"0", .checksHandles = true},
    };
    std::wstring expectedRecord;
    for (const auto& c : cases) {
        InstallerSession fresh(SessionPackagePath());
        const std::wstring commandLine = Quoted(program) + c.arguments;
        fresh.SetProperty(L"CustomActionData", commandLine);
        {
            const ScopedEnvironmentVariable sleep(L"STAND_IN_SLEEP_MS", c.runsFor);
            const ScopedEnvironmentVariable handle(L"STAND_IN_INHERITABLE_HANDLE",
                                                   c.checksHandles ? heldValue.c_str() : nullptr);
            const ScopedEnvironmentVariable file(L"STAND_IN_INHERITABLE_FILE",
                                                 c.checksHandles ? heldFile.c_str() : nullptr);
            EXPECT_EQ(0u, CallEntryPoint("_LaunchProcessSync@4", fresh.handle()))
                << ToUtf8(commandLine);
        }
        EXPECT_EQ(c.published, fresh.Property(L"LaunchProcessReturnValue"));
        EXPECT_EQ(Lines{}, fresh.LogLines());
        expectedRecord += commandLine + L"\n";
    }
    EXPECT_EQ(expectedRecord, ReadUtf8File(record));  // each command line passed unchanged
}

TEST_F(CustomActionTest, MissingProgramLogsTheSystemsErrorCode)
{
    session.SetProperty(L"CustomActionData", L"no-such-program.exe /quiet");
    EXPECT_EQ(1603u, CallEntryPoint("_LaunchProcessSync@4", session.handle()));
    EXPECT_EQ(Lines{CreateProcessFailedMessage(L"ERROR", L"no-such-program.exe /quiet", 2)},
              session.LogLines());
}

namespace {

// Top-level windows that note the settings changes they are sent.
struct SeenChange {
    WPARAM wParam;
    std::wstring area;
};
std::vector<SeenChange> seenChanges;

LRESULT CALLBACK NoteSettingChange(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTINGCHANGE)
        seenChanges.push_back(
            {wParam, lParam ? reinterpret_cast<const wchar_t*>(lParam) : L"(null)"});
    return ::DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateTopLevelWindow()
{
    static const ATOM windowClass = [] {
        WNDCLASSW description = {};
        description.lpfnWndProc = NoteSettingChange;
        description.hInstance = ::GetModuleHandleW(nullptr);
        description.lpszClassName = L"SettingChangeListener";
        return ::RegisterClassW(&description);
    }();
    return ::CreateWindowExW(0, MAKEINTATOM(windowClass), L"listener", WS_OVERLAPPEDWINDOW, 0, 0,
                             10, 10, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

TEST_F(CustomActionTest, BroadcastTellsTopLevelWindowsTheEnvironmentChanged)
{
    const HWND window = CreateTopLevelWindow();
    ASSERT_NE(nullptr, window);
    seenChanges.clear();
    EXPECT_EQ(0u, CallEntryPoint("_RefreshEnvironmentVariables@4", session.handle()));
    ::DestroyWindow(window);
    ASSERT_EQ(1u, seenChanges.size());
    EXPECT_EQ(0u, seenChanges[0].wParam);
    EXPECT_EQ(L"Environment", seenChanges[0].area);
    EXPECT_EQ(Lines{}, session.LogLines());
}

namespace {

// A top-level window whose thread stops reading its messages once the window exists.
struct HungWindow {
    HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = nullptr;
    HungWindow() = default;
    HungWindow(const HungWindow&) = delete;
    HungWindow& operator=(const HungWindow&) = delete;
    ~HungWindow()
    {
        ::SetEvent(release);
        if (thread != nullptr) {
            ::WaitForSingleObject(thread, INFINITE);
            ::CloseHandle(thread);
        }
        ::CloseHandle(ready);
        ::CloseHandle(release);
    }
};

DWORD WINAPI RunHungWindow(void* parameter)
{
    const HungWindow& hung = *static_cast<HungWindow*>(parameter);
    const HWND window = CreateTopLevelWindow();
    ::SetEvent(hung.ready);
    ::WaitForSingleObject(hung.release, INFINITE);  // never reads its messages meanwhile
    ::DestroyWindow(window);
    return 0;
}

}  // namespace

TEST_F(CustomActionTest, HungWindowsDoNotHoldTheBroadcast)
{
    // The platform takes a window for hung once its thread has read no
    // message for 5 seconds; until then it may cost its whole time-out.
    // Each limit leaves a wide margin both ways on a busy machine: four
    // windows waited for one after another would take 20 seconds.
    const struct {
        int windows;
        DWORD hungFor;  // milliseconds before the broadcast
        int limitSeconds;
    } cases[] = {
        {.windows = 1, .hungFor = 0, .limitSeconds = 15},
        {.windows = 4, .hungFor = 6500, .limitSeconds = 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.windows) + " hung windows");
        std::vector<HungWindow> hung(static_cast<std::size_t>(c.windows));
        for (HungWindow& window : hung) {
            window.thread = ::CreateThread(nullptr, 0, RunHungWindow, &window, 0, nullptr);
            EXPECT_NE(nullptr, window.thread);
            if (window.thread != nullptr)
                ::WaitForSingleObject(window.ready, INFINITE);
        }
        ::Sleep(c.hungFor);
        const HWND responsive = CreateTopLevelWindow();
        seenChanges.clear();

        const auto start = std::chrono::steady_clock::now();
        const UINT result = CallEntryPoint("_RefreshEnvironmentVariables@4", session.handle());
        const auto elapsed = std::chrono::steady_clock::now() - start;
        ::DestroyWindow(responsive);

        EXPECT_EQ(0u, result);
        EXPECT_LT(elapsed, std::chrono::seconds(c.limitSeconds));
        EXPECT_FALSE(seenChanges.empty()) << "the responsive window was not reached";
    }
}
