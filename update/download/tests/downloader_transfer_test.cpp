#include <gtest/gtest.h>

#include <windows.h>
#include <wininet.h>

#include <algorithm>

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

    // A 2 MiB body at "/slow.bin" that drips, and an event the recorder sets once body bytes
    // arrive: a transfer that is surely running. (Small enough that Wine's WinINet, which reads
    // the rest of an abandoned body when the handle closes, never holds a test up for long.)
    UniqueHandle SetSlowRouteAndStartEvent()
    {
        SRouteBehaviour route;
        route.bGenerated = true;
        route.ullSize = 2 * 1024 * 1024;
        route.dwDripMs = 5;
        route.nDripBytes = 16384;
        m_server.SetRoute("/slow.bin", route);
        UniqueHandle hStarted(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        HANDLE hEvent = hStarted.Get();
        m_recorder.onNotify = [hEvent](const SNotification& n) {
            if (n.dwCode == eMsgDownloadProgress)
                ::SetEvent(hEvent);
        };
        return hStarted;
    }

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
    // Connection progress comes before the status; progress grows by blocks of 16 KiB.
    std::vector<DWORD> before;
    for (const SNotification& n : all)
    {
        if (n.dwCode == eMsgHttpStatus)
            break;
        before.push_back(n.dwCode);
    }
    for (DWORD dwCode : {eMsgConnectingServer, eMsgConnectedToServer, eMsgSendingRequest, eMsgRequestSent})
        EXPECT_NE(before.end(), std::find(before.begin(), before.end(), dwCode)) << dwCode;
    DWORD_PTR previous = 0;
    for (const SNotification& n : all)
    {
        if (n.dwCode != eMsgDownloadProgress)
            continue;
        EXPECT_EQ(static_cast<DWORD>(eValueNumber), n.dwKind);
        EXPECT_GT(n.dwValue, previous);
        EXPECT_LE(n.dwValue - previous, 16384u);
        previous = n.dwValue;
    }
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

    wchar_t szSmall[8];
    EXPECT_EQ(E_OUTOFMEMORY, downloader.GetFilePath(szSmall, 8));
    std::vector<wchar_t> exact(strPath.size());
    EXPECT_EQ(E_OUTOFMEMORY, downloader.GetFilePath(exact.data(), static_cast<DWORD>(exact.size())));
}

TEST_F(DownloaderTransferTest, NewThreadModeCallsBackOnItsOwnThread)
{
    SRouteBehaviour route;
    route.bGenerated = true;
    route.ullSize = 300000;
    route.dwDripMs = 10;
    route.nDripBytes = 16384;
    m_server.SetRoute("/nt.bin", route);

    CXHttpDownloader downloader(1);
    downloader.SetCallback(&CNotificationRecorder::Callback, m_recorder.Context());
    ASSERT_EQ(S_OK, downloader.Initialize(nullptr, nullptr, nullptr));
    downloader.SetDownloadFolder(TestTempDir().c_str());
    EXPECT_EQ(S_OK, downloader.Download(m_server.Url("/nt.bin").c_str(), 0));
    EXPECT_EQ(0u, m_recorder.Count(eMsgDownloadEnd));  // returned before the transfer ended
    ASSERT_TRUE(downloader.WaitForTransfer(20000));

    EXPECT_EQ(S_OK, downloader.GetLastResult());
    EXPECT_EQ(S_OK, m_recorder.EndResult());
    EXPECT_TRUE(ReadWholeFile(TestTempDir() + L"nt.bin") == PatternString(1, 0, 300000));
    const std::vector<SNotification> all = m_recorder.All();
    ASSERT_FALSE(all.empty());
    for (const SNotification& n : all)
    {
        EXPECT_NE(::GetCurrentThreadId(), n.dwThreadId);
        EXPECT_EQ(all.front().dwThreadId, n.dwThreadId);
    }
}

