#include <gtest/gtest.h>

#include <thread>
#include "common/com_init.h"
#include "common/string_util.h"
#include "common/testing/zeptest.h"
#include "oplogsys/oplogsys.h"

using namespace opLogSys;

namespace
{
typedef CLogSysInfo::COutputLogState::SEntry SEntry;

enum EOutput
{
    eNull,
    eFile,
    eOds
};

struct SLoaded
{
    EOutput eOutput = eNull;
    bool bAutoFlush = false;
    std::wstring strLocation;
    std::vector<SEntry> filters;
    bool bHasFilters = false;
};

SLoaded Inspect(ILogSysInfo* pInfo)
{
    SLoaded loaded;
    IOutputLogSystemFactory* pFactory = pInfo->GetFactory();
    if (auto* pFile = dynamic_cast<File::COutputLogSystemFactory*>(pFactory))
    {
        loaded.eOutput = eFile;
        loaded.bAutoFlush = pFile->GetAutoFlush();
        loaded.strLocation = pFile->GetLocation();
    }
    else if (dynamic_cast<Ods::COutputLogSystemFactory*>(pFactory))
    {
        loaded.eOutput = eOds;
    }
    else
    {
        EXPECT_NE(nullptr, dynamic_cast<Null::COutputLogSystemFactory*>(pFactory));
    }
    pFactory->Release();
    ILogFilter* pFilter = pInfo->GetFilter();
    loaded.bHasFilters = pFilter->HasFilters() == S_OK;
    loaded.filters = static_cast<CLogSysInfo::COutputLogState*>(pFilter)->GetEntries();
    pFilter->Release();
    return loaded;
}

SLoaded LoadXml(const std::string& strXml)
{
    const std::wstring strPath = zeptest::TestTempDir() + L"Subject.log.xml";
    EXPECT_TRUE(zeptest::WriteFileBytes(strPath, strXml.data(), strXml.size()));
    CLogSysInfoFromXML* pInfo = new CLogSysInfoFromXML(strPath.c_str());
    SLoaded loaded = Inspect(pInfo);
    pInfo->Release();
    return loaded;
}

const char kFileFactory[] =
    "<FACTORY name=\"IOutputLogSystemFactory\" class=\"opLogSys::File::COutputLogSystemFactory\" "
    "location=\"current\" autoflush=\"true\"/>";
const char kOdsFactory[] =
    "<FACTORY name=\"IOutputLogSystemFactory\" class=\"opLogSys::Ods::COutputLogSystemFactory\"/>";

class LogConfigTest : public ::testing::Test
{
protected:
    CComInitScope m_com;
};
}  // namespace

TEST_F(LogConfigTest, FactoryChoice)
{
    struct Case
    {
        const char* pszLabel;
        std::string strBody;
        EOutput eOutput;
        bool bAutoFlush;
    };
    const Case cases[] = {
        {"file output", kFileFactory, eFile, true},
        {"debugger output", kOdsFactory, eOds, false},
        {"the later factory decides", std::string(kFileFactory) + kOdsFactory, eOds, false},
        {"a misspelt class silences an earlier file output",
         std::string(kFileFactory) +
             "<FACTORY name=\"IOutputLogSystemFactory\" class=\"opLogSys::File::COutputLogSytemFactory\"/>",
         eNull, false},
        {"wrong interface name",
         "<FACTORY name=\"ILogFactory\" class=\"opLogSys::File::COutputLogSystemFactory\"/>", eNull, false},
        {"autoflush in capitals stays off",
         "<FACTORY name=\"IOutputLogSystemFactory\" class=\"opLogSys::File::COutputLogSystemFactory\" "
         "autoflush=\"TRUE\"/>",
         eFile, false},
        {"element names are case-sensitive",
         "<factory name=\"IOutputLogSystemFactory\" class=\"opLogSys::File::COutputLogSystemFactory\"/>", eNull,
         false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.pszLabel);
        const SLoaded loaded = LoadXml("<?xml version=\"1.0\"?><LOGSYS>" + c.strBody + "</LOGSYS>");
        EXPECT_EQ(c.eOutput, loaded.eOutput);
        EXPECT_EQ(c.bAutoFlush, loaded.bAutoFlush);
    }
    EXPECT_EQ(L"current", LoadXml(std::string("<A>") + kFileFactory + "</A>").strLocation);
}

