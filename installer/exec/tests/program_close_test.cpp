// Closing the companion's running programs the way the installation does before it removes
// them: the real device watcher, and a stand-in launcher (an instance mutex and a marked window).
// The watcher's close message is broadcast to the whole desktop: the test runs with the others
// that start watchers, one at a time.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/marked_window.h"
#include "common/string_util.h"
#include "common/testing/zeptest.h"
#include "common/unique_resource.h"
#include "installer/exec/program_close.h"

namespace
{
bool WaitForMutex(const std::wstring& mutexName)
{
    for (int i = 0; i < 200; ++i)
    {
        UniqueHandle mutex(::OpenMutexW(SYNCHRONIZE, FALSE, mutexName.c_str()));
        if (mutex)
            return true;
        ::Sleep(50);
    }
    return false;
}

bool WaitForMarkedWindow(const std::wstring& marker)
{
    for (int i = 0; i < 200; ++i)
    {
        if (!FindMarkedTopLevelWindows(marker.c_str()).empty())
            return true;
        ::Sleep(50);
    }
    return false;
}

// A name of this test's own: its mutex and marker cannot meet a real launcher's. The dot is no
// extension: the launcher's mutex carries its name as it stands.
std::wstring StandInName(const wchar_t* pszCase)
{
    return FormatString(L"Launcher Under Test %s %lu.0", pszCase, ::GetCurrentProcessId());
}

bool StartStandIn(const std::wstring& name, const wchar_t* pszArguments, UniqueHandle& process)
{
    return zeptest::StartProcess(
        L"\"" + zeptest::ExeDir() + L"ondrix_launcher_stand_in.exe\" \"" + name + L"\" " + pszArguments, process);
}
}  // namespace

TEST(ProgramClose, MutexNameIsTheProgramNameWithoutFolderAndExtension)
{
    const struct
    {
        const wchar_t* pszProgram;
        const wchar_t* pszMutex;
    } cases[] = {
        {L"Pirro.exe", L"Global\\Pirro"},
        {L"C:\\Program Files\\Velomar\\Pirro.exe", L"Global\\Pirro"},
        {L"Pirro", L"Global\\Pirro"},
        {L"my.watcher.exe", L"Global\\my.watcher"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.pszMutex, WatcherMutexName(c.pszProgram)) << WideToUtf8(c.pszProgram);
}

TEST(ProgramClose, RunningWatcherEndsAndAnAbsentOneIsReportedSo)
{
    // A copy under a name of its own: its mutex cannot meet an installed watcher's.
    const std::wstring program =
        zeptest::TestTempDir() + FormatString(L"WatcherUnderTest%lu.exe", ::GetCurrentProcessId());
    ASSERT_TRUE(::CopyFileW((zeptest::ExeDir() + L"Pirro.exe").c_str(), program.c_str(), FALSE));
    const std::wstring mutexName = WatcherMutexName(program);
    EXPECT_EQ(ProgramCloseResult::NotRunning, CloseWatcher(mutexName, 1000));

    UniqueHandle process;
    ASSERT_TRUE(zeptest::StartProcess(L"\"" + program + L"\"", process));
    ASSERT_TRUE(WaitForMutex(mutexName));
    // Its window must exist before the broadcast can reach it.
    ::WaitForInputIdle(process.Get(), 5000);

    EXPECT_EQ(ProgramCloseResult::Closed, CloseWatcher(mutexName, 10000));
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(process.Get(), 5000));
    EXPECT_EQ(ProgramCloseResult::NotRunning, CloseWatcher(mutexName, 1000));
    if (::WaitForSingleObject(process.Get(), 0) != WAIT_OBJECT_0)
        ::TerminateProcess(process.Get(), 1);
}

TEST(ProgramClose, LauncherClosesOnWmCloseToItsMarkedWindow)
{
    const struct
    {
        const wchar_t* pszCase;
        const wchar_t* pszArguments;
        bool bWaitForWindow;
    } cases[] = {
        {L"shown", L"closes", true},
        // Mutex taken, window not yet there: the close request waits for the window to appear.
        {L"starting", L"closes 1500", false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(WideToUtf8(c.pszCase));
        const std::wstring name = StandInName(c.pszCase);
        EXPECT_EQ(ProgramCloseResult::NotRunning, CloseLauncher(name, 1000));

        UniqueHandle process;
        ASSERT_TRUE(StartStandIn(name, c.pszArguments, process));
        ASSERT_TRUE(WaitForMutex(L"Global\\" + name));
        if (c.bWaitForWindow)
            ASSERT_TRUE(WaitForMarkedWindow(name));
        else
            EXPECT_TRUE(FindMarkedTopLevelWindows(name.c_str()).empty());

        EXPECT_EQ(ProgramCloseResult::Closed, CloseLauncher(name, 10000));
        EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(process.Get(), 5000));
        DWORD dwExit = 0xFFFFFFFF;
        ::GetExitCodeProcess(process.Get(), &dwExit);
        EXPECT_EQ(0u, dwExit) << "closed by its window, not ended some other way";
        EXPECT_EQ(ProgramCloseResult::NotRunning, CloseLauncher(name, 1000));
        if (::WaitForSingleObject(process.Get(), 0) != WAIT_OBJECT_0)
            ::TerminateProcess(process.Get(), 1);
    }
}

TEST(ProgramClose, LauncherThatStaysIsReportedAfterTheWaitAndLeftRunning)
{
    const std::wstring name = StandInName(L"stays");
    UniqueHandle process;
    ASSERT_TRUE(StartStandIn(name, L"stays", process));
    ASSERT_TRUE(WaitForMarkedWindow(name));

    const ULONGLONG ullStart = ::GetTickCount64();
    EXPECT_EQ(ProgramCloseResult::TimedOut, CloseLauncher(name, 1500));
    const ULONGLONG ullElapsed = ::GetTickCount64() - ullStart;
    EXPECT_GE(ullElapsed, 1400u);
    EXPECT_LT(ullElapsed, 5000u);
    // Nothing harder than the request: the process is still there.
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), ::WaitForSingleObject(process.Get(), 0));
    ::TerminateProcess(process.Get(), 1);
    ::WaitForSingleObject(process.Get(), 5000);
}
