// SPDX-FileCopyrightText: the Installer utilities authors
// SPDX-License-Identifier: MIT
// Runs the built Tarbel.exe as its callers do: beside a stand-in
// redistributable, in an environment of the test's own making.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <regex>
#include <string>

#include "abnormal_end.h"
#include "child_process.h"
#include "process_messages.h"
#include "test_paths.h"

namespace fs = std::filesystem;

namespace {

const char kTimestampPattern[] =
    "(Sun|Mon|Tue|Wed|Thu|Fri|Sat) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
    "(0[1-9]|[12][0-9]|3[01]) ([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9] ([0-9]{4})";

const std::string kResultLine = "Exit code for Visual C++ Redistributable for Visual Studio 2013: ";
const std::string kVictimBytes = "somebody else's file\r\n";

bool IsRunning(const wchar_t* program)
{
    const KernelHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry))
        if (_wcsicmp(entry.szExeFile, program) == 0)
            return true;
    return false;
}

std::string EscapeForRegex(const std::string& text)
{
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(text, special, R"(\$&)");
}

class TarbelTest : public ::testing::Test {
protected:
    TarbelTest()
        : app(scratch.path() / L"app"),
          temp(scratch.path() / L"temp"),
          elsewhere(scratch.path() / L"elsewhere")
    {
        fs::create_directories(app);
        fs::create_directories(temp);
        fs::create_directories(elsewhere);
        fs::copy_file(DistDirectory() / L"Tarbel.exe", app / L"Tarbel.exe");
        fs::copy_file(StandInChildPath(), app / L"vcredist_x86.exe");
    }

    fs::path Log() const { return temp / L"ovt18helper.log"; }
    fs::path Record() const { return scratch.path() / L"starts.txt"; }
    std::wstring Starts() const { return ReadUtf8File(Record()); }
    fs::path Victim() const { return scratch.path() / L"victim.txt"; }

    EnvironmentOverrides Environment(const std::wstring& childExitCode = L"0",
                                     const fs::path& temporary = {}) const
    {
        const std::wstring folder = (temporary.empty() ? temp : temporary).wstring();
        return {{L"TMP", folder},
                {L"TEMP", folder},
                {L"STAND_IN_RECORD", Record().wstring()},
                {L"STAND_IN_EXIT_CODE", childExitCode}};
    }

    // Started from another folder, so the redistributable is found beside Tarbel.exe.
    DWORD RunTarbel(const std::wstring& arguments, const EnvironmentOverrides& environment) const
    {
        std::wstring commandLine = Quoted(app / L"Tarbel.exe");
        if (!arguments.empty())
            commandLine += L" " + arguments;
        const DWORD code = RunProcess(commandLine, environment, elsewhere);
        EXPECT_NE(kAbnormalEndCode, code)
            << "Tarbel failed fast: its stack guard or an abnormal end stopped it, or, on Windows, "
               "a call that its Control Flow Guard table does not list, as it started or ended";
        return code;
    }

    bool Mklink(const std::wstring& switches, const fs::path& link, const fs::path& target) const
    {
        return RunProcess(L"cmd.exe /c mklink " + switches + Quoted(link) + L" " + Quoted(target),
                          {}, scratch.path()) == 0;
    }

    // A user who can write to the temporary folder (SYSTEM's is shared, an elevated run's is the
    // user's) must not be able to turn the log into a write onto another file.
    void ExpectPlantLeftAlone(DWORD expected, const fs::path& temporary) const
    {
        EXPECT_EQ(expected, RunTarbel(L"x", Environment(L"0", temporary)));
        EXPECT_EQ(kVictimBytes, ReadFileBytes(Victim()));
        EXPECT_FALSE(fs::exists(elsewhere / L"ovt18helper.log"));
        if (expected == 5)
            EXPECT_FALSE(fs::exists(Record()));
        else
            ExpectLogHoldsOnly(kResultLine + "0");
    }

    // One line, stamped with this year. The emulated x86 machine runs these
    // tests with its clock past 2038, where a 32-bit clock read fails, and
    // says which year that is in INSTALLER_UTILITIES_CLOCK_YEAR.
    void ExpectLogHoldsOnly(const std::string& message) const
    {
        const std::string bytes = ReadFileBytes(Log());
        std::smatch match;
        EXPECT_TRUE(std::regex_match(
            bytes, match,
            std::regex(std::string(kTimestampPattern) + ": " + EscapeForRegex(message) + "\r\n")))
            << "log holds: " << bytes;
        const int year = match.empty() ? 0 : std::stoi(match[5]);
        SYSTEMTIME now = {};
        ::GetLocalTime(&now);
        EXPECT_TRUE(year == now.wYear || year == now.wYear - 1) << "log holds: " << bytes;
        wchar_t expected[8] = {};
        if (::GetEnvironmentVariableW(L"INSTALLER_UTILITIES_CLOCK_YEAR", expected, 8) > 0)
            EXPECT_EQ(std::to_wstring(year), expected) << "log holds: " << bytes;
    }

