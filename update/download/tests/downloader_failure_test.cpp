#include <gtest/gtest.h>

#include <process.h>
#include <shlobj.h>

#include <thread>

#include "common/string_util.h"
#include "common/testing/zeptest.h"
#include "update/download/tests/download_test_util.h"
#include "update/download/tests/loopback_http_server.h"
#include "update/download/tests/tls_test_server.h"

using namespace zeptest;

namespace
{
class DownloaderFailureTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_server.Start()); }
    void TearDown() override { m_server.Stop(); }

    // Runs one synchronous transfer of the path and returns its result.
    HRESULT Fetch(CTestDownloader& downloader, const std::string& strPath, DWORD dwOffset = 0)
    {
        downloader.SetCallback(&CNotificationRecorder::Callback, m_recorder.Context());
        EXPECT_EQ(S_OK, downloader.Initialize(nullptr, nullptr, nullptr));
        downloader.SetDownloadFolder(TestTempDir().c_str());
        const HRESULT hr = downloader.Download(m_server.Url(strPath).c_str(), dwOffset);
        EXPECT_EQ(hr, m_recorder.EndResult());
        EXPECT_EQ(1u, m_recorder.Count(eMsgDownloadEnd));
        EXPECT_EQ(static_cast<DWORD>(eMsgDownloadEnd), m_recorder.All().back().dwCode);
        return hr;
    }
    SRouteBehaviour Generated(uint64_t ullSize, uint32_t nSeed = 3)
    {
        SRouteBehaviour route;
        route.bGenerated = true;
        route.ullSize = ullSize;
        route.nSeed = nSeed;
        return route;
    }

    CLoopbackHttpServer m_server;
    CNotificationRecorder m_recorder;
};

TEST_F(DownloaderFailureTest, HttpStatusesMapToResults)
{
    struct SCase
    {
        int nStatus;
        HRESULT hr;
        const char* pszHeader;
    };
    const SCase cases[] = {
        {400, E_DL_HTTP_400, nullptr},
        {401, E_DL_AUTH_REQUIRED, "WWW-Authenticate: Basic realm=\"zep\""},
        {403, E_DL_NETWORK, nullptr},
        {404, E_DL_HTTP_404, nullptr},
        {407, E_DL_AUTH_REQUIRED, "Proxy-Authenticate: Basic realm=\"zep\""},
        {500, E_DL_HTTP_500, nullptr},
        {503, E_DL_NETWORK, nullptr},
    };
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(c.nStatus);
        SRouteBehaviour route;
        route.nStatus = c.nStatus;
        route.strBody = std::string(500, 'b');  // drained for 401 and 407
        if (c.pszHeader)
            route.extraHeaders.push_back(c.pszHeader);
        const std::string strPath = "/s" + std::to_string(c.nStatus) + ".bin";
        m_server.SetRoute(strPath, route);

        CNotificationRecorder recorder;
        CTestDownloader downloader(0);
        downloader.SetCallback(&CNotificationRecorder::Callback, recorder.Context());
        ASSERT_EQ(S_OK, downloader.Initialize(nullptr, nullptr, nullptr));
        downloader.SetDownloadFolder(TestTempDir().c_str());
        EXPECT_EQ(c.hr, downloader.Download(m_server.Url(strPath).c_str(), 0));
        EXPECT_EQ(static_cast<DWORD_PTR>(c.nStatus), recorder.First(eMsgHttpStatus));
        EXPECT_EQ(c.hr, recorder.EndResult());
        EXPECT_EQ(1u, recorder.Count(eMsgDownloadEnd));
        EXPECT_EQ(0u, recorder.Count(eMsgDownloadProgress));
        EXPECT_FALSE(FileExists(TestTempDir() + L"s" + std::to_wstring(c.nStatus) + L".bin"));
    }
}

TEST_F(DownloaderFailureTest, NoContentLengthAcceptsAnyBodyAndSkipsTheSpaceCheck)
{
    SRouteBehaviour route = Generated(50001);
    route.bSendContentLength = false;
    m_server.SetRoute("/nolength.bin", route);
    CTestDownloader downloader(0);
    downloader.bFakeFreeSpace = true;
    downloader.ullFreeBytes = 0;
    EXPECT_EQ(S_OK, Fetch(downloader, "/nolength.bin"));
    EXPECT_TRUE(ReadWholeFile(TestTempDir() + L"nolength.bin") == PatternString(3, 0, 50001));
    EXPECT_EQ(0u, m_recorder.Count(eMsgDownloadSize));
    EXPECT_TRUE(downloader.strFreeSpaceFolder.empty());
}

