#include <gtest/gtest.h>

#include "common/testing/zeptest.h"
#include "update/download/tests/download_test_util.h"
#include "update/download/tests/loopback_http_server.h"

using namespace zeptest;

namespace
{
class DownloaderTransferTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_server.Start()); }
    void TearDown() override { m_server.Stop(); }

    CLoopbackHttpServer m_server;
    CNotificationRecorder m_recorder;
};

TEST_F(DownloaderTransferTest, WholeTransferSendsOrderedNotifications)
{
    SRouteBehaviour route;
    route.bGenerated = true;
    route.ullSize = 100000;
    route.nSeed = 7;
    m_server.SetRoute("/pkg/file.bin", route);

    CTestDownloader downloader(0);
    downloader.SetCallback(&CNotificationRecorder::Callback, m_recorder.Context());
    ASSERT_EQ(S_OK, downloader.Initialize(L"agent-x", nullptr, nullptr));
    downloader.SetDownloadFolder(TestTempDir().c_str());
    const std::wstring strUrl = m_server.Url("/pkg/file.bin");
    EXPECT_EQ(S_OK, downloader.Download(strUrl.c_str(), 0));

    const std::wstring strPath = TestTempDir() + L"file.bin";
    EXPECT_EQ(PatternString(7, 0, 100000), ReadWholeFile(strPath));
    wchar_t szPath[MAX_PATH];
    EXPECT_EQ(S_OK, downloader.GetFilePath(szPath, MAX_PATH));
    EXPECT_EQ(strPath, szPath);

    const std::vector<SNotification> all = m_recorder.All();
    ASSERT_GE(all.size(), 4u);
    for (const SNotification& n : all)
        printf("code %lu value %llu kind %lu\n", n.dwCode, (unsigned long long)n.dwValue, n.dwKind);
    EXPECT_EQ(static_cast<DWORD>(eMsgDownloadBegin), all.front().dwCode);
    EXPECT_EQ(static_cast<DWORD>(eValueString), all.front().dwKind);
    EXPECT_EQ(strUrl, all.front().strText);
    EXPECT_EQ(static_cast<DWORD>(eMsgDownloadEnd), all.back().dwCode);
    EXPECT_EQ(static_cast<DWORD>(eValueHResult), all.back().dwKind);
    EXPECT_EQ(S_OK, m_recorder.EndResult());
    EXPECT_EQ(1u, m_recorder.Count(eMsgDownloadEnd));
    EXPECT_EQ(200u, m_recorder.First(eMsgHttpStatus));
    EXPECT_EQ(100000u, m_recorder.First(eMsgDownloadSize));
    EXPECT_EQ(100000u, m_recorder.Last(eMsgDownloadProgress));

    const std::vector<SRecordedRequest> requests = m_server.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("GET", requests[0].strMethod);
    EXPECT_EQ("agent-x", requests[0].Header("user-agent"));
    EXPECT_FALSE(requests[0].HasHeader("range"));
    EXPECT_EQ("application/x-www-form-urlencoded", requests[0].Header("content-type"));
}
}  // namespace