TEST_F(DownloaderTransferTest, NewThreadTransferCanBeCanceledOrOutlivedSafely)
{
    UniqueHandle hStarted = SetSlowRouteAndStartEvent();

    {
        CXHttpDownloader downloader(1);
        downloader.SetCallback(&CNotificationRecorder::Callback, m_recorder.Context());
        ASSERT_EQ(S_OK, downloader.Initialize(nullptr, nullptr, nullptr));
        downloader.SetDownloadFolder(TestTempDir().c_str());
        ASSERT_EQ(S_OK, downloader.Download(m_server.Url("/slow.bin").c_str(), 0));
        ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(hStarted.Get(), 20000));
        EXPECT_EQ(S_OK, downloader.Cancel());
        ASSERT_TRUE(downloader.WaitForTransfer(20000));
        EXPECT_EQ(E_DL_CANCELED, downloader.GetLastResult());
        EXPECT_EQ(E_DL_CANCELED, m_recorder.EndResult());
    }

    // Destroyed while its thread still transfers: the destructor stops and waits for it.
    CNotificationRecorder second;
    ::ResetEvent(hStarted.Get());
    second.onNotify = m_recorder.onNotify;
    {
        CXHttpDownloader downloader(1);
        downloader.SetCallback(&CNotificationRecorder::Callback, second.Context());
        ASSERT_EQ(S_OK, downloader.Initialize(nullptr, nullptr, nullptr));
        downloader.SetDownloadFolder(TestTempDir().c_str());
        ASSERT_EQ(S_OK, downloader.Download(m_server.Url("/slow.bin").c_str(), 0));
        ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(hStarted.Get(), 20000));
    }
    EXPECT_EQ(1u, second.Count(eMsgDownloadEnd));
    EXPECT_EQ(E_DL_CANCELED, second.EndResult());
}

TEST_F(DownloaderTransferTest, AccessUrlReadsOnlyTheHeaders)
{
    SRouteBehaviour route;
    route.bGenerated = true;
    route.ullSize = 5000;
    m_server.SetRoute("/info/info.xml", route);
    for (int nMode : {0, 1})
    {
        SCOPED_TRACE(nMode);
        CNotificationRecorder recorder;
        CXHttpDownloader downloader(nMode);
        downloader.SetCallback(&CNotificationRecorder::Callback, recorder.Context());
        ASSERT_EQ(S_OK, downloader.Initialize(nullptr, nullptr, nullptr));
        downloader.SetDownloadFolder(TestTempDir().c_str());
        EXPECT_EQ(S_OK, downloader.AccessURL(m_server.Url("/info/info.xml").c_str()));
        ASSERT_TRUE(downloader.WaitForTransfer(20000));
        EXPECT_EQ(S_OK, downloader.GetLastResult());
        EXPECT_EQ(200u, recorder.First(eMsgHttpStatus));
        EXPECT_EQ(5000u, recorder.First(eMsgDownloadSize));
        EXPECT_EQ(0u, recorder.Count(eMsgDownloadProgress));
        EXPECT_EQ(S_OK, recorder.EndResult());
        EXPECT_EQ(static_cast<DWORD>(eMsgDownloadEnd), recorder.All().back().dwCode);
        EXPECT_FALSE(FileExists(TestTempDir() + L"info.xml"));
        wchar_t szPath[MAX_PATH] = L"x";
        EXPECT_EQ(S_OK, downloader.GetFilePath(szPath, MAX_PATH));
        EXPECT_STREQ(L"", szPath);
        EXPECT_FALSE(m_server.Requests().back().HasHeader("range"));
    }

    CNotificationRecorder recorder;
    CXHttpDownloader downloader(0);
    downloader.SetCallback(&CNotificationRecorder::Callback, recorder.Context());
    ASSERT_EQ(S_OK, downloader.Initialize(nullptr, nullptr, nullptr));
    EXPECT_EQ(E_DL_HTTP_404, downloader.AccessURL(m_server.Url("/info/missing.xml").c_str()));
    EXPECT_EQ(E_DL_HTTP_404, recorder.EndResult());
    EXPECT_EQ(E_INVALIDARG, downloader.AccessURL(L""));
}