    ScratchDirectory scratch{L"tarbel"};
    const fs::path app;
    const fs::path temp;
    const fs::path elsewhere;
};

}  // namespace

TEST_F(TarbelTest, MapsTheRedistributablesExitCodeAndLogsIt)
{
    const struct {
        const wchar_t* childExitCode;
        const char* logged;
        DWORD expected;
        const wchar_t* runsFor = L"";  // milliseconds: the wait has no time limit
    } cases[] = {
        {.childExitCode = L"0", .logged = "0", .expected = 0},
        {.childExitCode = L"5100", .logged = "5100", .expected = 0},
        {.childExitCode = L"3010", .logged = "3010", .expected = 3010},
        {.childExitCode = L"1603", .logged = "1603", .expected = 3},
        {.childExitCode = L"1638", .logged = "1638", .expected = 0},
        {.childExitCode = L"1", .logged = "1", .expected = 3},
        {.childExitCode = L"0xC0000005", .logged = "3221225477", .expected = 3},
        {.childExitCode = L"3010", .logged = "3010", .expected = 3010, .runsFor = L"8000"},
    };
    for (const auto& c : cases) {
        fs::remove(Record());
        EnvironmentOverrides environment = Environment(c.childExitCode);
        environment[L"STAND_IN_SLEEP_MS"] = c.runsFor;
        EXPECT_EQ(c.expected, RunTarbel(L"x", environment)) << c.logged;
        ExpectLogHoldsOnly(kResultLine + c.logged);
        EXPECT_EQ(L"vcredist_x86.exe /quiet /norestart\n", Starts());
    }
}

TEST_F(TarbelTest, AnyArgumentRunsTheRedistributableNoneRunsNothing)
{
    const struct {
        const wchar_t* arguments;
        DWORD expected;
    } cases[] = {
        {.arguments = L"", .expected = 1},
        {.arguments = L"x", .expected = 3010},
        {.arguments = L"\"\"", .expected = 3010},  // one empty argument still counts
        {.arguments = L"/? --help", .expected = 3010},
        {.arguments = L"\u00F1\u65E5 \"with space\"", .expected = 3010},
    };
    const std::string earlier = "an earlier run's log\r\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.arguments));
        WriteFileBytes(Log(), earlier);
        fs::remove(Record());
        EXPECT_EQ(c.expected, RunTarbel(c.arguments, Environment(L"3010")));
        if (c.expected == 1) {
            EXPECT_EQ(earlier, ReadFileBytes(Log()));
            EXPECT_FALSE(fs::exists(Record()));
        } else {
            ExpectLogHoldsOnly(kResultLine + "3010");  // replaced, not appended to
        }
    }
}

TEST_F(TarbelTest, NoArgumentCreatesNoLog)
{
    EXPECT_EQ(1u, RunTarbel(L"", Environment()));
    EXPECT_FALSE(fs::exists(Log()));
}

TEST_F(TarbelTest, MissingRedistributableIsLoggedWithTheErrorCode)
{
    fs::remove(app / L"vcredist_x86.exe");
    EXPECT_EQ(3u, RunTarbel(L"x", Environment()));
    ExpectLogHoldsOnly(
        ToUtf8(CreateProcessFailedMessage(L"Error", L"vcredist_x86.exe /quiet /norestart", 2)));
}

TEST_F(TarbelTest, UnusableTemporaryDirectoryEndsWithFiveAndStartsNothing)
{
    const std::wstring longName(300, L'd');  // needs more than the 261-character buffer
    const struct {
        const wchar_t* what;
        fs::path directory;
        bool mayFallBack = false;
    } cases[] = {
        {.what = L"missing", .directory = scratch.path() / L"no such folder"},
        // The "GetTempPathW function" page lists TMP, TEMP, USERPROFILE and the Windows
        // folder but leaves a TMP longer than the buffer undocumented: Wine fails, Windows
        // may go on down the list. Either way Tarbel starts nothing without its log.
        {.what = L"longer than the buffer",
         .directory = scratch.path() / longName,
         .mayFallBack = !RunningUnderWine()},
    };
    for (const auto& c : cases) {
        fs::remove(Record());
        EnvironmentOverrides environment = Environment(L"3010", c.directory);
        environment[L"USERPROFILE"] = elsewhere.wstring();
        const DWORD result = RunTarbel(L"x", environment);
        if (c.mayFallBack && result == 3010) {
            const std::string log = ReadFileBytes(elsewhere / L"ovt18helper.log");
            EXPECT_NE(std::string::npos, log.find(kResultLine + "3010\r\n")) << log;
            continue;
        }
        EXPECT_EQ(5u, result) << ToUtf8(c.what);
        EXPECT_FALSE(fs::exists(Record())) << ToUtf8(c.what);
    }
}

