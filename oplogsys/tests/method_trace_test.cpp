#include <gtest/gtest.h>

#include "oplogsys/oplogsys.h"
#include "oplogsys/tests/capture_output.h"

using namespace opLogSys;
using oplogtest::CCaptureInfo;

namespace
{
// One log system over a capture output; the subject is enabled for levels 0 to 10 unless a test
// says otherwise.
class MethodTraceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_strSubject = oplogtest::UniqueSubject(L"Trace");
        m_pInfo = new CCaptureInfo;
    }
    void TearDown() override
    {
        delete m_pSystem;
        m_pSystem = nullptr;
        m_pInfo->Release();
        m_pInfo = nullptr;
    }
    COutputLogSystem& System()
    {
        if (m_pSystem == nullptr)
            m_pSystem = new COutputLogSystem(m_strSubject.c_str(), m_pInfo, L"", kErrorLogMaxSize, kErrorLogTrim);
        return *m_pSystem;
    }
    // The lines after their stamps; every line must carry this thread's id.
    std::vector<std::wstring> Texts()
    {
        std::vector<std::wstring> texts;
        if (m_pInfo->Factory()->IO() == nullptr)
            return texts;
        for (const std::wstring& strLine : m_pInfo->Factory()->IO()->Lines())
        {
            DWORD dwId = 0;
            std::wstring strRest;
            EXPECT_TRUE(oplogtest::SplitStamp(strLine, dwId, strRest)) << strLine;
            EXPECT_EQ(::GetCurrentThreadId(), dwId);
            texts.push_back(strRest);
        }
        return texts;
    }

    std::wstring m_strSubject;
    CCaptureInfo* m_pInfo = nullptr;
    COutputLogSystem* m_pSystem = nullptr;
};

void Inner(COutputLogSystem& system, const wchar_t* pszSubject)
{
    long hr = S_OK;
    Fmt::CMethodLog<long> log(system, pszSubject, 1, L"CInner::Run", &hr);
    log.Printf(L"inside %d %s", 7, L"wide");
    hr = -1;
}

bool Middle(COutputLogSystem& system, const wchar_t* pszSubject)
{
    bool bResult = false;
    Fmt::CMethodLog<bool> log(system, pszSubject, 1, L"CMiddle::Run", &bResult);
    Inner(system, pszSubject);
    bResult = true;
    return bResult;
}

void Outer(COutputLogSystem& system, const wchar_t* pszSubject)
{
    Fmt::CSimpleMethodLog log(system, pszSubject, 1, L"COuter::Run");
    Middle(system, pszSubject);
}
}  // namespace

TEST_F(MethodTraceTest, NestedMethodsDrawATreeWithResults)
{
    m_pInfo->AddFilter(m_strSubject.c_str(), 0, 10);
    Outer(System(), m_strSubject.c_str());

    const std::vector<std::wstring> expected = {
        L"\x250C COuter::Run()",
        L"\x2502\x250C CMiddle::Run()",
        L"\x2502\x2502\x250C CInner::Run()",
        L"\x2502\x2502\x2502 inside 7 wide",
        L"\x2502\x2502\x2514 CInner::Run() : return 0xFFFFFFFF [-1]",
        L"\x2502\x2514 CMiddle::Run() : return 0x00000001 [1]",
        L"\x2514 COuter::Run()",
    };
    EXPECT_EQ(expected, Texts());
}

TEST_F(MethodTraceTest, DisabledTracingWritesNothing)
{
    struct Case
    {
        const wchar_t* pszLabel;
        bool bOwnSubject;
        long nMin, nMax;
    };
    const Case cases[] = {
        {L"no filters at all", false, 0, 0},
        {L"range above the method level", true, 2, 5},
        {L"range below the method level", true, -5, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << c.pszLabel);
        TearDown();
        SetUp();
        if (c.bOwnSubject)
            m_pInfo->AddFilter(m_strSubject.c_str(), c.nMin, c.nMax);
        long hr = 5;
        {
            Fmt::CMethodLog<long> log(System(), m_strSubject.c_str(), 1, L"CX::Off", &hr);
            EXPECT_FALSE(log.IsEnabled());
            EXPECT_EQ(0, log.Printf(L"never %d", 1));
            EXPECT_EQ(0, log.Dump(L"t", "abc", 3, 16));
        }
        EXPECT_TRUE(Texts().empty());
    }
}