TEST_F(DownloaderFailureTest, FreeSpaceMustBeTwoAndAHalfTimesTheLength)
{
    m_server.SetRoute("/k.bin", Generated(1000));
    for (ULONGLONG ullFree : {2500ULL, 2499ULL})
    {
        SCOPED_TRACE(ullFree);
        CNotificationRecorder recorder;
        CTestDownloader downloader(0);
        downloader.bFakeFreeSpace = true;
        downloader.ullFreeBytes = ullFree;
        downloader.SetCallback(&CNotificationRecorder::Callback, recorder.Context());
        ASSERT_EQ(S_OK, downloader.Initialize(nullptr, nullptr, nullptr));
        downloader.SetDownloadFolder(TestTempDir().c_str());
        const HRESULT hrExpected = ullFree >= 2500 ? S_OK : E_DL_DISK_FULL;
        EXPECT_EQ(hrExpected, downloader.Download(m_server.Url("/k.bin").c_str(), 0));
        EXPECT_EQ(hrExpected, recorder.EndResult());
        EXPECT_EQ(TestTempDir(), downloader.strFreeSpaceFolder);
        EXPECT_EQ(SUCCEEDED(hrExpected), FileExists(TestTempDir() + L"k.bin"));
        ::DeleteFileW((TestTempDir() + L"k.bin").c_str());
    }
}

TEST_F(DownloaderFailureTest, SpaceIsCheckedWhereTheFileGoes)
{
    // Without a download folder the file goes to the temporary folder: that volume is asked.
    m_server.SetRoute("/t-space.bin", Generated(10));
    CTestDownloader downloader(0);
    downloader.bFakeFreeSpace = true;
    downloader.ullFreeBytes = 1ULL << 40;
    ASSERT_EQ(S_OK, downloader.Initialize(nullptr, nullptr, nullptr));
    EXPECT_EQ(S_OK, downloader.Download(m_server.Url("/t-space.bin").c_str(), 0));
    wchar_t szTemp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, szTemp);
    EXPECT_EQ(std::wstring(szTemp), downloader.strFreeSpaceFolder);
    ::DeleteFileW((std::wstring(szTemp) + L"t-space.bin").c_str());
}

TEST_F(DownloaderFailureTest, ShortBodyKeepsEveryByteReceived)
{
    for (int64_t llCut : {-1LL, 70000LL})
    {
        SCOPED_TRACE(llCut);
        // One byte announced too many, or a connection cut in the middle.
        SRouteBehaviour route = Generated(200000);
        route.llLengthDelta = llCut < 0 ? 1 : 0;
        route.llCutAfter = llCut;
        m_server.SetRoute("/short.bin", route);
        CNotificationRecorder recorder;
        CTestDownloader downloader(0);
        downloader.SetCallback(&CNotificationRecorder::Callback, recorder.Context());
        ASSERT_EQ(S_OK, downloader.Initialize(nullptr, nullptr, nullptr));
        downloader.SetDownloadFolder(TestTempDir().c_str());
        EXPECT_EQ(E_DL_LENGTH_MISMATCH, downloader.Download(m_server.Url("/short.bin").c_str(), 0));
        const size_t cbExpected = llCut < 0 ? 200000 : static_cast<size_t>(llCut);
        EXPECT_TRUE(ReadWholeFile(TestTempDir() + L"short.bin") == PatternString(3, 0, cbExpected));
        EXPECT_EQ(cbExpected, recorder.Last(eMsgDownloadProgress));
        EXPECT_EQ(E_DL_LENGTH_MISMATCH, recorder.EndResult());
    }
}

TEST_F(DownloaderFailureTest, SendFailuresAreTriedFiveTimesWithPauses)
{
    // A port that was just free: every connection attempt is refused.
    CLoopbackHttpServer gone;
    ASSERT_TRUE(gone.Start());
    const std::wstring strUrl = gone.Url("/refused.bin");
    gone.Stop();

    CTestDownloader downloader(0);
    downloader.SetCallback(&CNotificationRecorder::Callback, m_recorder.Context());
    ASSERT_EQ(S_OK, downloader.Initialize(nullptr, nullptr, nullptr));
    downloader.SetDownloadFolder(TestTempDir().c_str());
    EXPECT_EQ(E_DL_NETWORK, downloader.Download(strUrl.c_str(), 0));
    EXPECT_EQ(std::vector<DWORD>(5, 1000), downloader.pauses);
    EXPECT_EQ(E_DL_NETWORK, m_recorder.EndResult());
    EXPECT_EQ(5u, m_recorder.Count(eMsgConnectingServer));
}

