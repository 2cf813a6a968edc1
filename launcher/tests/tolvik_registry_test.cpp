#include <gtest/gtest.h>

#include "common/registry.h"
#include "launcher/tolvik_constants.h"
#include "launcher/tolvik_registry.h"

TEST(TolvikRegistry, ReadsOnlyTerminatedShortPlainStrings)
{
    const wchar_t* pszKey = TOLVIK_KEY;
    auto write = [&](DWORD dwType, const void* pData, DWORD cb) {
        ASSERT_HRESULT_SUCCEEDED(
            Registry::WriteValue(HKEY_LOCAL_MACHINE, pszKey, L"Description", dwType, pData, cb));
    };
    EXPECT_EQ(L"", TolvikRegistry::ReadMachineText(pszKey, L"Description"));

    const wchar_t szText[] = L"説明";
    write(REG_SZ, szText, sizeof(szText));
    EXPECT_EQ(L"説明", TolvikRegistry::ReadMachineText(pszKey, L"Description"));

    write(REG_EXPAND_SZ, szText, sizeof(szText));
    EXPECT_EQ(L"", TolvikRegistry::ReadMachineText(pszKey, L"Description"));

    // The registry adds a forgotten terminator when one follows the data in memory, so the
    // unterminated and odd-length texts are cut from a longer one.
    const wchar_t szLonger[] = L"説明XY";
    write(REG_SZ, szLonger, 2 * sizeof(wchar_t));  // no terminator
    EXPECT_EQ(L"", TolvikRegistry::ReadMachineText(pszKey, L"Description"));

    write(REG_SZ, szLonger, 2 * sizeof(wchar_t) + 1);  // odd length
    EXPECT_EQ(L"", TolvikRegistry::ReadMachineText(pszKey, L"Description"));

    std::wstring fits(511, L'x');  // 512 code units with the terminator: 1024 bytes
    write(REG_SZ, fits.c_str(), static_cast<DWORD>((fits.size() + 1) * sizeof(wchar_t)));
    EXPECT_EQ(fits, TolvikRegistry::ReadMachineText(pszKey, L"Description"));
    std::wstring tooLong(512, L'x');
    write(REG_SZ, tooLong.c_str(), static_cast<DWORD>((tooLong.size() + 1) * sizeof(wchar_t)));
    EXPECT_EQ(L"", TolvikRegistry::ReadMachineText(pszKey, L"Description"));
}

TEST(TolvikRegistry, ExpandsEscapedLineBreaks)
{
    EXPECT_EQ(L"a\r\nb\r\n", TolvikRegistry::ExpandLineBreaks(L"a\\r\\nb\\r\\n"));
    EXPECT_EQ(L"a\\nb\\r", TolvikRegistry::ExpandLineBreaks(L"a\\nb\\r"));
    EXPECT_EQ(L"", TolvikRegistry::ExpandLineBreaks(L""));
}
