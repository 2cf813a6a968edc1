// Operating-system facts and the registry value reader.
#include <gtest/gtest.h>

#include <cwctype>

#include "common/registry.h"
#include "common/scope_exit.h"
#include "common/string_util.h"
#include "update/info/registry_value_reader.h"
#include "update/info/system_info.h"

namespace
{
DWORD g_dwProductType = 0;
BOOL g_bProductInfoOk = TRUE;

BOOL WINAPI FakeGetProductInfo(DWORD, DWORD, DWORD, DWORD, PDWORD pdwType)
{
    *pdwType = g_dwProductType;
    return g_bProductInfoOk;
}

OSVERSIONINFOEXW Version(BYTE bProductType, DWORD dwPlatform, DWORD dwMajor, DWORD dwMinor, WORD wSuite = 0,
                         const wchar_t* pszSp = L"")
{
    OSVERSIONINFOEXW osvi = {};
    osvi.dwOSVersionInfoSize = sizeof(osvi);
    osvi.wProductType = bProductType;
    osvi.dwPlatformId = dwPlatform;
    osvi.dwMajorVersion = dwMajor;
    osvi.dwMinorVersion = dwMinor;
    osvi.wSuiteMask = wSuite;
    wcscpy_s(osvi.szCSDVersion, pszSp);
    return osvi;
}
}  // namespace

TEST(SystemInfo, EditionTable)
{
    const DWORD NT = VER_PLATFORM_WIN32_NT;
    const DWORD W9X = VER_PLATFORM_WIN32_WINDOWS;
    const struct
    {
        OSVERSIONINFOEXW osvi;
        DWORD dwProduct;
        BOOL bProductOk;
        const wchar_t* pszEdition;
    } cases[] = {
        {Version(VER_NT_WORKSTATION, NT, 5, 0), 0, TRUE, L"Professional"},
        {Version(VER_NT_WORKSTATION, NT, 5, 1, VER_SUITE_PERSONAL | VER_SUITE_EMBEDDEDNT), 0, TRUE, L"Personal"},
        {Version(VER_NT_WORKSTATION, NT, 5, 1, VER_SUITE_EMBEDDEDNT), 0, TRUE, L"Embedded"},
        {Version(VER_NT_WORKSTATION, NT, 5, 1), 0, TRUE, L"Professional"},
        {Version(VER_NT_WORKSTATION, NT, 5, 2), 0, TRUE, L"Professional"},
        {Version(VER_NT_WORKSTATION, NT, 6, 0), 3, TRUE, L"Home Premium Edition"},
        {Version(VER_NT_WORKSTATION, NT, 6, 0), 26, TRUE, L"Home Premium Edition"},
        {Version(VER_NT_WORKSTATION, NT, 6, 0), 1, TRUE, L"Ultimate Edition"},
        {Version(VER_NT_WORKSTATION, NT, 6, 0), 28, TRUE, L"Ultimate Edition"},
        {Version(VER_NT_WORKSTATION, NT, 6, 0), 29, TRUE, L"unknown"},
        {Version(VER_NT_WORKSTATION, NT, 6, 0), 3, FALSE, L"unknown"},
        {Version(VER_NT_WORKSTATION, NT, 6, 1), 3, TRUE, L"unknown"},
        {Version(VER_NT_SERVER, NT, 5, 2), 0, TRUE, L"Windows2003 Server"},
        {Version(VER_NT_DOMAIN_CONTROLLER, NT, 6, 0), 0, TRUE, L"Windows Server Longhorn"},
        {Version(VER_NT_SERVER, NT, 6, 1), 0, TRUE, L"unknown"},
        {Version(VER_NT_WORKSTATION, W9X, 4, 10, 0, L" A "), 0, TRUE, L"SecondEdition"},
        {Version(VER_NT_WORKSTATION, W9X, 4, 10), 0, TRUE, L"unknown"},
    };
    SystemInfo info;
    info.SetProductInfoFunction(&FakeGetProductInfo);
    for (const auto& c : cases)
    {
        g_dwProductType = c.dwProduct;
        g_bProductInfoOk = c.bProductOk;
        info.SetVersionInfo(c.osvi);
        EXPECT_EQ(c.pszEdition, info.GetEditionText())
            << c.osvi.wProductType << " " << c.osvi.dwMajorVersion << "." << c.osvi.dwMinorVersion << " product "
            << c.dwProduct;
    }
}

