#include <gtest/gtest.h>

#include "common/testing/zeptest.h"
#include "oplogsys/oplogsys.h"
#include "oplogsys/tests/capture_output.h"

using namespace opLogSys;

TEST(SubjectLogTest, OneLogSystemPerSubject)
{
    const std::wstring strSubject = oplogtest::UniqueSubject(L"Unconfigured");
    COutputLogSystem& first = GetSubjectLogSystem(strSubject.c_str());
    COutputLogSystem& again = GetSubjectLogSystem(strSubject.c_str());
    COutputLogSystem& other = GetSubjectLogSystem((strSubject + L"x").c_str());
    EXPECT_EQ(&first, &again);
    EXPECT_NE(&first, &other);
    EXPECT_EQ(strSubject, first.GetSubject());
    // Without a configuration: no tracing, errors to the common error log.
    EXPECT_FALSE(first.HasFilters());
    const std::wstring strTail = L"\\Orvo Corporation\\CommonDlonloader\\COMMONDWONLOADER.log";
    const std::wstring& strPath = first.GetErrorLogPath();
    ASSERT_GT(strPath.size(), strTail.size());
    EXPECT_EQ(strTail, strPath.substr(strPath.size() - strTail.size()));
    const std::wstring strDir = strPath.substr(0, strPath.find_last_of(L'\\'));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(strDir.c_str()));

    long hr = S_OK;
    Fmt::CMethodLog<long> log(strSubject.c_str(), 1, L"CX::Quiet", &hr);
    EXPECT_FALSE(log.IsEnabled());
}

TEST(SubjectLogTest, ConfigurationNextToTheExecutable)
{
    const std::wstring strSubject = oplogtest::UniqueSubject(L"Configured");
    const std::wstring strConfig = GetSubjectConfigPath(strSubject.c_str());
    EXPECT_EQ(zeptest::ExeDir() + strSubject + L".log.xml", strConfig);
    const std::string strXml = "<C><FILTERLIST><FILTER subject=\"Configured\" minLevel=\"0\" maxLevel=\"3\"/>"
                               "</FILTERLIST></C>";
    ASSERT_TRUE(zeptest::WriteFileBytes(strConfig, strXml.data(), strXml.size()));
    COutputLogSystem& system = GetSubjectLogSystem(strSubject.c_str());
    ::DeleteFileW(strConfig.c_str());
    EXPECT_TRUE(system.IsEnabled(L"Configured", 1));
    const std::wstring strTail = L"\\CommonDlonloader\\" + strSubject + L".log";
    const std::wstring& strPath = system.GetErrorLogPath();
    ASSERT_GT(strPath.size(), strTail.size());
    EXPECT_EQ(strTail, strPath.substr(strPath.size() - strTail.size()));
}
