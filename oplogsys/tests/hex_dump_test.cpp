#include <gtest/gtest.h>

#include "oplogsys/hex_dump.h"
#include "oplogsys/oplogsys.h"
#include "oplogsys/tests/capture_output.h"

using namespace opLogSys;
using oplogtest::CCaptureInfo;

namespace
{
class HexDumpTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_pInfo = new CCaptureInfo;
        const std::wstring strSubject = oplogtest::UniqueSubject(L"Dump");
        m_pSystem = new COutputLogSystem(strSubject.c_str(), m_pInfo, L"", kErrorLogMaxSize, kErrorLogTrim);
    }
    void TearDown() override
    {
        delete m_pSystem;
        m_pSystem = nullptr;
        m_pInfo->Release();
        m_pInfo = nullptr;
    }
    std::vector<std::wstring> Texts()
    {
        std::vector<std::wstring> texts;
        for (const std::wstring& strLine : m_pInfo->Factory()->IO()->Lines())
        {
            DWORD dwId = 0;
            std::wstring strRest;
            EXPECT_TRUE(oplogtest::SplitStamp(strLine, dwId, strRest));
            texts.push_back(strRest);
        }
        return texts;
    }

    CCaptureInfo* m_pInfo = nullptr;
    COutputLogSystem* m_pSystem = nullptr;
};
}  // namespace

TEST_F(HexDumpTest, FullAndPartialLinesKeepTheirColumns)
{
    BYTE data[20];
    for (int i = 0; i < 16; ++i)
        data[i] = static_cast<BYTE>('A' + i);
    const BYTE tail[] = {0x00, 0x09, 0x7F, 'Q'};
    memcpy(data + 16, tail, sizeof(tail));

    EXPECT_EQ(S_OK, m_pSystem->Dump(L"packet", data, sizeof(data), 16));

    const std::vector<std::wstring> expected = {
        L"\x2530",
        L"\x2503[packet]",
        L"\x2503",
        L"\x2503" L"00 01 02 03 04 05 06 07  08 09 0A 0B 0C 0D 0E 0F ",
        L"\x2503------------------------ ------------------------",
        L"\x2503" L"41 42 43 44 45 46 47 48  49 4A 4B 4C 4D 4E 4F 50     ABCDEFGHIJKLMNOP",
        L"\x2503" L"00 09 7F 51 " + std::wstring(4 * 3 + 1 + 8 * 3, L' ') + L"    ...Q",
        L"\x2538",
    };
    EXPECT_EQ(expected, Texts());
    EXPECT_EQ(0, m_pInfo->Factory()->IO()->LockDepth());
}

TEST_F(HexDumpTest, LineSizeOutsideOneTo64WritesOnlyTheParameterError)
{
    const char data[] = "0123456789";
    for (int nLineSize : {0, 65, -1})
    {
        SCOPED_TRACE(nLineSize);
        TearDown();
        SetUp();
        m_pSystem->Dump(L"bad", data, 10, nLineSize);
        const std::vector<std::wstring> expected = {
            L"\x2530",
            L"\x2503[bad]",
            L"\x2503Invalided Parameter : nLineSize == 0 || nLineSize > 64",
            L"\x2538",
        };
        EXPECT_EQ(expected, Texts());
    }
}

TEST_F(HexDumpTest, SixtyFourColumnsIsTheWidestLine)
{
    BYTE data[64];
    for (int i = 0; i < 64; ++i)
        data[i] = static_cast<BYTE>('0' + i % 10);
    EXPECT_EQ(S_OK, m_pSystem->Dump(L"wide", data, sizeof(data), 64));
    const auto texts = Texts();
    ASSERT_EQ(7u, texts.size());
    // 64 columns of three characters, seven group gaps, four spaces, 64 text characters.
    EXPECT_EQ(1u + 64 * 3 + 7 + 4 + 64, texts[5].size());
    EXPECT_EQ(L"3F ", texts[3].substr(texts[3].size() - 3));
}

TEST_F(HexDumpTest, UnreadableMemoryIsReportedNotRead)
{
    SYSTEM_INFO si;
    ::GetSystemInfo(&si);
    BYTE* pPages = static_cast<BYTE*>(::VirtualAlloc(nullptr, si.dwPageSize * 2, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(nullptr, pPages);
    DWORD dwOld = 0;
    ASSERT_TRUE(::VirtualProtect(pPages + si.dwPageSize, si.dwPageSize, PAGE_NOACCESS, &dwOld));

    struct Case
    {
        const wchar_t* pszLabel;
        const void* pData;
        size_t cb;
    };
    const Case cases[] = {
        {L"null", nullptr, 4},
        {L"no access page", pPages + si.dwPageSize, 4},
        {L"runs into a no access page", pPages + si.dwPageSize - 8, 16},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.pszLabel);
        TearDown();
        SetUp();
        EXPECT_EQ(E_POINTER, m_pSystem->Dump(L"p", c.pData, c.cb, 16));
        const std::vector<std::wstring> expected = {L"\x2530", L"\x2503[p]", L"\x2503" L"Bad read Pointer.", L"\x2538"};
        EXPECT_EQ(expected, Texts());
    }
    // The readable part alone is fine.
    EXPECT_EQ(S_OK, m_pSystem->Dump(L"p", pPages + si.dwPageSize - 8, 8, 16));
    ::VirtualFree(pPages, 0, MEM_RELEASE);
}

TEST(HexDumpTextTest, ControlCharactersShowAsDots)
{
    const BYTE bytes[] = {'a', 0x00, 0x0A, 0x1F, ' ', '~', 0x7F, 'z'};
    EXPECT_EQ(L"a... ~.z", HexDump::TextColumn(bytes, sizeof(bytes)));
    // Whatever the code page makes of the upper half, nothing non-printable survives.
    BYTE high[128];
    for (int i = 0; i < 128; ++i)
        high[i] = static_cast<BYTE>(0x80 + i);
    for (size_t nOffset = 0; nOffset < 128; nOffset += 64)
    {
        for (wchar_t ch : HexDump::TextColumn(high + nOffset, 64))
            EXPECT_FALSE(ch < 0x20 || (ch >= 0x7F && ch <= 0x9F)) << static_cast<int>(ch);
    }
}
