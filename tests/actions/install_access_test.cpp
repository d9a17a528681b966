// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
// The installation access and the entry points, linked in with stand-ins for
// the installer and process calls, so that the failures a real installation
// does not produce on demand can be reached. Unarmed, the stand-ins pass
// through to a real installation session.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "allocation_failure.h"
#include "child_process.h"
#include "entry_points.h"
#include "fake_msi_platform.h"
#include "fake_process_platform.h"
#include "install_access.h"
#include "installer_session.h"
#include "process_messages.h"
#include "test_paths.h"

namespace {

class InstallAccessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake_msi::Reset();
        fake_process::Reset();
    }
    void TearDown() override
    {
        DisarmAllocationFailure();
        EXPECT_EQ(0, fake_msi::OpenRecords()) << "a record was left open";
        fake_msi::Reset();
        fake_process::Reset();
    }

    InstallerSession session{SessionPackagePath()};
};

}  // namespace

TEST_F(InstallAccessTest, ReadsValuesAndUndefinedPropertiesSilently)
{
    session.SetProperty(L"APPDIR", L"C:\\App\\");
    const struct {
        const wchar_t* name;
        const wchar_t* value;
    } cases[] = {
        {.name = L"APPDIR", .value = L"C:\\App\\"},
        {.name = L"SECRET", .value = L"hunter2"},
        {.name = L"NOT_DEFINED_ANYWHERE", .value = L""},
    };
    for (const auto& c : cases) {
        std::wstring value = L"stale";
        EXPECT_TRUE(GetInstallProperty(session.handle(), c.name, value));
        EXPECT_EQ(c.value, value);
    }
    EXPECT_EQ(Lines{}, session.LogLines());
}

TEST_F(InstallAccessTest, PropertyReadFailuresAreLoggedOnceWithTheirCall)
{
    const std::wstring failed = L"ERROR: MsiGetProperty() with name: APPDIR returned: ";
    const struct {
        fake_msi::Faults faults;
        std::wstring logged;
    } cases[] = {
        {.faults = {.sizeCallResult = 0u}, .logged = failed + L"0 while making initial size call"},
        {.faults = {.sizeCallResult = 1627u},
         .logged = failed + L"1627 while making initial size call"},
        {.faults = {.sizeCallResult = 6u}, .logged = failed + L"6 while making initial size call"},
        {.faults = {.readCallResult = 1627u}, .logged = failed + L"1627"},
        {.faults = {.readCallResult = ERROR_MORE_DATA}, .logged = failed + L"234"},
    };
    for (const auto& c : cases) {
        InstallerSession fresh(SessionPackagePath());
        fake_msi::Arm(c.faults);
        std::wstring value;
        EXPECT_FALSE(GetInstallProperty(fresh.handle(), L"APPDIR", value));
        fake_msi::Reset();
        EXPECT_EQ(Lines{c.logged}, fresh.LogLines());
    }
}

TEST_F(InstallAccessTest, ValueEndsAtAnEmbeddedNul)
{
    fake_msi::Arm({.value = std::wstring(L"C:\\A\0pp\\", 8)});
    std::wstring value;
    EXPECT_TRUE(GetInstallProperty(session.handle(), L"APPDIR", value));
    EXPECT_EQ(L"C:\\A", value);
}

TEST_F(InstallAccessTest, RefusedPropertyWritesFailTheActionWithTheValueLogged)
{
    session.SetProperty(L"APPDIR", L"C:\\App [x]\\");
    session.SetProperty(L"CustomActionData", Quoted(StandInChildPath()) + L" 7");
    fake_msi::Arm({.setPropertyResult = 1627u});
    EXPECT_EQ(1603u, RemoveAppdirTrailingBackslash(session.handle()));
    EXPECT_EQ(1603u, LaunchProcessSync(session.handle()));
    fake_msi::Reset();
    EXPECT_EQ((Lines{
                  L"ERROR: MsiSetProperty() with name: AppdirNoTrailingBackslash and value: "
                  L"C:\\App [x] returned: 1627",
                  L"ERROR: MsiSetProperty() with name: LaunchProcessReturnValue and value: 7 "
                  L"returned: 1627",
              }),
              session.LogLines());
}

