// The installer's application entries in the registry: which stored values count.
#include <gtest/gtest.h>

#include "common/registry.h"
#include "common/unique_resource.h"
#include "launcher/settings/settings_registry.h"
#include "launcher/settings/tests/settings_test_util.h"

using namespace settingstest;

namespace
{
const wchar_t kKey[] = LAUNCHER_MUSIC_KEY L"\\Fabrikam";

std::string Utf16Bytes(const std::wstring& text, bool bTerminate)
{
    std::string bytes(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    if (bTerminate)
        bytes.append(2, '\0');
    return bytes;
}

struct ValueCase
{
    const char* label;
    DWORD dwType;
    std::string bytes;
    const wchar_t* expected;  // what the entry's name reads as
};

TEST(SettingsRegistryTest, EntryStringsMustBeTerminatedAndWithinTheLimit)
{
    const std::wstring longest(1023, L'n');
    const ValueCase cases[] = {
        {"REG_SZ", REG_SZ, Utf16Bytes(L"Fab", true), L"Fab"},
        {"REG_EXPAND_SZ not expanded", REG_EXPAND_SZ, Utf16Bytes(L"%TEMP%", true), L"%TEMP%"},
        {"2048 bytes with terminator", REG_SZ, Utf16Bytes(longest, true), nullptr},
        {"2050 bytes", REG_SZ, Utf16Bytes(longest + L"n", true), L""},
        {"not terminated", REG_SZ, Utf16Bytes(L"Fab", false), L""},
        {"odd length", REG_SZ, Utf16Bytes(L"Fab", true) + std::string(1, 'x'), L""},
        {"odd length ending in zero", REG_SZ, Utf16Bytes(L"Fab", false) + std::string(1, '\0'), L""},
        {"zero bytes", REG_SZ, std::string(), L""},
        {"terminator only", REG_SZ, std::string(2, '\0'), L""},
        {"text ends at the first zero", REG_SZ, Utf16Bytes(std::wstring(L"Fa\0bc", 5), true), L"Fa"},
        {"binary", REG_BINARY, Utf16Bytes(L"Fab", true), L""},
        {"multi-string", REG_MULTI_SZ, Utf16Bytes(L"Fab", true) + std::string(2, '\0'), L""},
    };
    for (const ValueCase& c : cases)
    {
        SCOPED_TRACE(c.label);
        WriteRegistryRaw(kKey, L"name", c.dwType, c.bytes);
        WriteRegistryString(kKey, L"exe", L"fab.exe");
        AppEntry entry;
        ASSERT_EQ(S_OK, SettingsRegistry::ReadAppEntry(kKey, entry));
        EXPECT_EQ(c.expected ? std::wstring(c.expected) : longest, entry.name);
        EXPECT_EQ(L"fab.exe", entry.exe);  // a bad value spoils only itself
    }
}

TEST(SettingsRegistryTest, OtherValuesUseTheSmallerBuffer)
{
    WriteRegistryString(kKey, L"Fits", std::wstring(511, L'c'));
    WriteRegistryString(kKey, L"TooLong", std::wstring(512, L'c'));
    UniqueHKey key;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, key.Receive()));
    std::wstring value;
    EXPECT_TRUE(SettingsRegistry::ReadTerminatedString(key.Get(), L"Fits", SettingsRegistry::kOtherValueMaxBytes,
                                                       false, value));
    EXPECT_EQ(511u, value.size());
    EXPECT_FALSE(SettingsRegistry::ReadTerminatedString(key.Get(), L"TooLong",
                                                        SettingsRegistry::kOtherValueMaxBytes, false, value));
    WriteRegistryRaw(kKey, L"Expand", REG_EXPAND_SZ, Utf16Bytes(L"x", true));
    EXPECT_FALSE(SettingsRegistry::ReadTerminatedString(key.Get(), L"Expand", SettingsRegistry::kOtherValueMaxBytes,
                                                        false, value));
}

TEST(SettingsRegistryTest, AlternativesAreNumberedWithoutGaps)
{
    AppEntry stored = MakeEntry(L"Fab", L"C:\\Fab", L"fab.exe");
    stored.entry = L"Dir";
    stored.key = L"Fabrikam";
    stored.param = L"%s";
    stored.alternatives = {MakeExecInfo(L"C:\\A", L"a.exe", L"/a"), MakeExecInfo(L"C:\\B", L"b.exe", L"/b")};
    WriteRegistryEntry(kKey, stored);
    // ExecInfo3 after a gap is not an alternative.
    WriteRegistryString(std::wstring(kKey) + L"\\ExecInfos\\ExecInfo3", L"path", L"C:\\D");

    AppEntry entry;
    ASSERT_EQ(S_OK, SettingsRegistry::ReadAppEntry(kKey, entry));
    EXPECT_TRUE(entry == stored);
    ASSERT_EQ(2u, entry.alternatives.size());
    EXPECT_EQ(L"/b", entry.alternatives[1].param);

    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
              SettingsRegistry::ReadAppEntry(LAUNCHER_MUSIC_KEY L"\\Nobody", entry));
}
}  // namespace
