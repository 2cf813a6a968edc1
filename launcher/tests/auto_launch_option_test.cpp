#include <gtest/gtest.h>

#include "common/product_keys.h"
#include "common/registry.h"
#include "common/watcher_close_message.h"
#include "launcher/auto_launch_option.h"
#include "launcher/tolvik_constants.h"
#include "launcher/tests/recording_shell.h"

TEST(AutoLaunchOption, TickedOnlyForAStoredDwordZero)
{
    EXPECT_FALSE(CAutoLaunchOption::ReadTicked());  // absent

    struct Case
    {
        DWORD dwType;
        std::vector<BYTE> data;
        bool bTicked;
    } cases[] = {
        {REG_DWORD, {0, 0, 0, 0}, true},
        {REG_DWORD, {1, 0, 0, 0}, false},
        {REG_DWORD, {2, 0, 0, 0}, false},
        {REG_BINARY, {0, 0, 0, 0}, false},
        {REG_SZ, {'0', 0, 0, 0}, false},
    };
    for (const Case& c : cases)
    {
        ASSERT_HRESULT_SUCCEEDED(Registry::WriteValue(HKEY_CURRENT_USER, ZEP_USER_PRODUCT_KEY, ZEP_AUTOLAUNCH_VALUE,
                                                      c.dwType, c.data.data(), static_cast<DWORD>(c.data.size())));
        EXPECT_EQ(c.bTicked, CAutoLaunchOption::ReadTicked()) << c.dwType << L" " << c.data[0];
    }
}

TEST(AutoLaunchOption, StoreWritesZeroWhenTickedAndOneOtherwise)
{
    DWORD dwValue = 7;
    CAutoLaunchOption::Store(true);
    ASSERT_HRESULT_SUCCEEDED(
        Registry::ReadDword(HKEY_CURRENT_USER, ZEP_USER_PRODUCT_KEY, ZEP_AUTOLAUNCH_VALUE, dwValue));
    EXPECT_EQ(0u, dwValue);
    EXPECT_TRUE(CAutoLaunchOption::ReadTicked());
    CAutoLaunchOption::Store(false);
    ASSERT_HRESULT_SUCCEEDED(
        Registry::ReadDword(HKEY_CURRENT_USER, ZEP_USER_PRODUCT_KEY, ZEP_AUTOLAUNCH_VALUE, dwValue));
    EXPECT_EQ(1u, dwValue);
}

TEST(AutoLaunchOption, CloseStopsOrStartsTheWatcherOnlyWhenTheChoiceChanged)
{
    const std::wstring pirro = L"C:\\Program Files\\Velomar\\Pirro\\Pirro.exe";
    ASSERT_HRESULT_SUCCEEDED(
        Registry::WriteString(HKEY_LOCAL_MACHINE, TOLVIK_PIRRO_KEY, ZEP_INSTALLED_PATH_VALUE, pirro));
    ASSERT_NE(0u, WatcherCloseMessage);
    EXPECT_EQ(::RegisterWindowMessageW(WATCHER_CLOSE_MESSAGE_NAME), WatcherCloseMessage);

    struct Case
    {
        bool bAtStart;
        bool bAtClose;
        size_t cBroadcasts;
        size_t cStarts;
    } cases[] = {
        {false, true, 1, 0},   // newly ticked: a running watcher closes itself
        {true, false, 0, 1},   // newly cleared: the watcher is started
        {false, false, 0, 0},  // ticked and cleared again before closing
        {true, true, 0, 0},
    };
    for (const Case& c : cases)
    {
        CAutoLaunchOption option;
        option.Init(c.bAtStart);
        CRecordingShell shell;
        option.ApplyOnClose(c.bAtClose, shell, nullptr);
        ASSERT_EQ(c.cBroadcasts, shell.m_broadcasts.size()) << c.bAtStart << c.bAtClose;
        ASSERT_EQ(c.cStarts, shell.m_executed.size()) << c.bAtStart << c.bAtClose;
        if (c.cBroadcasts)
        {
            EXPECT_EQ(WatcherCloseMessage, shell.m_broadcasts[0].uMsg);
        }
        if (c.cStarts)
        {
            EXPECT_EQ(L"", shell.m_executed[0].verb);
            EXPECT_EQ(pirro, shell.m_executed[0].file);
            EXPECT_EQ(L"", shell.m_executed[0].parameters);
            EXPECT_EQ(SW_SHOWNORMAL, shell.m_executed[0].nShowCmd);
        }
        EXPECT_TRUE(shell.m_messages.empty());
    }
}

TEST(AutoLaunchOption, AWatcherPathThatIsNotWholeIsNotStarted)
{
    const std::wstring longest = L"C:\\" + std::wstring(252, L'p') + L".exe";
    ASSERT_EQ(259u, longest.size());
    const struct
    {
        const char* pszLabel;
        bool bStored;
        std::wstring path;
        bool bStarted;
    } cases[] = {
        {"longest", true, longest, true},
        {"missing", false, std::wstring(), false},
        {"empty", true, std::wstring(), false},
        {"one character too long", true, longest + L"x", false},
        {"longer than the read buffer", true, std::wstring(600, L'p'), false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszLabel);
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, TOLVIK_PIRRO_KEY, ZEP_INSTALLED_PATH_VALUE);
        if (c.bStored)
        {
            ASSERT_HRESULT_SUCCEEDED(
                Registry::WriteString(HKEY_LOCAL_MACHINE, TOLVIK_PIRRO_KEY, ZEP_INSTALLED_PATH_VALUE, c.path));
        }
        CAutoLaunchOption option;
        option.Init(true);
        CRecordingShell shell;
        option.ApplyOnClose(false, shell, nullptr);
        if (c.bStarted)
        {
            ASSERT_EQ(1u, shell.m_executed.size());
            EXPECT_EQ(c.path, shell.m_executed[0].file);
        }
        else
        {
            EXPECT_TRUE(shell.Quiet());
        }
    }
}
