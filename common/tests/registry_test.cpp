#include <gtest/gtest.h>

#include "common/registry.h"

namespace
{
const wchar_t kKey[] = L"SOFTWARE\\ZepRegistryTest";
}

TEST(Registry, StringReadsStopAtNulOrDataEnd)
{
    struct Case
    {
        const char* label;
        std::vector<BYTE> bytes;
        DWORD type;
        std::wstring expected;
    } cases[] = {
        {"terminated", {'a', 0, 'b', 0, 0, 0}, REG_SZ, L"ab"},
        {"unterminated", {'a', 0, 'b', 0}, REG_SZ, L"ab"},
        {"odd length", {'a', 0, 'b'}, REG_SZ, L"a"},
        {"embedded nul", {'a', 0, 0, 0, 'b', 0}, REG_EXPAND_SZ, L"a"},
        {"empty", {}, REG_SZ, L""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.label);
        ASSERT_EQ(S_OK, Registry::WriteValue(HKEY_LOCAL_MACHINE, kKey, L"v", c.type,
                                             c.bytes.empty() ? nullptr : c.bytes.data(),
                                             static_cast<DWORD>(c.bytes.size())));
        std::wstring value = L"junk";
        EXPECT_EQ(S_OK, Registry::ReadString(HKEY_LOCAL_MACHINE, kKey, L"v", value));
        EXPECT_EQ(c.expected, value);
    }
}

TEST(Registry, TypeAndPresenceAreChecked)
{
    ASSERT_EQ(S_OK, Registry::WriteString(HKEY_CURRENT_USER, kKey, L"s", L"0"));
    ASSERT_EQ(S_OK, Registry::WriteDword(HKEY_CURRENT_USER, kKey, L"d", 7));

    DWORD dw = 0;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_DATATYPE_MISMATCH), Registry::ReadDword(HKEY_CURRENT_USER, kKey, L"s", dw));
    EXPECT_EQ(S_OK, Registry::ReadDword(HKEY_CURRENT_USER, kKey, L"d", dw));
    EXPECT_EQ(7u, dw);
    std::wstring s;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_DATATYPE_MISMATCH), Registry::ReadString(HKEY_CURRENT_USER, kKey, L"d", s));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), Registry::ReadDword(HKEY_CURRENT_USER, kKey, L"none", dw));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
              Registry::ReadDword(HKEY_CURRENT_USER, L"SOFTWARE\\NoSuchKey", L"d", dw));
}