TEST_F(InstallAccessTest, ReadFailuresFailTheActionsBeforeTheyDoAnything)
{
    session.SetProperty(L"CustomActionData", Quoted(StandInChildPath()) + L" 0");
    session.SetProperty(L"APPDIR", L"C:\\App\\");
    fake_msi::Arm({.sizeCallResult = 5u});
    EXPECT_EQ(1603u, LaunchProcessSync(session.handle()));
    EXPECT_EQ(1603u, RemoveAppdirTrailingBackslash(session.handle()));
    fake_msi::Reset();
    EXPECT_TRUE(fake_process::Events().empty()) << "a child was started";
    EXPECT_EQ(L"", session.Property(L"AppdirNoTrailingBackslash"));
    EXPECT_EQ(
        (Lines{
            L"ERROR: MsiGetProperty() with name: CustomActionData returned: 5 while making initial "
            L"size call",
            L"ERROR: MsiGetProperty() with name: APPDIR returned: 5 while making initial size call",
        }),
        session.LogLines());
}

TEST_F(InstallAccessTest, ChildThatCannotBeWaitedForOrReadFailsTheLaunch)
{
    const struct {
        fake_process::Faults faults;
        std::wstring logged;
    } cases[] = {
        {.faults = {.failWait = true, .waitError = 6}, .logged = WaitFailedMessage(L"ERROR")},
        {.faults = {.failExitCodeRead = true, .exitCodeReadError = 5},
         .logged = ExitCodeUnreadableMessage(L"ERROR", 5)},
    };
    for (const auto& c : cases) {
        InstallerSession fresh(SessionPackagePath());
        fresh.SetProperty(L"CustomActionData", Quoted(StandInChildPath()) + L" 0");
        fake_process::Arm(c.faults);
        EXPECT_EQ(1603u, LaunchProcessSync(fresh.handle()));
        fake_process::Reset();
        EXPECT_EQ(Lines{c.logged}, fresh.LogLines());
        EXPECT_EQ(L"", fresh.Property(L"LaunchProcessReturnValue"));
    }
}

TEST_F(InstallAccessTest, LogLineThatCannotBeBuiltIsLostQuietly)
{
    const struct {
        const char* what;
        fake_msi::Faults faults;
    } cases[] = {
        {.what = "record not created", .faults = {.failCreateRecord = true}},
        {.what = "field not set", .faults = {.failRecordSetString = true}},
    };
    for (const auto& c : cases) {
        InstallerSession fresh(SessionPackagePath());
        fresh.SetProperty(L"CustomActionData", L"no-such-program.exe");
        fake_msi::Arm(c.faults);
        EXPECT_EQ(1603u, LaunchProcessSync(fresh.handle())) << c.what;
        EXPECT_EQ(0, fake_msi::ProcessedMessages()) << c.what;
        EXPECT_EQ(0, fake_msi::OpenRecords()) << c.what;
        fake_msi::Reset();
        EXPECT_EQ(Lines{}, fresh.LogLines()) << c.what;
    }
}

TEST_F(InstallAccessTest, RunningOutOfMemoryAnywhereFailsTheActionAndTheNextCallWorks)
{
    using EntryPoint = UINT(__stdcall*)(MSIHANDLE);
    const struct {
        EntryPoint call;
        const wchar_t* input;
        const wchar_t* value = nullptr;  // the stand-in child, ending with 0
    } cases[] = {
        {.call = LaunchProcessSync, .input = L"CustomActionData"},
        {.call = LaunchProcessSync,
         .input = L"CustomActionData",
         .value = L"no-such-program.exe [x]"},
        {.call = RemoveAppdirTrailingBackslash, .input = L"APPDIR", .value = L"C:\\App\\"},
    };
    for (const auto& c : cases) {
        const std::wstring value =
            c.value != nullptr ? c.value : Quoted(StandInChildPath()) + L" 0";
        SCOPED_TRACE(ToUtf8(c.input + (L" = " + value)));
        session.SetProperty(c.input, value);
        FailAllocationsAfter(INT_MAX);
        const UINT unhindered = c.call(session.handle());
        const int allocations = AllocationsCounted();
        DisarmAllocationFailure();
        EXPECT_GT(allocations, 0);

        for (int allowed = 0; allowed < allocations; ++allowed) {
            FailAllocationsAfter(allowed);
            const UINT result = c.call(session.handle());
            DisarmAllocationFailure();
            EXPECT_EQ(1603u, result) << allowed << " allocations allowed";
        }
        EXPECT_EQ(unhindered, c.call(session.handle()));
    }
}
