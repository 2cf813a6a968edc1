// The watcher's two registry settings: AutoLaunch (per user) and the launcher's path.
#include <gtest/gtest.h>

#include "common/registry.h"
#include "watcher/watcher_registry.h"

namespace
{
const wchar_t kUserKey[] = L"Software\\Orvo Corporation\\Velomar Launcher";
const wchar_t kTolvikKey[] = L"SOFTWARE\\Orvo Corporation\\Velomar Launcher\\TOLVIK";

TEST(WatcherRegistry, OnlyDwordZeroDisablesAutoLaunch)
{
    EXPECT_FALSE(CWatcherRegistry::IsAutoLaunchDisabled()) << "absent";

    const DWORD dwZero = 0, dwOne = 1;
    const ULONGLONG qwZero = 0;
    const wchar_t szZero[] = L"0";
    struct Case
    {
        const char* pszLabel;
        DWORD dwType;
        const void* pData;
        DWORD cb;
        bool bDisabled;
    } const cases[] = {
        {"REG_DWORD 0", REG_DWORD, &dwZero, sizeof(dwZero), true},
        {"REG_DWORD 1", REG_DWORD, &dwOne, sizeof(dwOne), false},
        {"string \"0\"", REG_SZ, szZero, sizeof(szZero), false},
        {"binary zeros", REG_BINARY, &dwZero, sizeof(dwZero), false},
        {"REG_QWORD 0", REG_QWORD, &qwZero, sizeof(qwZero), false},
    };
    for (const Case& c : cases)
    {
        ASSERT_EQ(S_OK, Registry::WriteValue(HKEY_CURRENT_USER, kUserKey, L"AutoLaunch", c.dwType, c.pData, c.cb));
        EXPECT_EQ(c.bDisabled, CWatcherRegistry::IsAutoLaunchDisabled()) << c.pszLabel;
    }
}

TEST(WatcherRegistry, LauncherPathMustBeAWholeRegSz)
{
    EXPECT_EQ(L"", CWatcherRegistry::ReadLauncherPath()) << "absent";

    const std::wstring path = L"C:\\Program Files\\Orvo\\Tolvik.exe";
    ASSERT_EQ(S_OK, Registry::WriteString(HKEY_LOCAL_MACHINE, kTolvikKey, L"InstalledPath", path));
    EXPECT_EQ(path, CWatcherRegistry::ReadLauncherPath());

    ASSERT_EQ(S_OK, Registry::WriteValue(HKEY_LOCAL_MACHINE, kTolvikKey, L"InstalledPath", REG_EXPAND_SZ,
                                         path.c_str(), static_cast<DWORD>((path.size() + 1) * 2)));
    EXPECT_EQ(L"", CWatcherRegistry::ReadLauncherPath()) << "REG_EXPAND_SZ";

    // 259 characters and the terminator fill the 520-byte buffer exactly.
    const std::wstring longest = L"C:\\" + std::wstring(252, L'a') + L".exe";
    ASSERT_EQ(259u, longest.size());
    ASSERT_EQ(S_OK, Registry::WriteString(HKEY_LOCAL_MACHINE, kTolvikKey, L"InstalledPath", longest));
    EXPECT_EQ(longest, CWatcherRegistry::ReadLauncherPath());

    // One more character would be cut off: no truncated path is started.
    ASSERT_EQ(S_OK, Registry::WriteString(HKEY_LOCAL_MACHINE, kTolvikKey, L"InstalledPath", longest + L"x"));
    EXPECT_EQ(L"", CWatcherRegistry::ReadLauncherPath());
    ASSERT_EQ(S_OK, Registry::WriteString(HKEY_LOCAL_MACHINE, kTolvikKey, L"InstalledPath", std::wstring(600, L'b')));
    EXPECT_EQ(L"", CWatcherRegistry::ReadLauncherPath());

    // Stored without a terminator but within the buffer: taken as it is.
    ASSERT_EQ(S_OK, Registry::WriteValue(HKEY_LOCAL_MACHINE, kTolvikKey, L"InstalledPath", REG_SZ, path.c_str(),
                                         static_cast<DWORD>(path.size() * 2)));
    EXPECT_EQ(path, CWatcherRegistry::ReadLauncherPath());
}

TEST(WatcherRegistry, ReadValueReportsTypeAndFailures)
{
    BYTE buffer[4] = {};
    DWORD dwType = 0;
    EXPECT_LT(CWatcherRegistry::ReadValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Nothing", L"x", buffer, 4, &dwType), 0);

    ASSERT_EQ(S_OK, Registry::WriteString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\T", L"s", L"abcdef"));
    EXPECT_EQ(14, CWatcherRegistry::ReadValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\T", L"s", buffer, 4, &dwType));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), dwType);
    EXPECT_EQ(0, memcmp(buffer, L"ab", 4));  // no more than the caller's capacity
    EXPECT_LT(CWatcherRegistry::ReadValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\T", L"missing", buffer, 4, &dwType), 0);

    // Larger than the 1024-byte read buffer: unreadable.
    ASSERT_EQ(S_OK, Registry::WriteString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\T", L"big", std::wstring(600, L'z')));
    EXPECT_LT(CWatcherRegistry::ReadValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\T", L"big", buffer, 4, &dwType), 0);
}
}  // namespace