TEST_F(MethodTraceTest, SubjectComparisonIsExactAndLevelsFilterLines)
{
    m_pInfo->AddFilter(m_strSubject.c_str(), 1, 3);
    std::wstring strOtherCase = m_strSubject;
    strOtherCase[0] = L't';
    {
        long hr = 0;
        Fmt::CMethodLog<long> off(System(), strOtherCase.c_str(), 1, L"CX::Other", &hr);
        EXPECT_FALSE(off.IsEnabled());
        Fmt::CMethodLog<long> on(System(), m_strSubject.c_str(), 1, L"CX::On", &hr);
        on.LevelPrintf(3, L"level %d", 3);
        on.LevelPrintf(4, L"level %d", 4);
        on.LevelWrite(2, L"level 2");
    }
    const std::vector<std::wstring> expected = {
        L"\x250C CX::On()",
        L"\x2502 level 3",
        L"\x2502 level 2",
        L"\x2514 CX::On() : return 0x00000000 [0]",
    };
    EXPECT_EQ(expected, Texts());
}

TEST_F(MethodTraceTest, FormattedTextIsCutAt1023Characters)
{
    m_pInfo->AddFilter(m_strSubject.c_str(), 0, 10);
    const std::wstring strLong(3000, L'x');
    System().Printf(L"%s", strLong.c_str());
    System().Printf(L"%s", strLong.substr(0, 1023).c_str());
    const auto texts = Texts();
    ASSERT_EQ(2u, texts.size());
    EXPECT_EQ(strLong.substr(0, 1023), texts[0]);
    EXPECT_EQ(texts[0], texts[1]);
}

TEST_F(MethodTraceTest, DumpInsideAMethodIsOneIndentedFlushedBlock)
{
    m_pInfo->AddFilter(m_strSubject.c_str(), 0, 10);
    {
        Fmt::CSimpleMethodLog log(System(), m_strSubject.c_str(), 1, L"CX::Dump");
        log.Dump(L"buf", "AB", 2, 8);
        EXPECT_EQ(0, m_pInfo->Factory()->IO()->LockDepth());
    }
    const auto texts = Texts();
    ASSERT_EQ(9u, texts.size());
    EXPECT_EQ(L"\x2502\x2530", texts[1]);
    EXPECT_EQ(L"\x2502\x2503[buf]", texts[2]);
    EXPECT_EQ(L"\x2502\x2538", texts[7]);
    EXPECT_EQ(L"\x2514 CX::Dump()", texts[8]);
    EXPECT_EQ(1, m_pInfo->Factory()->IO()->FlushCount());
}

TEST_F(MethodTraceTest, IndentNeverGoesBelowZero)
{
    ILogIO* pIO = new oplogtest::CCaptureIO;
    CLog* pLog = new CLog(42, pIO);
    EXPECT_EQ(0, pLog->DecIndent());
    EXPECT_EQ(1, pLog->IncIndent());
    EXPECT_EQ(42u, pLog->GetId());
    // More levels than the bar column holds: at most 63 bars.
    for (int i = 0; i < 100; ++i)
        pLog->IncIndent();
    pLog->Write(L"deep");
    const auto lines = static_cast<oplogtest::CCaptureIO*>(pIO)->Lines();
    ASSERT_EQ(1u, lines.size());
    DWORD dwId = 0;
    std::wstring strRest;
    ASSERT_TRUE(oplogtest::SplitStamp(lines[0], dwId, strRest));
    EXPECT_EQ(42u, dwId);
    EXPECT_EQ(std::wstring(63, L'\x2502') + L"deep", strRest);
    EXPECT_EQ(0, pLog->Release());
    EXPECT_EQ(0, pIO->Release());
}

TEST(ReferenceTest, CountsAndDeletesAtZero)
{
    static int s_nDeleted = 0;
    class CProbe : public Common::CReference<IReference>
    {
    public:
        ~CProbe() override { ++s_nDeleted; }
    };
    IReference* pProbe = new CProbe;
    EXPECT_EQ(2, pProbe->AddRef());
    EXPECT_EQ(1, pProbe->Release());
    EXPECT_EQ(0, s_nDeleted);
    EXPECT_EQ(0, pProbe->Release());
    EXPECT_EQ(1, s_nDeleted);
}
