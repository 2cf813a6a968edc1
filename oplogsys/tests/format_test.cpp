#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <string>
#include "oplogsys/format_buffer.h"

using namespace opLogSys;

namespace
{
// What the log's formatting makes of a format, next to what the runtime's printf makes of it.
template <class... TArgs>
void ExpectAsRuntime(size_t cchBuffer, const wchar_t* pszFormat, TArgs... args)
{
    wchar_t szOurs[Common::kFormatChars];
    Common::Format(szOurs, cchBuffer, pszFormat, args...);
    wchar_t szRuntime[4096];
    const int nChars = _snwprintf(szRuntime, 4095, pszFormat, args...);
    szRuntime[nChars < 0 ? 4095 : nChars] = L'\0';
    EXPECT_EQ(std::wstring(szRuntime).substr(0, cchBuffer - 1), szOurs) << pszFormat << " in " << cchBuffer;
}
}  // namespace

TEST(FormatTest, FormatsLikeTheRuntime)
{
    const size_t kWide = Common::kFormatChars;
    ExpectAsRuntime(kWide, L"received %d bytes of block %d from %s", 4096, 12, L"http://127.0.0.1/pkg.bin");
    ExpectAsRuntime(kWide, L"\x2514 %s() : return 0x%08X [%d]", L"CX::Run", 0x80004005u, static_cast<int>(0x80004005u));
    ExpectAsRuntime(kWide, L"%d %i %u", INT_MIN, INT_MAX, UINT_MAX);
    ExpectAsRuntime(kWide, L"[%05d] [%5d] [%05d] [%2d] [%02u]", -42, -42, 7, 12345, 3u);
    ExpectAsRuntime(kWide, L"%x %X %08x %lX %lu %ld", 0xABCDEFu, 0xABCDEFu, 0x1Fu, 0xFFFFFFFFu, 4000000000u, -5);
    ExpectAsRuntime(kWide, L"100%% of %s and %s", static_cast<const wchar_t*>(nullptr), L"caf\x00E9");
    ExpectAsRuntime(kWide, L"no arguments at all");
    // Beyond the fast path: left alignment, precision, widths of text, 64-bit and narrow text.
    ExpectAsRuntime(kWide, L"[%-6d] [%.3s] [%8s] [%I64d] [%hs] [%c]", 42, L"abcdef", L"ab", 1LL << 40, "narrow", L'z');
    // Cut at the buffer, whichever path made the text.
    ExpectAsRuntime(8, L"abcdefghij %d", 5);
    ExpectAsRuntime(8, L"%s", L"0123456789");
    ExpectAsRuntime(8, L"%08X%08X", 1u, 2u);
    ExpectAsRuntime(8, L"%-10d|", 3);
    ExpectAsRuntime(kWide, L"%s", std::wstring(3000, L'q').c_str());
}

// The conversion copies ASCII itself and hands other characters to the system: the bytes must be
// those of converting the whole text at once.
TEST(FormatTest, AnsiConversionMatchesTheSystem)
{
    const wchar_t* texts[] = {
        L"plain ascii line",
        L"\x2502 \x2502 nested \x250C tree \x2514",
        L"caf\x00E9 na\x00EFve \x00FC",
        L"\xD83D\xDE00 pair and \xD800 lone",
        L"\x65E5\x672C\x8A9E text",
        L"",
    };
    for (const wchar_t* pszText : texts)
    {
        char szOurs[1024];
        const size_t cb = Common::ToAnsi(pszText, szOurs, sizeof(szOurs));
        char szSystem[1024] = {};
        const int cbSystem = ::WideCharToMultiByte(CP_ACP, 0, pszText, -1, szSystem, sizeof(szSystem), nullptr, nullptr);
        ASSERT_GT(cbSystem, 0);
        EXPECT_EQ(std::string(szSystem), std::string(szOurs, cb));
    }
}