TEST_F(DownloaderFailureTest, RealRetryPausesTakeAboutFiveSeconds)
{
    CLoopbackHttpServer gone;
    ASSERT_TRUE(gone.Start());
    const std::wstring strUrl = gone.Url("/refused.bin");
    gone.Stop();

    CXHttpDownloader downloader(0);
    ASSERT_EQ(S_OK, downloader.Initialize(nullptr, nullptr, nullptr));
    downloader.SetDownloadFolder(TestTempDir().c_str());
    const DWORD dwStart = ::GetTickCount();
    EXPECT_EQ(E_DL_NETWORK, downloader.Download(strUrl.c_str(), 0));
    const DWORD dwElapsed = ::GetTickCount() - dwStart;
    EXPECT_GE(dwElapsed, 4900u);
    EXPECT_LT(dwElapsed, 9000u);
}

// A target that cannot be opened fails the transfer, and the reason reaches the user's error log.
TEST_F(DownloaderFailureTest, UnwritableTargetIsReportedAndLogged)
{
    m_server.SetRoute("/taken.bin", Generated(100));
    const std::wstring strTaken = TestTempDir() + L"taken.bin";
    ASSERT_TRUE(::CreateDirectoryW(strTaken.c_str(), nullptr));  // a folder where the file should go
    CTestDownloader downloader(0);
    EXPECT_EQ(E_DL_BAD_TARGET, Fetch(downloader, "/taken.bin"));

    wchar_t szAppData[MAX_PATH] = {};
    ASSERT_EQ(S_OK, ::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, szAppData));
    const std::string strLog =
        ReadWholeFile(std::wstring(szAppData) + L"\\Orvo Corporation\\CommonDlonloader\\COMMONDWONLOADER.log");
    EXPECT_NE(std::string::npos, strLog.find("Failed to open file for writing \"" + WideToAnsi(strTaken) + "\""));
}

TEST(DownloaderSendErrors, OnlyATimeoutStopsTheAttempts)
{
    struct SCase
    {
        DWORD dwError;
        HRESULT hr;
        bool bRetry;
    };
    const SCase cases[] = {
        {ERROR_INTERNET_TIMEOUT, E_DL_TIMEOUT, false},
        {ERROR_INTERNET_INVALID_CA, E_DL_CERTIFICATE, true},
        {ERROR_INTERNET_SEC_CERT_CN_INVALID, E_DL_CERTIFICATE, true},
        {ERROR_INTERNET_SEC_CERT_DATE_INVALID, E_DL_CERTIFICATE, true},
        {ERROR_INTERNET_SEC_CERT_ERRORS, E_DL_CERTIFICATE, true},
        {ERROR_INTERNET_CANNOT_CONNECT, E_DL_NETWORK, true},
        {ERROR_INTERNET_CONNECTION_ABORTED, E_DL_NETWORK, true},
        {ERROR_INTERNET_NAME_NOT_RESOLVED, E_DL_NETWORK, true},
    };
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(c.dwError);
        EXPECT_EQ(c.hr, CXHttpDownloader::SendFailureResult(c.dwError));
        EXPECT_EQ(c.bRetry, CXHttpDownloader::IsSendRetriable(c.dwError));
    }
}

// A server that never answers: the transfer ends within the time-outs, with a time-out when
// WinINet reports one (Windows) or a network failure after five attempts (Wine 8 reports a
// header time-out as an aborted connection).
TEST_F(DownloaderFailureTest, StalledServerEndsWithinTheTimeouts)
{
    SRouteBehaviour stall;
    stall.bStall = true;
    m_server.SetRoute("/stall.bin", stall);
    CTestDownloader downloader(0);
    downloader.SetTimeouts(0, 300);
    const DWORD dwStart = ::GetTickCount();
    const HRESULT hr = Fetch(downloader, "/stall.bin");
    EXPECT_LT(::GetTickCount() - dwStart, 10000u);
    if (hr == E_DL_TIMEOUT)
    {
        EXPECT_TRUE(downloader.pauses.empty());
        EXPECT_EQ(1u, m_server.Requests().size());
    }
    else
    {
        EXPECT_EQ(E_DL_NETWORK, hr);
        EXPECT_EQ(std::vector<DWORD>(5, 1000), downloader.pauses);
        EXPECT_EQ(5u, m_server.Requests().size());
    }
    EXPECT_FALSE(FileExists(TestTempDir() + L"stall.bin"));
}