TEST_F(DownloaderTransferTest, PostDataMakesAPostRequest)
{
    SRouteBehaviour route;
    route.strBody = "accepted";
    m_server.SetRoute("/notification/r.log", route);
    CXHttpDownloader downloader(0);
    ASSERT_EQ(S_OK, downloader.Initialize(L"", nullptr, L"result=00&serial=A1"));
    downloader.SetDownloadFolder(TestTempDir().c_str());
    EXPECT_EQ(S_OK, downloader.Download(m_server.Url("/notification/r.log").c_str(), 0));
    EXPECT_EQ("accepted", ReadWholeFile(TestTempDir() + L"r.log"));
    const std::vector<SRecordedRequest> requests = m_server.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("POST", requests[0].strMethod);
    EXPECT_EQ("result=00&serial=A1", requests[0].strBody);
    EXPECT_EQ("application/x-www-form-urlencoded", requests[0].Header("content-type"));
    EXPECT_EQ("Download Manager", requests[0].Header("user-agent"));

    // Initialize again without POST data: back to GET.
    ASSERT_EQ(S_OK, downloader.Initialize(nullptr, nullptr, L""));
    EXPECT_EQ(S_OK, downloader.Download(m_server.Url("/notification/r.log").c_str(), 0));
    EXPECT_EQ("GET", m_server.Requests().back().strMethod);
}

TEST_F(DownloaderTransferTest, EachDownloadNamesItsOwnFile)
{
    SRouteBehaviour one, two;
    one.strBody = "first";
    two.strBody = "second";
    m_server.SetRoute("/a/one.bin", one);
    m_server.SetRoute("/b/two.bin", two);
    CXHttpDownloader downloader(0);
    downloader.SetDownloadFolder(TestTempDir().c_str());
    for (const char* pszPath : {"/a/one.bin", "/b/two.bin"})
    {
        ASSERT_EQ(S_OK, downloader.Initialize(nullptr, nullptr, nullptr));
        EXPECT_EQ(S_OK, downloader.Download(m_server.Url(pszPath).c_str(), 0));
    }
    EXPECT_EQ("first", ReadWholeFile(TestTempDir() + L"one.bin"));
    EXPECT_EQ("second", ReadWholeFile(TestTempDir() + L"two.bin"));
}