TEST_F(TarbelTest, LogPathThatIsNotAFileOfItsOwnIsLeftAloneAndNothingStarts)
{
    const struct {
        const char* what;
        DWORD expected;
        void (*plant)(const fs::path& log, const fs::path& victim) = nullptr;
        // A link made instead of plant: by mklink with these switches, under Wine by ln -s (a Unix
        // link, which Wine shows as the file or folder it leads to).
        const wchar_t* mklink = nullptr;
    } cases[] = {
        {.what = "hard link to another file",
         .expected = 5,
         .plant =
             [](const fs::path& log, const fs::path& victim) {
                 EXPECT_TRUE(::CreateHardLinkW(log.c_str(), victim.c_str(), nullptr));
             }},
        {.what = "symbolic link to another file", .expected = 5, .mklink = L""},
        {.what = "junction to another folder", .expected = 5, .mklink = L"/J "},
        {.what = "directory",
         .expected = 5,
         .plant = [](const fs::path& log, const fs::path&) { fs::create_directory(log); }},
        {.what = "earlier log longer than the new one",
         .expected = 0,
         .plant = [](const fs::path& log,
                     const fs::path&) { WriteFileBytes(log, std::string(4096, 'x')); }},
    };
    // Wine starts a Unix program without a handle to wait on: its work is waited for instead.
    const auto unix = [this](const std::wstring& command, bool logThen) {
        static_cast<void>(StartProcess(L"Z:\\bin\\" + command, {}, temp));
        for (int waited = 0; fs::exists(Log()) != logThen && waited < 10000; waited += 20)
            ::Sleep(20);
        return fs::exists(Log()) == logThen;
    };
    std::string notMade;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFileBytes(Victim(), kVictimBytes);
        fs::remove(Record());
        const fs::path target = c.mklink != nullptr && *c.mklink != L'\0' ? elsewhere : Victim();
        const std::wstring unixLink =
            L"ln -s ../" + target.filename().wstring() + L" ovt18helper.log";
        if (c.plant != nullptr) {
            c.plant(Log(), Victim());
        } else if (RunningUnderWine() ? !unix(unixLink, true) : !Mklink(c.mklink, Log(), target)) {
            notMade += std::string(c.what) + "; ";
            continue;
        }
        ExpectPlantLeftAlone(c.expected, temp);
        // The link or junction, not its target.
        if (RunningUnderWine())
            EXPECT_TRUE(unix(L"rm -rf ovt18helper.log", false));
        else
            fs::remove_all(Log());
    }
    if (!notMade.empty())
        GTEST_SKIP() << "not made (a symbolic link needs the right): " << notMade;
}

TEST_F(TarbelTest, TemporaryFolderThatIsAJunctionIsLeftAloneAndNothingStarts)
{
    if (RunningUnderWine())
        GTEST_SKIP()
            << "Wine shows no link at a folder: a Unix link there is the folder it leads to";
    const fs::path linked = scratch.path() / L"linked";
    WriteFileBytes(Victim(), kVictimBytes);
    ASSERT_TRUE(Mklink(L"/J ", linked, elsewhere));
    ExpectPlantLeftAlone(5, linked);
}

TEST_F(TarbelTest, ProcessLeftRunningByTheRedistributableHoldsNothingOfTarbels)
{
    const fs::path hold = scratch.path() / L"hold";
    WriteFileBytes(hold, "");
    EnvironmentOverrides environment = Environment();
    environment[L"STAND_IN_LEAVE_RUNNING"] = hold.wstring();
    EXPECT_EQ(0u, RunTarbel(L"x", environment));

    // Tarbel has ended while the redistributable's copy of itself still runs.
    const std::wstring copy = Quoted(app / L"vcredist_x86.exe") + L"\n";
    const std::wstring bothStarted = L"vcredist_x86.exe /quiet /norestart\n" + copy;
    for (int waited = 0; Starts() != bothStarted && waited < 30000; waited += 50)
        ::Sleep(50);
    EXPECT_EQ(bothStarted, Starts());
    EXPECT_TRUE(IsRunning(L"vcredist_x86.exe"));
    // Nothing of Tarbel's was inherited: the log can be had exclusively at once.
    const HANDLE log = ::CreateFileW(Log().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, log) << ::GetLastError();
    if (log != INVALID_HANDLE_VALUE)
        ::CloseHandle(log);
    ExpectLogHoldsOnly(kResultLine + "0");
    fs::remove(hold);
}