TEST(SystemInfo, RefreshReadsTheRunningSystem)
{
    SystemInfo info;
    ASSERT_EQ(S_OK, info.Refresh());
    const std::wstring strVersion = info.GetVersionText();
    const size_t dot = strVersion.find(L'.');
    ASSERT_NE(std::wstring::npos, dot);
    EXPECT_TRUE(iswdigit(strVersion.front()) && iswdigit(strVersion.back()));
    EXPECT_FALSE(info.GetEditionText().empty());

    std::wstring strLanguage;
    ASSERT_EQ(S_OK, GetUserLanguageName(strLanguage));
    EXPECT_GE(strLanguage.size(), 2u);
}

class RegistryValueReaderTest : public ::testing::Test
{
protected:
    ~RegistryValueReaderTest() override { RegistryValueReader::SetRoot(0); }
};

TEST_F(RegistryValueReaderTest, FindsValuesWhateverTheirNamesCase)
{
    ASSERT_EQ(S_OK, Registry::WriteString(HKEY_LOCAL_MACHINE, L"Software\\Orvo\\App\\Mid\\Leaf", L"InstallPath", L"C:\\x"));
    ASSERT_EQ(S_OK, Registry::WriteDword(HKEY_LOCAL_MACHINE, L"Software\\Orvo\\App", L"Count", 42));
    // A string stored without its terminator must not run past its data.
    const wchar_t szRaw[] = {L'a', L'b', L'c'};
    ASSERT_EQ(S_OK, Registry::WriteValue(HKEY_LOCAL_MACHINE, L"Software\\Orvo\\App", L"Raw", REG_SZ, szRaw, sizeof(szRaw)));

    RegistryValueReader reader;
    std::wstring strText;
    reader.SetPath(L"Orvo", L"App", L"Mid\\Leaf");
    EXPECT_EQ(L"Software\\Orvo\\App\\Mid\\Leaf", reader.GetKeyPath());
    ASSERT_TRUE(reader.GetValue(L"installpath", strText));
    EXPECT_EQ(L"C:\\x", strText);
    EXPECT_FALSE(reader.GetValue(L"Install", strText));

    reader.SetPath(L"Orvo", L"App", L"");
    ASSERT_TRUE(reader.GetValue(L"COUNT", strText));
    EXPECT_EQ(L"42", strText);
    ASSERT_TRUE(reader.GetValue(L"Raw", strText));
    EXPECT_EQ(L"abc", strText);

    reader.SetPath(L"Orvo", L"Missing", L"");
    EXPECT_FALSE(reader.GetValue(L"Count", strText));
}

TEST_F(RegistryValueReaderTest, UserRootFirstThenMachine)
{
    ASSERT_EQ(S_OK, Registry::WriteString(HKEY_CURRENT_USER, L"Software\\Orvo\\App", L"Where", L"user"));
    ASSERT_EQ(S_OK, Registry::WriteString(HKEY_LOCAL_MACHINE, L"Software\\Orvo\\App", L"Where", L"machine"));
    ASSERT_EQ(S_OK, Registry::WriteString(HKEY_LOCAL_MACHINE, L"Software\\Orvo\\App", L"OnlyMachine", L"m"));
    RegistryValueReader reader;
    reader.SetPath(L"Orvo", L"App", L"");
    std::wstring strText;

    ASSERT_TRUE(reader.GetValue(L"Where", strText));
    EXPECT_EQ(L"machine", strText);

    ASSERT_TRUE(RegistryValueReader::SetRoot(-1));
    ASSERT_TRUE(reader.GetValue(L"Where", strText));
    EXPECT_EQ(L"user", strText);
    ASSERT_TRUE(reader.GetValue(L"OnlyMachine", strText));
    EXPECT_EQ(L"m", strText);

    EXPECT_FALSE(RegistryValueReader::SetRoot(1000));
    EXPECT_EQ(-1, RegistryValueReader::GetRoot());
    EXPECT_TRUE(RegistryValueReader::SetRoot(999));
    EXPECT_EQ(999, RegistryValueReader::GetRoot());
}