TEST_F(DownloaderFailureTest, StallInTheBodyIsANetworkFailure)
{
    // Headers and a first part arrive, then nothing: reads are not retried.
    SRouteBehaviour route = Generated(100000);
    route.dwDripMs = 3000;
    route.nDripBytes = 40000;
    m_server.SetRoute("/slow.bin", route);
    CTestDownloader downloader(0);
    downloader.SetTimeouts(0, 500);
    EXPECT_EQ(E_DL_NETWORK, Fetch(downloader, "/slow.bin"));
    const std::string strPartial = ReadWholeFile(TestTempDir() + L"slow.bin");
    EXPECT_EQ(PatternString(3, 0, strPartial.size()), strPartial);
}

TEST_F(DownloaderFailureTest, CancelFromAnotherThreadStopsBetweenBlocks)
{
    SRouteBehaviour route = Generated(4 * 1024 * 1024);
    route.dwDripMs = 2;
    route.nDripBytes = 8192;
    m_server.SetRoute("/big.bin", route);

    CTestDownloader downloader(0);
    UniqueHandle hReached(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    m_recorder.onNotify = [&](const SNotification& n) {
        if (n.dwCode == eMsgDownloadProgress && n.dwValue >= 65536)
            ::SetEvent(hReached.Get());
    };
    std::thread canceller([&] {
        if (::WaitForSingleObject(hReached.Get(), 20000) == WAIT_OBJECT_0)
            downloader.Cancel();
    });
    EXPECT_EQ(E_DL_CANCELED, Fetch(downloader, "/big.bin"));
    canceller.join();

    // What was written stays, for a later resume.
    const DWORD_PTR cbLast = m_recorder.Last(eMsgDownloadProgress);
    EXPECT_LT(cbLast, 4u * 1024 * 1024);
    const std::string strPartial = ReadWholeFile(TestTempDir() + L"big.bin");
    EXPECT_EQ(cbLast, strPartial.size());
    EXPECT_TRUE(PatternString(3, 0, strPartial.size()) == strPartial);
}

// A cancel that arrives before the transfer starts (before Initialize, or between Initialize
// and Download) is kept: the transfer ends without sending anything. Only the owner's
// ResetCancel makes the next transfer run.
TEST_F(DownloaderFailureTest, CancelBeforeTheTransferIsKeptUntilReset)
{
    m_server.SetRoute("/c.bin", Generated(1000));
    for (bool bBeforeInitialize : {true, false})
    {
        SCOPED_TRACE(bBeforeInitialize ? "before Initialize" : "between Initialize and Download");
        m_server.ClearRequests();
        CNotificationRecorder recorder;
        CTestDownloader downloader(0);
        downloader.SetCallback(&CNotificationRecorder::Callback, recorder.Context());
        if (bBeforeInitialize)
            downloader.Cancel();
        ASSERT_EQ(S_OK, downloader.Initialize(nullptr, nullptr, nullptr));
        if (!bBeforeInitialize)
            downloader.Cancel();
        downloader.SetDownloadFolder(TestTempDir().c_str());
        EXPECT_EQ(E_DL_CANCELED, downloader.Download(m_server.Url("/c.bin").c_str(), 0));
        EXPECT_EQ(E_DL_CANCELED, recorder.EndResult());
        EXPECT_TRUE(m_server.Requests().empty());
        EXPECT_FALSE(FileExists(TestTempDir() + L"c.bin"));

        EXPECT_EQ(S_OK, downloader.ResetCancel());
        ASSERT_EQ(S_OK, downloader.Initialize(nullptr, nullptr, nullptr));
        EXPECT_EQ(S_OK, downloader.Download(m_server.Url("/c.bin").c_str(), 0));
        EXPECT_EQ(1u, m_server.Requests().size());
        ::DeleteFileW((TestTempDir() + L"c.bin").c_str());
    }
}

// The first cancel check comes before anything is sent: no request reaches the server.
TEST_F(DownloaderFailureTest, CancelAtTheBeginSendsNoRequest)
{
    m_server.SetRoute("/b.bin", Generated(1000));
    CTestDownloader downloader(0);
    m_recorder.onNotify = [&](const SNotification& n) {
        if (n.dwCode == eMsgDownloadBegin)
            downloader.Cancel();
    };
    EXPECT_EQ(E_DL_CANCELED, Fetch(downloader, "/b.bin"));
    EXPECT_TRUE(m_server.Requests().empty());
    EXPECT_EQ(0u, m_recorder.Count(eMsgHttpStatus));
    EXPECT_FALSE(FileExists(TestTempDir() + L"b.bin"));
}

// A write that fails in the middle of the body. The limit is the host's file size limit, set
// by the CTest entry that runs this test (see CMakeLists.txt): each write beyond it fails.
TEST_F(DownloaderFailureTest, WriteFailureInTheBodyKeepsWhatWasWritten)
{
    char szLimit[32] = {};
    if (::GetEnvironmentVariableA("ZEP_FILE_SIZE_LIMIT", szLimit, sizeof(szLimit)) == 0)
        GTEST_SKIP() << "runs under a file size limit only";
    const size_t cbLimit = strtoul(szLimit, nullptr, 10);
    ASSERT_GT(cbLimit, 0u);
    m_server.SetRoute("/limit.bin", Generated(4 * cbLimit));
    CTestDownloader downloader(0);
    EXPECT_EQ(E_DL_WRITE, Fetch(downloader, "/limit.bin"));
    // Every byte up to the limit is on disk (the limit cuts a block); progress counts whole
    // blocks written.
    const std::string strPartial = ReadWholeFile(TestTempDir() + L"limit.bin");
    EXPECT_EQ(cbLimit, strPartial.size());
    EXPECT_TRUE(PatternString(3, 0, strPartial.size()) == strPartial);
    const DWORD_PTR cbProgress = m_recorder.Last(eMsgDownloadProgress);
    EXPECT_LE(cbProgress, cbLimit);
    EXPECT_GT(cbProgress + 16384, cbLimit);
}

// HTTPS through the system's own certificate checks: a trusted certificate downloads, a wrong
// name or an unknown root fails with E_DL_CERTIFICATE (the check is never switched off).
TEST(DownloaderHttpsTest, CertificateChecksAreKept)
{
    const std::wstring strTrustedCa = TestTempDir() + L"ca_trusted\\";
    const std::wstring strUnknownCa = TestTempDir() + L"ca_unknown\\";
    ASSERT_TRUE(::CreateDirectoryW(strTrustedCa.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(strUnknownCa.c_str(), nullptr));
    struct SCase
    {
        const char* pszName;
        bool bTrusted;
        HRESULT hr;
    };
    // The trusted root must exist before the first check (see TrustRoot), so it is made by
    // the first case and trusted right after its server started.
    const SCase cases[] = {
        {"127.0.0.1", true, S_OK},
        {"wrong.zeptest.invalid", true, E_DL_CERTIFICATE},
        {"127.0.0.1", false, E_DL_CERTIFICATE},
    };
    const std::string strBody = PatternString(9, 0, 30000);
    int nCase = 0;
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.pszName << (c.bTrusted ? " trusted root" : " unknown root"));
        const std::wstring strDir = TestTempDir() + L"site" + std::to_wstring(++nCase) + L"\\";
        ASSERT_TRUE(::CreateDirectoryW(strDir.c_str(), nullptr));
        const std::string strResponse =
            "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(strBody.size()) + "\r\n\r\n" + strBody;
        ASSERT_TRUE(WriteFileBytes(strDir + L"secure.bin", strResponse.data(), strResponse.size()));
        CTlsTestServer server;
        ASSERT_TRUE(server.Start(c.bTrusted ? strTrustedCa : strUnknownCa, strDir, c.pszName))
            << "openssl s_server did not start";
        if (nCase == 1)
        {
            ASSERT_TRUE(CTlsTestServer::TrustRoot(strTrustedCa));
        }

        const std::wstring strTarget = TestTempDir() + L"out\\";
        CNotificationRecorder recorder;
        CTestDownloader downloader(0);
        downloader.SetCallback(&CNotificationRecorder::Callback, recorder.Context());
        ASSERT_EQ(S_OK, downloader.Initialize(nullptr, nullptr, nullptr));
        downloader.SetDownloadFolder(strTarget.c_str());
        EXPECT_EQ(c.hr, downloader.Download(server.Url("/secure.bin").c_str(), 0));
        EXPECT_EQ(c.hr, recorder.EndResult());
        if (SUCCEEDED(c.hr))
            EXPECT_TRUE(ReadWholeFile(strTarget + L"secure.bin") == strBody);
        else
            EXPECT_FALSE(FileExists(strTarget + L"secure.bin"));
        ::DeleteFileW((strTarget + L"secure.bin").c_str());
        server.Stop();
    }
}
}  // namespace