// One transfer at a time: a status callback, on the transfer's own thread, can neither start a
// second transfer nor close or reuse the running one's handles.
TEST_F(DownloaderTransferTest, CallbackCannotStartOrDisturbAnotherTransfer)
{
    SRouteBehaviour route;
    route.bGenerated = true;
    route.ullSize = 200000;
    route.nSeed = 5;
    m_server.SetRoute("/one/pkg.bin", route);
    m_server.SetRoute("/two/other.bin", route);
    const std::wstring strOther = m_server.Url("/two/other.bin");
    for (int nMode : {0, 1})
    {
        SCOPED_TRACE(nMode);
        m_server.ClearRequests();
        CNotificationRecorder recorder;
        CXHttpDownloader downloader(nMode);
        std::vector<HRESULT> fromProgress, fromEnd;
        recorder.onNotify = [&](const SNotification& n) {
            if (n.dwCode == eMsgDownloadProgress && fromProgress.empty())
            {
                fromProgress.push_back(downloader.Initialize(nullptr, nullptr, nullptr));
                fromProgress.push_back(downloader.Download(strOther.c_str(), 0));
                fromProgress.push_back(downloader.AccessURL(strOther.c_str()));
                fromProgress.push_back(downloader.ResetCancel());
                downloader.CloseHandles();
                if (nMode == 1)
                {
                    EXPECT_FALSE(downloader.WaitForTransfer(INFINITE));  // its own thread
                }
            }
            else if (n.dwCode == eMsgDownloadEnd)
            {
                // Still inside the transfer: its handles are not closed yet.
                fromEnd.push_back(downloader.Download(strOther.c_str(), 0));
            }
        };
        downloader.SetCallback(&CNotificationRecorder::Callback, recorder.Context());
        ASSERT_EQ(S_OK, downloader.Initialize(nullptr, nullptr, nullptr));
        downloader.SetDownloadFolder(TestTempDir().c_str());
        EXPECT_EQ(S_OK, downloader.Download(m_server.Url("/one/pkg.bin").c_str(), 0));
        ASSERT_TRUE(downloader.WaitForTransfer(20000));

        EXPECT_EQ(std::vector<HRESULT>(4, E_DL_BUSY), fromProgress);
        EXPECT_EQ(std::vector<HRESULT>(1, E_DL_BUSY), fromEnd);
        EXPECT_EQ(S_OK, downloader.GetLastResult());
        EXPECT_EQ(S_OK, recorder.EndResult());
        EXPECT_EQ(1u, recorder.Count(eMsgDownloadEnd));
        EXPECT_TRUE(ReadWholeFile(TestTempDir() + L"pkg.bin") == PatternString(5, 0, 200000));
        EXPECT_FALSE(FileExists(TestTempDir() + L"other.bin"));
        EXPECT_EQ(1u, m_server.Requests().size());
        ::DeleteFileW((TestTempDir() + L"pkg.bin").c_str());
    }
}

// Another thread is refused at once while a worker transfers (it does not wait for it), the
// running transfer goes on, and a refused ResetCancel leaves a pending cancel in place.
TEST_F(DownloaderTransferTest, OtherThreadIsRefusedWhileTheWorkerTransfers)
{
    SRouteBehaviour next;
    next.strBody = "next";
    m_server.SetRoute("/next.bin", next);
    const std::wstring strNext = m_server.Url("/next.bin");
    UniqueHandle hStarted = SetSlowRouteAndStartEvent();

    CXHttpDownloader downloader(1);
    downloader.SetCallback(&CNotificationRecorder::Callback, m_recorder.Context());
    ASSERT_EQ(S_OK, downloader.Initialize(nullptr, nullptr, nullptr));
    downloader.SetDownloadFolder(TestTempDir().c_str());
    ASSERT_EQ(S_OK, downloader.Download(m_server.Url("/slow.bin").c_str(), 0));
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(hStarted.Get(), 20000));

    const DWORD dwStart = ::GetTickCount();
    EXPECT_EQ(E_DL_BUSY, downloader.Initialize(nullptr, nullptr, nullptr));
    EXPECT_EQ(E_DL_BUSY, downloader.Download(strNext.c_str(), 0));
    EXPECT_EQ(E_DL_BUSY, downloader.AccessURL(strNext.c_str()));
    downloader.CloseHandles();
    EXPECT_LT(::GetTickCount() - dwStart, 1000u);
    const DWORD_PTR cbBefore = m_recorder.Last(eMsgDownloadProgress);
    for (int i = 0; i < 500 && m_recorder.Last(eMsgDownloadProgress) < cbBefore + 65536; ++i)
        ::Sleep(10);
    EXPECT_GE(m_recorder.Last(eMsgDownloadProgress), cbBefore + 65536) << "the transfer stopped";

    EXPECT_EQ(S_OK, downloader.Cancel());
    EXPECT_EQ(E_DL_BUSY, downloader.ResetCancel());
    ASSERT_TRUE(downloader.WaitForTransfer(20000));
    EXPECT_EQ(E_DL_CANCELED, downloader.GetLastResult());
    EXPECT_EQ(1u, m_recorder.Count(eMsgDownloadEnd));

    // Once it has ended, the owner starts the next one.
    EXPECT_EQ(S_OK, downloader.ResetCancel());
    ASSERT_EQ(S_OK, downloader.Initialize(nullptr, nullptr, nullptr));
    EXPECT_EQ(S_OK, downloader.Download(strNext.c_str(), 0));
    ASSERT_TRUE(downloader.WaitForTransfer(20000));
    EXPECT_EQ(S_OK, downloader.GetLastResult());
    EXPECT_EQ("next", ReadWholeFile(TestTempDir() + L"next.bin"));
    const std::vector<SRecordedRequest> requests = m_server.Requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ("/slow.bin", requests[0].strPath);
    EXPECT_EQ("/next.bin", requests[1].strPath);
}

