// Closing a real device watcher the way the installation does before it removes the program.
// The close message is broadcast to the whole desktop: the test runs with the others that start
// watchers, one at a time.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/string_util.h"
#include "common/testing/zeptest.h"
#include "common/unique_resource.h"
#include "installer/exec/watcher_close.h"

TEST(WatcherClose, MutexNameIsTheProgramNameWithoutExtension)
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

TEST(WatcherClose, RunningWatcherEndsAndAnAbsentOneIsReportedSo)
{
    // A copy under a name of its own: its mutex cannot meet an installed watcher's.
    const std::wstring program =
        zeptest::TestTempDir() + FormatString(L"WatcherUnderTest%lu.exe", ::GetCurrentProcessId());
    ASSERT_TRUE(::CopyFileW((zeptest::ExeDir() + L"Pirro.exe").c_str(), program.c_str(), FALSE));
    const std::wstring mutexName = WatcherMutexName(program);
    EXPECT_EQ(WatcherCloseResult::NotRunning, CloseWatcher(mutexName, 1000));

    UniqueHandle process;
    ASSERT_TRUE(zeptest::StartProcess(L"\"" + program + L"\"", process));
    bool bRunning = false;
    for (int i = 0; i < 200 && !bRunning; ++i)
    {
        UniqueHandle mutex(::OpenMutexW(SYNCHRONIZE, FALSE, mutexName.c_str()));
        bRunning = static_cast<bool>(mutex);
        if (!bRunning)
            ::Sleep(50);
    }
    ASSERT_TRUE(bRunning);
    // Its window must exist before the broadcast can reach it.
    ::WaitForInputIdle(process.Get(), 5000);

    EXPECT_EQ(WatcherCloseResult::Closed, CloseWatcher(mutexName, 10000));
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(process.Get(), 5000));
    EXPECT_EQ(WatcherCloseResult::NotRunning, CloseWatcher(mutexName, 1000));
    if (::WaitForSingleObject(process.Get(), 0) != WAIT_OBJECT_0)
        ::TerminateProcess(process.Get(), 1);
}
