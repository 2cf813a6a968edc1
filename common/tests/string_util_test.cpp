#include <gtest/gtest.h>

#include "common/string_util.h"

TEST(StringUtil, Utf8RoundTripKeepsJapaneseAndSurrogates)
{
    const std::wstring text = L"\u30df\u30e5\u30fc\u30b8\u30c3\u30af \U0001F3B5";
    EXPECT_EQ(text, Utf8ToWide(WideToUtf8(text)));
    EXPECT_EQ(std::string("\xE3\x83\x9F"), WideToUtf8(std::wstring(L"\u30df")));
}

TEST(StringUtil, FormatAndCase)
{
    EXPECT_EQ(L"Vid_1A2B&Pid_0001", FormatString(L"Vid_%s&Pid_%s", L"1A2B", L"0001"));
    EXPECT_EQ(std::wstring(2000, L'x'), FormatString(L"%s", std::wstring(2000, L'x').c_str()));
    EXPECT_TRUE(EqualsNoCase(L"TREMBOX.EXE", L"trembox.exe"));
    EXPECT_FALSE(EqualsNoCase(L"trembox.ex", L"trembox.exe"));
    EXPECT_EQ(L"e:\\", ToLower(L"E:\\"));
}