// The package is kept in the download folder only: WinINet's own cache copy would double the
// disk space it takes, and no copy is kept of the body a redirect led to either.
TEST_F(DownloaderTransferTest, NoCacheCopyIsLeftBehind)
{
    SRouteBehaviour route;
    route.bGenerated = true;
    route.ullSize = 100000;
    m_server.SetRoute("/cache/pkg.bin", route);
    const std::wstring strUrl = m_server.Url("/cache/pkg.bin");
    SRouteBehaviour moved;
    moved.strStatusLine = "HTTP/1.1 302 Found";
    moved.strBody = "moved";
    moved.extraHeaders.push_back("Location: /cache/pkg.bin");
    m_server.SetRoute("/cache/moved/pkg.bin", moved);
    const std::wstring strMovedUrl = m_server.Url("/cache/moved/pkg.bin");
    const struct
    {
        const wchar_t* pszUrl;
        DWORD dwOffset;
    } kCases[] = {{strUrl.c_str(), 0}, {strUrl.c_str(), 50000}, {strMovedUrl.c_str(), 0}};
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(testing::Message() << c.pszUrl << " from " << c.dwOffset);
        CXHttpDownloader downloader(0);
        ASSERT_EQ(S_OK, downloader.Initialize(nullptr, nullptr, nullptr));
        downloader.SetDownloadFolder(TestTempDir().c_str());
        EXPECT_EQ(S_OK, downloader.Download(c.pszUrl, c.dwOffset));
        EXPECT_TRUE(ReadWholeFile(TestTempDir() + L"pkg.bin") == PatternString(1, 0, 100000));
        for (const std::wstring& strCached : {strUrl, strMovedUrl})
        {
            DWORD cbEntry = 0;
            EXPECT_FALSE(::GetUrlCacheEntryInfoW(strCached.c_str(), nullptr, &cbEntry)) << strCached;
            EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), ::GetLastError());
        }
    }
}

// A URL naming a device ("nul" would swallow the package and report success) is stored under
// a plain file name.
TEST_F(DownloaderTransferTest, DeviceNamesAreStoredAsPlainFiles)
{
    for (const char* pszName : {"nul", "con.bin"})
    {
        SCOPED_TRACE(pszName);
        SRouteBehaviour route;
        route.strBody = std::string("package ") + pszName;
        m_server.SetRoute(std::string("/d/") + pszName, route);
        CXHttpDownloader downloader(0);
        ASSERT_EQ(S_OK, downloader.Initialize(nullptr, nullptr, nullptr));
        downloader.SetDownloadFolder(TestTempDir().c_str());
        EXPECT_EQ(S_OK, downloader.Download(m_server.Url(std::string("/d/") + pszName).c_str(), 0));
        const std::wstring strExpected = TestTempDir() + L"_" + std::wstring(pszName, pszName + strlen(pszName));
        wchar_t szPath[MAX_PATH] = {};
        EXPECT_EQ(S_OK, downloader.GetFilePath(szPath, MAX_PATH));
        EXPECT_EQ(strExpected, szPath);
        EXPECT_EQ(route.strBody, ReadWholeFile(strExpected));
    }
}
}  // namespace