TEST_F(TarbelTest, TemporaryDirectoryWithNonAsciiCharacters)
{
    const fs::path unusual = scratch.path() / L"T\u00E9mp \u03A9 \u65E5\u672C";
    fs::create_directories(unusual);
    EXPECT_EQ(0u, RunTarbel(L"x", Environment(L"5100", unusual)));
    const std::string bytes = ReadFileBytes(unusual / L"ovt18helper.log");
    EXPECT_NE(std::string::npos, bytes.find(kResultLine + "5100\r\n")) << bytes;
}

TEST_F(TarbelTest, LogIsHeldExclusivelyWhileTheRedistributableRuns)
{
    const fs::path hold = scratch.path() / L"hold";
    WriteFileBytes(hold, "");
    EnvironmentOverrides environment = Environment();
    environment[L"STAND_IN_HOLD"] = hold.wstring();
    const KernelHandle first =
        StartProcess(Quoted(app / L"Tarbel.exe") + L" x", environment, elsewhere);
    for (int waited = 0; !fs::exists(Record()) && waited < 30000; waited += 50)
        ::Sleep(50);
    ASSERT_TRUE(fs::exists(Record()));

    EXPECT_EQ(0u, fs::file_size(Log()));  // nothing reaches the disk before the close
    const HANDLE reader = ::CreateFileW(Log().c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, reader);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), ::GetLastError());
    if (reader != INVALID_HANDLE_VALUE)
        ::CloseHandle(reader);

    EXPECT_EQ(5u, RunTarbel(L"x", environment));
    EXPECT_EQ(L"vcredist_x86.exe /quiet /norestart\n", Starts());  // the second started nothing

    fs::remove(hold);
    EXPECT_EQ(0u, WaitForExitCode(first.get()));
    ExpectLogHoldsOnly(kResultLine + "0");
}

TEST_F(TarbelTest, TimestampIsLocalTimeAsTheTimeZoneVariableSays)
{
    const auto minuteOfDay = [this](const wchar_t* zone) {
        EnvironmentOverrides environment = Environment();
        environment[L"TZ"] = zone;
        EXPECT_EQ(0u, RunTarbel(L"x", environment));
        const std::string bytes = ReadFileBytes(Log());
        std::smatch match;
        EXPECT_TRUE(std::regex_search(bytes, match, std::regex("^... ... .. (..):(..):..")));
        return match.empty() ? -1 : (std::stoi(match[1]) * 60) + std::stoi(match[2]);
    };
    const int utc = minuteOfDay(L"UTC0");
    const int plusFive = minuteOfDay(L"XXX-5");
    const int minusThreeAndAHalf = minuteOfDay(L"YYY3:30");
    // The runs are seconds apart; allow a minute boundary between them.
    const int ahead = ((plusFive - utc) % 1440 + 1440) % 1440;
    const int behind = ((utc - minusThreeAndAHalf) % 1440 + 1440) % 1440;
    EXPECT_TRUE(ahead == 300 || ahead == 301) << ahead;
    EXPECT_TRUE(behind == 210 || behind == 209 || behind == 211) << behind;
}

TEST_F(TarbelTest, LongTemporaryDirectoriesEitherLogOrStartNothing)
{
    // A 250-character directory fits the temporary-path buffer, but the log path
    // joined to it does not fit MAX_PATH: Windows refuses it to Tarbel, which is not
    // long-path aware; Wine opens it, but tells no final path that long to check it by.
    // Either way exit 5: no redistributable runs without a log, and no log is left.
    const std::wstring base = scratch.path().wstring() + L"\\";
    ASSERT_LT(base.size(), 250u) << "the temporary folder's path is too long for this test: "
                                 << ToUtf8(base);
    const std::wstring directory = base + std::wstring(250 - base.size(), L'L');
    // A directory past MAX_PATH less 12 characters only in the \\?\ form ("Maximum Path
    // Length Limitation"); plain, Windows would refuse it here, before Tarbel runs.
    ASSERT_TRUE(::CreateDirectoryW((L"\\\\?\\" + directory).c_str(), nullptr)) << ::GetLastError();
    EXPECT_EQ(5u, RunTarbel(L"x", Environment(L"3010", directory)));
    EXPECT_FALSE(fs::exists(Record()));
    EXPECT_FALSE(fs::exists(L"\\\\?\\" + directory + L"\\ovt18helper.log"));
}