TEST_F(LogConfigTest, FiltersAndTheirReplacementRule)
{
    const SLoaded loaded = LoadXml(
        "<CONFIG>"
        "<FILTERLIST>"
        "<FILTER subject=\"A\" minLevel=\"0\" maxLevel=\"10\"/>"
        "<FILTER subject=\"A\" minLevel=\"3\" maxLevel=\"5\"/>"    // 5 lies in 0..10: replaces it
        "<FILTER subject=\"A\" minLevel=\"20\" maxLevel=\"30\"/>"  // 30 lies in no range of A: added
        "<FILTER subject=\"B\" minLevel=\"2\" maxLevel=\"5\"/>"
        "<FILTER subject=\"C\" minLevel=\"x1\"/>"                  // non-numeric and missing read as 0
        "<NOTAFILTER subject=\"D\" minLevel=\"0\" maxLevel=\"9\"/>"
        "</FILTERLIST>"
        "<FILTER subject=\"E\" minLevel=\"0\" maxLevel=\"9\"/>"    // outside a list: ignored
        "</CONFIG>");
    ASSERT_EQ(4u, loaded.filters.size());
    const struct
    {
        const wchar_t* pszSubject;
        long nMin, nMax;
    } expected[] = {{L"A", 3, 5}, {L"A", 20, 30}, {L"B", 2, 5}, {L"C", 0, 0}};
    for (size_t i = 0; i < 4; ++i)
    {
        EXPECT_EQ(expected[i].pszSubject, loaded.filters[i].strSubject);
        EXPECT_EQ(expected[i].nMin, loaded.filters[i].nMinLevel);
        EXPECT_EQ(expected[i].nMax, loaded.filters[i].nMaxLevel);
    }
    EXPECT_TRUE(loaded.bHasFilters);
    EXPECT_EQ(eNull, loaded.eOutput);
}

TEST(LogFilterTest, IsEnabledTakesTheFirstMatchingRange)
{
    CLogSysInfo::COutputLogState* pState = new CLogSysInfo::COutputLogState;
    EXPECT_EQ(E_FAIL, pState->HasFilters());
    EXPECT_EQ(E_FAIL, pState->IsEnabled(L"Zep", 1));
    pState->AddFilter(L"Zep", 2, 5);
    pState->AddFilter(L"Zep", 8, 9);
    struct
    {
        const wchar_t* pszSubject;
        long nLevel;
        HRESULT hr;
    } cases[] = {
        {L"Zep", 1, E_FAIL},  // method tracing (level 1) stays off with a 2..5 range
        {L"Zep", 2, S_OK},   {L"Zep", 5, S_OK},   {L"Zep", 6, E_FAIL},
        {L"Zep", 9, S_OK},   {L"zep", 3, E_FAIL}, {L"Zep2", 3, E_FAIL},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.hr, pState->IsEnabled(c.pszSubject, c.nLevel)) << c.nLevel;
    EXPECT_EQ(S_OK, pState->HasFilters());
    pState->Release();
}

TEST_F(LogConfigTest, UnreadableFilesLeaveTheDefaults)
{
    struct Case
    {
        const char* pszLabel;
        std::string strXml;
    };
    const Case cases[] = {
        {"malformed", std::string("<CONFIG>") + kFileFactory + "<FILTERLIST><FILTER subject=\"A\" maxLevel=\"3\">"},
        {"empty", ""},
        {"not XML", "FACTORY=File"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.pszLabel);
        const SLoaded loaded = LoadXml(c.strXml);
        EXPECT_EQ(eNull, loaded.eOutput);
        EXPECT_FALSE(loaded.bHasFilters);
    }
    CLogSysInfoFromXML* pMissing = new CLogSysInfoFromXML((zeptest::TestTempDir() + L"none.log.xml").c_str());
    const SLoaded missing = Inspect(pMissing);
    pMissing->Release();
    EXPECT_EQ(eNull, missing.eOutput);
    EXPECT_FALSE(missing.bHasFilters);
}

TEST(LogConfigThreadTest, ReadOnAThreadWithoutCom)
{
    // The first log call of a component may come from a worker that never started COM.
    const std::string strXml = std::string("<C>") + kOdsFactory +
                               "<FILTERLIST><FILTER subject=\"W\" minLevel=\"0\" maxLevel=\"1\"/></FILTERLIST></C>";
    const std::wstring strPath = zeptest::TestTempDir() + L"W.log.xml";
    ASSERT_TRUE(zeptest::WriteFileBytes(strPath, strXml.data(), strXml.size()));
    SLoaded loaded;
    std::thread worker([&] {
        CLogSysInfoFromXML* pInfo = new CLogSysInfoFromXML(strPath.c_str());
        loaded = Inspect(pInfo);
        pInfo->Release();
    });
    worker.join();
    EXPECT_EQ(eOds, loaded.eOutput);
    EXPECT_TRUE(loaded.bHasFilters);
}
