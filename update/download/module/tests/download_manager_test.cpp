// The software download manager through its COM interface, downloading from a loopback server
// into a scratch download root.
#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/com_init.h"
#include "common/com_object.h"
#include "common/folder_security.h"
#include "common/scoped_bstr.h"
#include "common/testing/zeptest.h"
#include "common/unique_resource.h"
#include "update/download/download_codes.h"
#include "update/download/module/zep_software_download_manager.h"
#include "update/download/tests/download_test_util.h"
#include "update/download/tests/loopback_http_server.h"

using Microsoft::WRL::ComPtr;
using namespace zeptest;

namespace
{
typedef CZepSoftwareDownloadManagerImpl Impl;

struct SEvent
{
    int nType;
    DWORD dwSize;
    LONG lResult;
    VARTYPE vt[3];  // of nType, dwSize, hResult
    ULONG ulPercentage;  // what a poller saw at that moment
};

// A StatusChanged sink that records every call (on the worker thread) and can act on one.
class CEventSink final : public IDispatch
{
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID__IZepSoftwareDownloadManagerEvents)
        {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_cRef; }
    STDMETHODIMP_(ULONG) Release() override { return --m_cRef; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID dispid, REFIID, LCID lcid, WORD wFlags, DISPPARAMS* pParams, VARIANT*, EXCEPINFO*,
                        UINT*) override
    {
        if (dispid != 1 || lcid != LOCALE_USER_DEFAULT || wFlags != DISPATCH_METHOD || pParams->cArgs != 3)
        {
            ++m_cBadCalls;
            return DISP_E_MEMBERNOTFOUND;
        }
        SEvent event = {pParams->rgvarg[2].intVal, pParams->rgvarg[1].ulVal, pParams->rgvarg[0].lVal,
                        {pParams->rgvarg[2].vt, pParams->rgvarg[1].vt, pParams->rgvarg[0].vt}, 0};
        if (m_pManager)
            m_pManager->GetDownloadProgressPercentage(nullptr, &event.ulPercentage);
        std::function<void(const SEvent&)> handler;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_events.push_back(event);
            handler = m_onEvent;
        }
        if (handler)
            handler(event);
        return S_OK;
    }

    std::vector<SEvent> Events() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_events;
    }
    DWORD MaxProgress() const
    {
        DWORD dwMax = 0;
        for (const SEvent& e : Events())
            if (e.nType == eMsgDownloadProgress)
                dwMax = (std::max)(dwMax, e.dwSize);
        return dwMax;
    }

    std::atomic<ULONG> m_cRef{1};
    std::atomic<int> m_cBadCalls{0};
    IZepSoftwareDownloadManager* m_pManager = nullptr;
    // Called (on the worker thread) after each event is recorded.
    void SetHandler(std::function<void(const SEvent&)> handler)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_onEvent = std::move(handler);
    }

private:
    mutable std::mutex m_mutex;
    std::function<void(const SEvent&)> m_onEvent;
    std::vector<SEvent> m_events;
};

class DownloadManager : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.Start());
        static int s_nRoot = 0;
        m_strRoot = TestTempDir() + L"dlroot" + std::to_wstring(++s_nRoot);
        RemoveTree(m_strRoot);
        m_manager = Create();
        ASSERT_TRUE(m_manager);
    }
    void TearDown() override
    {
        m_manager.Reset();
        m_sink.SetHandler(nullptr);
        m_server.Stop();
        RemoveTree(m_strRoot);
    }

    ComPtr<IZepSoftwareDownloadManager> Create()
    {
        CZepSoftwareDownloadManager::SetDownloadRootForTesting(m_strRoot);
        ComPtr<IZepSoftwareDownloadManager> manager;
        const HRESULT hr = ZepCreateAggregatable<CZepSoftwareDownloadManager>(nullptr, IID_PPV_ARGS(&manager));
        CZepSoftwareDownloadManager::SetDownloadRootForTesting(std::wstring());
        return SUCCEEDED(hr) ? manager : nullptr;
    }

    HRESULT Start(const wchar_t* pszService, const std::string& strPath)
    {
        CScopedBstr bstrService(pszService), bstrUrl(m_server.Url(strPath));
        return m_manager->DownloadSoftwareUpdate(bstrService, bstrUrl);
    }

    // Waits until the download has ended; the public result code, or 1 on a time-out.
    LONG WaitForEnd(DWORD dwTimeoutMs = 20000)
    {
        const DWORD dwStart = ::GetTickCount();
        while (::GetTickCount() - dwStart < dwTimeoutMs)
        {
            LONG lStatus = -1, lResult = -1;
            m_manager->GetDownloadStatus(&lStatus, &lResult);
            ULONG ulPercentage = 0;
            m_manager->GetDownloadProgressPercentage(nullptr, &ulPercentage);
            // A success is over when the worker has lowered the flag (the bar leaves 99).
            if (lStatus == eMsgDownloadEnd && (lResult != 0 || PathKnown()))
                return lResult;
            ::Sleep(20);
        }
        return 1;
    }
    // Where this user's downloads of a service go.
    std::wstring UserFolder(const wchar_t* pszService)
    {
        std::wstring strSid;
        EXPECT_EQ(S_OK, CurrentUserSidText(strSid));
        return m_strRoot + L"\\" + pszService + L"\\" + strSid;
    }
    bool PathKnown()
    {
        CScopedBstr bstrPath;
        return m_manager->GetDownloadedFilePath(nullptr, bstrPath.Receive()) == S_OK;
    }
    std::wstring DownloadedPath()
    {
        CScopedBstr bstrPath;
        EXPECT_EQ(S_OK, m_manager->GetDownloadedFilePath(nullptr, bstrPath.Receive()));
        return bstrPath.ToString();
    }
    DWORD Connect(CEventSink& sink)
    {
        ComPtr<IConnectionPointContainer> container;
        ComPtr<IConnectionPoint> point;
        DWORD dwCookie = 0;
        EXPECT_EQ(S_OK, m_manager.As(&container));
        EXPECT_EQ(S_OK, container->FindConnectionPoint(DIID__IZepSoftwareDownloadManagerEvents, &point));
        EXPECT_EQ(S_OK, point->Advise(&sink, &dwCookie));
        return dwCookie;
    }
    LONG Check(const wchar_t* pszMac)
    {
        CScopedBstr bstrMac(pszMac);
        LONG lResult = -1;
        EXPECT_EQ(S_OK, m_manager->CheckDownloadedFile(bstrMac, &lResult));
        return lResult;
    }
    static SRouteBehaviour Generated(uint64_t ullSize, uint32_t nSeed)
    {
        SRouteBehaviour route;
        route.bGenerated = true;
        route.ullSize = ullSize;
        route.nSeed = nSeed;
        return route;
    }

    CComInitScope m_com;
    // Outlives the component, which holds it while connected.
    CEventSink m_sink;
    CLoopbackHttpServer m_server;
    std::wstring m_strRoot;
    ComPtr<IZepSoftwareDownloadManager> m_manager;
};
}  // namespace

TEST(DownloadManagerRules, PercentageIsTruncatedAndZeroWithoutATotal)
{
    const struct
    {
        DWORD dwReceived, dwTotal;
        LONG lExpected;
    } kCases[] = {{1, 3, 33}, {2, 3, 66}, {3, 3, 100}, {0, 3, 0}, {5, 0, 0}, {0, 0, 0},
                  {4, 3, 100}, {0xFFFFFFFE, 0xFFFFFFFF, 99}, {0xFFFFFFFF, 0xFFFFFFFF, 100}};
    for (const auto& c : kCases)
        EXPECT_EQ(c.lExpected, Impl::Percentage(c.dwReceived, c.dwTotal)) << c.dwReceived << "/" << c.dwTotal;
}

TEST(DownloadManagerRules, PublicResultCodes)
{
    const struct
    {
        HRESULT hrDownloader;
        DWORD dwPublic;
    } kCases[] = {
        {E_DL_BAD_TARGET, 0x80044208}, {E_DL_SEEK, 0x80044208},       {E_DL_WRITE, 0x80044208},
        {E_DL_CREATE_FOLDER, 0x80044208}, {E_DL_DISK_FULL, 0x80041210}, {E_DL_LENGTH_MISMATCH, 0x80043208},
        {E_DL_NETWORK, 0x80043302},    {E_DL_CERTIFICATE, 0x80043302}, {E_DL_AUTH_REQUIRED, 0x80043302},
        {E_DL_HTTP_400, 0x80043302},   {E_DL_HTTP_500, 0x80043302},   {E_DL_TIMEOUT, 0x80043202},
        {E_DL_HTTP_404, 0x80044207},   {E_DL_CANCELED, 0x80042202},   {S_OK, 0},
        {E_DL_BUSY, static_cast<DWORD>(E_DL_BUSY)}, {E_OUTOFMEMORY, static_cast<DWORD>(E_OUTOFMEMORY)},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(c.dwPublic, static_cast<DWORD>(Impl::MapDownloadResult(c.hrDownloader)))
            << std::hex << c.hrDownloader;
}

TEST(DownloadManagerRules, ResumeOffsetFetchesTheLast64KiBAgain)
{
    EXPECT_EQ(0u, Impl::ResumeOffset(0));
    EXPECT_EQ(0u, Impl::ResumeOffset(65536));
    EXPECT_EQ(1u, Impl::ResumeOffset(65537));
    EXPECT_EQ(134464u, Impl::ResumeOffset(200000));
    // Beyond what the downloader can count: start over rather than at a wrong place.
    EXPECT_EQ(0u, Impl::ResumeOffset(0x100010001ULL));
}

TEST_F(DownloadManager, IdleStateAnswers)
{
    LONG lStatus = -1, lResult = -1;
    ULONG ulPercentage = 7;
    EXPECT_EQ(S_OK, m_manager->GetDownloadStatus(&lStatus, &lResult));
    EXPECT_EQ(0, lStatus);
    EXPECT_EQ(0, lResult);
    EXPECT_EQ(S_OK, m_manager->GetDownloadProgressPercentage(nullptr, &ulPercentage));
    EXPECT_EQ(0u, ulPercentage);
    EXPECT_EQ(E_INVALIDARG, m_manager->GetDownloadProgressPercentage(nullptr, nullptr));
    EXPECT_EQ(S_FALSE, m_manager->AbortDownloading(nullptr));
    CScopedBstr bstrPath;
    EXPECT_EQ(E_FAIL, m_manager->GetDownloadedFilePath(nullptr, bstrPath.Receive()));
    EXPECT_EQ(nullptr, bstrPath.Get());
    CScopedBstr bstrAny(L"x");
    EXPECT_EQ(E_FAIL, m_manager->RemoveDownloadedFile(nullptr, bstrAny));
    // Nothing downloaded matches anything, an empty MAC included.
    EXPECT_EQ(0, Check(L""));
    EXPECT_EQ(0, Check(nullptr));
    EXPECT_EQ(0, Check(L"900150983cd24fb0d6963f7d28e17f72"));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(m_strRoot.c_str()));
}

// The events arrive in order with the declared argument types; a poller sees the truncated
// percentage of each progress step, and 99 for the last one while the worker still runs.
TEST_F(DownloadManager, DownloadsWithEventsAndPercentages)
{
    const DWORD kSize = 3 * 16384;
    SRouteBehaviour route = Generated(kSize, 12);
    route.dwDripMs = 200;
    route.nDripBytes = 16384;
    m_server.SetRoute("/pkg/three.bin", route);
    m_sink.m_pManager = m_manager.Get();
    Connect(m_sink);

    ASSERT_EQ(S_OK, Start(L"svc", "/pkg/three.bin"));
    ASSERT_EQ(0, WaitForEnd());
    ULONG ulPercentage = 0;
    EXPECT_EQ(S_OK, m_manager->GetDownloadProgressPercentage(nullptr, &ulPercentage));
    EXPECT_EQ(100u, ulPercentage);

    const std::vector<SEvent> events = m_sink.Events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(0, m_sink.m_cBadCalls.load());
    for (const SEvent& e : events)
    {
        EXPECT_EQ(VT_INT, e.vt[0]);
        EXPECT_EQ(VT_UI4, e.vt[1]);
        EXPECT_EQ(VT_I4, e.vt[2]);
    }
    EXPECT_EQ(eMsgDownloadEnd, events.back().nType);
    EXPECT_EQ(0, events.back().lResult);
    std::vector<DWORD> received;
    bool bSizeSeen = false;
    for (const SEvent& e : events)
    {
        if (e.nType == eMsgDownloadSize)
        {
            EXPECT_EQ(kSize, e.dwSize);
            EXPECT_TRUE(received.empty()) << "size after progress";
            bSizeSeen = true;
        }
        else if (e.nType == eMsgDownloadProgress)
        {
            received.push_back(e.dwSize);
            const LONG lExpected = (std::min)(99L, Impl::Percentage(e.dwSize, kSize));
            EXPECT_EQ(static_cast<ULONG>(lExpected), e.ulPercentage) << e.dwSize;
        }
        else if (e.nType != eMsgDownloadEnd)
        {
            EXPECT_EQ(0u, e.dwSize);
            EXPECT_EQ(0, e.lResult);
        }
    }
    EXPECT_TRUE(bSizeSeen);
    ASSERT_FALSE(received.empty());
    EXPECT_TRUE(std::is_sorted(received.begin(), received.end()));
    EXPECT_EQ(kSize, received.back());
    EXPECT_GE(received.size(), 2u) << "the drip should give more than one step";
}

// A 3-byte package: the three digests, the case of the MAC, removal of the file and its folder.
TEST_F(DownloadManager, VerifiesAndRemovesTheDownloadedFile)
{
    SRouteBehaviour route;
    route.strBody = "abc";
    m_server.SetRoute("/pkg/abc.bin", route);
    ASSERT_EQ(S_OK, Start(L"svc", "/pkg/abc.bin"));
    ASSERT_EQ(0, WaitForEnd());
    const std::wstring strPath = DownloadedPath();
    EXPECT_EQ(UserFolder(L"svc") + L"\\abc.bin", strPath);
    EXPECT_EQ("abc", ReadWholeFile(strPath));

    const struct
    {
        const wchar_t* pszMac;
        LONG lExpected;
    } kMacs[] = {
        {L"900150983cd24fb0d6963f7d28e17f72", 1},          // MD5
        {L"a9993e364706816aba3e25717850c26c9cd0d89d", 1},  // SHA-1
        {L"900150983CD24FB0D6963F7D28E17F72", 0},          // case matters
        {L"A9993E364706816ABA3E25717850C26C9CD0D89D", 0},
        {L"a9993e364706816aba3e25717850c26c9cd0d89e", 0},  // wrong digest
        {L"900150983cd24fb0d6963f7d28e17f7", 0},           // 31 characters: SHA-1, no match
        {L"a9993e364706816aba3e25717850c26c9cd0d89d0", 0},
        {L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", 1},  // SHA-256
        {L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ae", 0},
        {L"BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD", 0},
        {L"", 0},  // vouches for nothing
    };
    for (const auto& c : kMacs)
        EXPECT_EQ(c.lExpected, Check(c.pszMac)) << c.pszMac;

    CScopedBstr bstrAny(L"ignored");
    EXPECT_EQ(E_FAIL, m_manager->RemoveDownloadedFile(nullptr, nullptr));
    EXPECT_TRUE(FileExists(strPath));
    EXPECT_EQ(S_OK, m_manager->RemoveDownloadedFile(nullptr, bstrAny));
    EXPECT_FALSE(FileExists(strPath));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(UserFolder(L"svc").c_str()));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(m_strRoot.c_str()));
    // Gone: a second removal fails, and the file no longer matches its digest.
    EXPECT_EQ(E_FAIL, m_manager->RemoveDownloadedFile(nullptr, bstrAny));
    EXPECT_EQ(0, Check(L"900150983cd24fb0d6963f7d28e17f72"));
}

TEST_F(DownloadManager, RemovalKeepsAFolderThatIsNotEmpty)
{
    m_server.SetRoute("/a.bin", Generated(1000, 1));
    ASSERT_EQ(S_OK, Start(L"svc", "/a.bin"));
    ASSERT_EQ(0, WaitForEnd());
    const std::wstring strOther = UserFolder(L"svc") + L"\\other.txt";
    ASSERT_TRUE(WriteFileBytes(strOther, "x", 1));
    CScopedBstr bstrAny(L"x");
    EXPECT_EQ(S_OK, m_manager->RemoveDownloadedFile(nullptr, bstrAny));
    EXPECT_TRUE(FileExists(strOther));
}

// Without a Content-Length there is no share to show while the file comes, but a poller that
// waits for 100 must see it once the file is complete.
TEST_F(DownloadManager, UnknownSizeStaysAtZeroUntilTheDownloadHasEnded)
{
    SRouteBehaviour route = Generated(300000, 5);
    route.bSendContentLength = false;
    m_server.SetRoute("/nolen.bin", route);
    m_sink.m_pManager = m_manager.Get();
    Connect(m_sink);
    ASSERT_EQ(S_OK, Start(L"svc", "/nolen.bin"));
    ASSERT_EQ(0, WaitForEnd());
    // The worker lowers its flag a moment after the path is known.
    ULONG ulPercentage = 0;
    for (int i = 0; i < 100 && ulPercentage != 100; ++i)
    {
        EXPECT_EQ(S_OK, m_manager->GetDownloadProgressPercentage(nullptr, &ulPercentage));
        if (ulPercentage != 100)
            ::Sleep(20);
    }
    EXPECT_EQ(100u, ulPercentage);
    EXPECT_EQ(300000u, m_sink.MaxProgress());
    for (const SEvent& e : m_sink.Events())
        EXPECT_EQ(0u, e.ulPercentage);
}

TEST_F(DownloadManager, FailuresReachTheStatusAsPublicCodes)
{
    SRouteBehaviour server;
    server.nStatus = 500;
    server.strBody = "no";
    m_server.SetRoute("/500.bin", server);
    const struct
    {
        const char* pszPath;
        DWORD dwPublic;
    } kCases[] = {{"/missing.bin", 0x80044207}, {"/500.bin", 0x80043302}};
    for (const auto& c : kCases)
    {
        ASSERT_EQ(S_OK, Start(L"svc", c.pszPath));
        EXPECT_EQ(c.dwPublic, static_cast<DWORD>(WaitForEnd())) << c.pszPath;
        // A failed download stays flagged: abort is still accepted, no path appears.
        EXPECT_EQ(S_OK, m_manager->AbortDownloading(nullptr));
        EXPECT_FALSE(PathKnown());
    }
}

// Partial files left behind: up to 64 KiB starts over, anything longer resumes 64 KiB before
// its end.
TEST_F(DownloadManager, ResumesAnExistingPartialFile)
{
    const size_t kSize = 200000;
    m_server.SetRoute("/part.bin", Generated(kSize, 9));
    const struct
    {
        size_t cbExisting;
        const char* pszRange;  // nullptr: none sent
    } kCases[] = {{65536, nullptr}, {65537, "bytes=1-"}, {150000, "bytes=84464-"}};
    for (const auto& c : kCases)
    {
        // Left by an earlier run of this user.
        ::CreateDirectoryW(m_strRoot.c_str(), nullptr);
        ::CreateDirectoryW((m_strRoot + L"\\svc").c_str(), nullptr);
        ::CreateDirectoryW(UserFolder(L"svc").c_str(), nullptr);
        const std::string strPart = PatternString(9, 0, c.cbExisting);
        ASSERT_TRUE(WriteFileBytes(UserFolder(L"svc") + L"\\part.bin", strPart.data(), strPart.size()));
        m_server.ClearRequests();
        ASSERT_EQ(S_OK, Start(L"svc", "/part.bin"));
        ASSERT_EQ(0, WaitForEnd()) << c.cbExisting;
        const auto requests = m_server.Requests();
        ASSERT_EQ(1u, requests.size());
        if (c.pszRange)
            EXPECT_EQ(c.pszRange, requests[0].Header("range")) << c.cbExisting;
        else
            EXPECT_FALSE(requests[0].HasHeader("range")) << c.cbExisting;
        EXPECT_TRUE(ReadWholeFile(UserFolder(L"svc") + L"\\part.bin") == PatternString(9, 0, kSize)) << c.cbExisting;
    }
}

// Aborted in the middle, the public status says so and the partial file stays; the next start
// resumes it and completes the same bytes.
TEST_F(DownloadManager, AbortMidTransferThenRestartResumes)
{
    const size_t kSize = 2000000;
    SRouteBehaviour slow = Generated(kSize, 21);
    slow.dwDripMs = 20;
    slow.nDripBytes = 16384;
    m_server.SetRoute("/big.bin", slow);
    Connect(m_sink);
    // Shared with the handler, which the worker may still call after the test body.
    const auto hHalf = std::make_shared<UniqueHandle>(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    m_sink.SetHandler([hHalf](const SEvent& e) {
        if (e.nType == eMsgDownloadProgress && e.dwSize >= 300000)
            ::SetEvent(hHalf->Get());
    });
    ASSERT_EQ(S_OK, Start(L"svc", "/big.bin"));
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(hHalf->Get(), 20000));
    EXPECT_EQ(S_OK, m_manager->AbortDownloading(nullptr));
    EXPECT_EQ(0x80042202u, static_cast<DWORD>(WaitForEnd()));
    LONG lStatus = 0, lResult = 0;
    EXPECT_EQ(S_OK, m_manager->GetDownloadStatus(&lStatus, &lResult));
    EXPECT_EQ(eMsgDownloadEnd, lStatus);
    EXPECT_FALSE(PathKnown());
    EXPECT_EQ(static_cast<LONG>(E_DL_CANCELED), m_sink.Events().back().lResult);  // the downloader's own code
    const std::wstring strPath = UserFolder(L"svc") + L"\\big.bin";
    const size_t cbPartial = ReadWholeFile(strPath).size();
    ASSERT_GT(cbPartial, 65536u);
    ASSERT_LT(cbPartial, kSize);

    m_sink.SetHandler(nullptr);
    m_server.SetRoute("/big.bin", Generated(kSize, 21));
    m_server.ClearRequests();
    ASSERT_EQ(S_OK, Start(L"svc", "/big.bin"));
    ASSERT_EQ(0, WaitForEnd());
    const auto requests = m_server.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("bytes=" + std::to_string(cbPartial - 65536) + "-", requests[0].Header("range"));
    EXPECT_EQ(strPath, DownloadedPath());
    EXPECT_TRUE(ReadWholeFile(strPath) == PatternString(21, 0, kSize));
    EXPECT_EQ(S_FALSE, m_manager->AbortDownloading(nullptr));
}

// A second start while the first still transfers: the first gives way, the two never overlap,
// and the second one's file is the result.
TEST_F(DownloadManager, NewDownloadReplacesTheRunningOne)
{
    SRouteBehaviour slow = Generated(3000000, 2);
    slow.dwDripMs = 50;
    slow.nDripBytes = 8192;
    m_server.SetRoute("/slow.bin", slow);
    m_server.SetRoute("/quick.bin", Generated(100000, 3));
    Connect(m_sink);
    // Shared with the handler, which the worker may still call after the test body.
    const auto hStarted = std::make_shared<UniqueHandle>(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    m_sink.SetHandler([hStarted](const SEvent& e) {
        if (e.nType == eMsgDownloadProgress)
            ::SetEvent(hStarted->Get());
    });
    ASSERT_EQ(S_OK, Start(L"one", "/slow.bin"));
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(hStarted->Get(), 20000));
    m_sink.SetHandler(nullptr);
    ASSERT_EQ(S_OK, Start(L"two", "/quick.bin"));
    ASSERT_EQ(0, WaitForEnd());
    EXPECT_EQ(UserFolder(L"two") + L"\\quick.bin", DownloadedPath());
    EXPECT_TRUE(ReadWholeFile(DownloadedPath()) == PatternString(3, 0, 100000));

    // In event order: the first download ended (cancelled) before the second began.
    std::vector<LONG> ends;
    int nBegins = 0;
    for (const SEvent& e : m_sink.Events())
    {
        if (e.nType == eMsgDownloadBegin)
        {
            ++nBegins;
            EXPECT_EQ(ends.size() + 1, static_cast<size_t>(nBegins)) << "began before the previous ended";
        }
        if (e.nType == eMsgDownloadEnd)
            ends.push_back(e.lResult);
    }
    EXPECT_EQ((std::vector<LONG>{static_cast<LONG>(E_DL_CANCELED), 0}), ends);
}

// The service identifier names one folder directly below the root, whatever it contains; the
// user's own folder is below that.
TEST_F(DownloadManager, ServiceIdentifierStaysOneFolderBelowTheRoot)
{
    m_server.SetRoute("/f.bin", Generated(100, 4));
    std::wstring strSid;
    ASSERT_EQ(S_OK, CurrentUserSidText(strSid));
    for (const wchar_t* pszService : {L"..", L"..\\..\\up", L"a/b", L"C:\\x", L"con", L"x. "})
    {
        ASSERT_EQ(S_OK, Start(pszService, "/f.bin"));
        ASSERT_EQ(0, WaitForEnd()) << pszService;
        const std::wstring strPath = DownloadedPath();
        ASSERT_EQ(0u, strPath.find(m_strRoot + L"\\")) << strPath;
        const std::wstring strRest = strPath.substr(m_strRoot.size() + 1);
        EXPECT_EQ(L"\\" + strSid + L"\\f.bin", strRest.substr(strRest.find(L'\\'))) << strPath;
        const std::wstring strFolder = strRest.substr(0, strRest.find(L'\\'));
        EXPECT_NE(L"..", strFolder);
        EXPECT_NE(L".", strFolder);
        EXPECT_TRUE(FileExists(strPath)) << strPath;
    }
}

// Released while the transfer drips: the release returns soon and the worker ends cleanly.
TEST_F(DownloadManager, DestroyedDuringATransfer)
{
    SRouteBehaviour slow = Generated(5000000, 6);
    slow.dwDripMs = 50;
    slow.nDripBytes = 4096;
    m_server.SetRoute("/slow.bin", slow);
    Connect(m_sink);
    // Shared with the handler, which the worker may still call after the test body.
    const auto hStarted = std::make_shared<UniqueHandle>(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    m_sink.SetHandler([hStarted](const SEvent& e) {
        if (e.nType == eMsgDownloadProgress)
            ::SetEvent(hStarted->Get());
    });
    ASSERT_EQ(S_OK, Start(L"svc", "/slow.bin"));
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(hStarted->Get(), 20000));
    const DWORD dwStart = ::GetTickCount();
    m_manager.Reset();
    EXPECT_LT(::GetTickCount() - dwStart, 3000u);
    const size_t cEvents = m_sink.Events().size();
    ::Sleep(300);
    EXPECT_EQ(cEvents, m_sink.Events().size()) << "events after the component went";
    EXPECT_EQ(1u, m_sink.m_cRef.load()) << "the sink was not let go";
}

// Released while the server never answers: the release gives up waiting after a bounded time,
// and the worker, which still holds what it uses, ends later without harm.
TEST_F(DownloadManager, DestroyedWhileTheServerStalls)
{
    SRouteBehaviour stall;
    stall.bStall = true;
    m_server.SetRoute("/stall.bin", stall);
    ASSERT_EQ(S_OK, Start(L"svc", "/stall.bin"));
    const DWORD dwDeadline = ::GetTickCount() + 10000;
    while (m_server.Requests().empty() && ::GetTickCount() < dwDeadline)
        ::Sleep(20);
    ASSERT_FALSE(m_server.Requests().empty());
    const DWORD dwStart = ::GetTickCount();
    m_manager.Reset();
    const DWORD dwElapsed = ::GetTickCount() - dwStart;
    EXPECT_LT(dwElapsed, CZepSoftwareDownloadManager::kShutdownWaitMs + 2000);
    // The stall ends with the server; the detached worker then finishes on its own.
    m_server.Stop();
    ::Sleep(500);
    ComPtr<IZepSoftwareDownloadManager> again = Create();
    EXPECT_TRUE(again);
}

// An event handler that starts a download on the worker's own thread is refused instead of
// waiting for itself; one that aborts is obeyed.
TEST_F(DownloadManager, CallsFromAnEventHandler)
{
    SRouteBehaviour slow = Generated(2000000, 8);
    slow.dwDripMs = 20;
    slow.nDripBytes = 16384;
    m_server.SetRoute("/slow.bin", slow);
    Connect(m_sink);
    std::atomic<HRESULT> hrRestart{S_OK};
    std::atomic<HRESULT> hrAbort{S_FALSE};
    IZepSoftwareDownloadManager* pManager = m_manager.Get();
    const std::wstring strUrl = m_server.Url("/slow.bin");
    m_sink.SetHandler([&](const SEvent& e) {
        if (e.nType == eMsgDownloadProgress && hrAbort.load() == S_FALSE)
        {
            CScopedBstr bstrService(L"svc"), bstrUrl(strUrl);
            hrRestart = pManager->DownloadSoftwareUpdate(bstrService, bstrUrl);
            hrAbort = pManager->AbortDownloading(bstrService);
        }
    });
    ASSERT_EQ(S_OK, Start(L"svc", "/slow.bin"));
    EXPECT_EQ(0x80042202u, static_cast<DWORD>(WaitForEnd()));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_POSSIBLE_DEADLOCK), hrRestart.load());
    EXPECT_EQ(S_OK, hrAbort.load());
    // The handler uses this body's locals: the component goes (and waits for its events) first.
    m_manager.Reset();
}

// Clients connect and disconnect on their thread while the worker raises events on its own.
TEST_F(DownloadManager, SinksComeAndGoWhileEventsAreRaised)
{
    SRouteBehaviour drip = Generated(1000000, 14);
    drip.dwDripMs = 5;
    drip.nDripBytes = 4096;
    m_server.SetRoute("/drip.bin", drip);
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(S_OK, m_manager.As(&container));
    ASSERT_EQ(S_OK, container->FindConnectionPoint(DIID__IZepSoftwareDownloadManagerEvents, &point));
    ASSERT_EQ(S_OK, Start(L"svc", "/drip.bin"));
    CEventSink others[4];
    LONG lStatus = 0, lResult = 0;
    int cRounds = 0;
    const DWORD dwStart = ::GetTickCount();
    while (!(lStatus == eMsgDownloadEnd && PathKnown()) && ::GetTickCount() - dwStart < 30000)
    {
        DWORD cookies[4] = {};
        for (size_t i = 0; i < 4; ++i)
            ASSERT_EQ(S_OK, point->Advise(&others[i], &cookies[i]));
        for (size_t i = 0; i < 4; ++i)
            ASSERT_EQ(S_OK, point->Unadvise(cookies[(i + cRounds) % 4]));
        ++cRounds;
        m_manager->GetDownloadStatus(&lStatus, &lResult);
    }
    EXPECT_EQ(0, lResult);
    EXPECT_GT(cRounds, 10);
    size_t cEvents = 0;
    for (CEventSink& sink : others)
    {
        EXPECT_EQ(1u, sink.m_cRef.load());
        cEvents += sink.Events().size();
    }
    EXPECT_GT(cEvents, 0u) << "no event met a connected sink";
}

// A link anywhere from the root down to the user's folder could send the package (or take a
// planted file) elsewhere: the download is refused and nothing reaches the link's target.
TEST_F(DownloadManager, ALinkInTheDownloadPathIsRefused)
{
    m_server.SetRoute("/f.bin", Generated(100, 4));
    const std::wstring strElsewhere = TestTempDir() + L"elsewhere";
    std::wstring strSid;
    ASSERT_EQ(S_OK, CurrentUserSidText(strSid));
    const struct
    {
        const char* pszName;
        std::wstring strLink;
    } kCases[] = {
        {"the root", m_strRoot},
        {"the service's folder", m_strRoot + L"\\svc"},
        {"the user's folder", m_strRoot + L"\\svc\\" + strSid},
    };
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(c.pszName);
        RemoveTree(m_strRoot);
        RemoveTree(strElsewhere);
        ASSERT_TRUE(::CreateDirectoryW(strElsewhere.c_str(), nullptr));
        for (std::wstring strLevel : {m_strRoot, m_strRoot + L"\\svc"})
        {
            if (strLevel.size() < c.strLink.size())
                ::CreateDirectoryW(strLevel.c_str(), nullptr);
        }
        if (!MakeFolderLink(c.strLink, strElsewhere))
            GTEST_SKIP() << "no folder link can be made here";

        ASSERT_EQ(S_OK, Start(L"svc", "/f.bin"));
        EXPECT_EQ(static_cast<LONG>(0x80044208), WaitForEnd());
        EXPECT_FALSE(PathKnown());
        EXPECT_EQ(L"", FolderEntries(strElsewhere)) << "written through the link";
    }
}

// Where the file system keeps access lists: the user's folder lets nobody else in.
TEST_F(DownloadManager, TheUsersFolderIsPrivate)
{
    if (!FoldersKeepAccessLists())
        GTEST_SKIP() << "this file system does not keep access lists (Wine derives them from Unix modes)";
    m_server.SetRoute("/f.bin", Generated(100, 4));
    ASSERT_EQ(S_OK, Start(L"svc", "/f.bin"));
    ASSERT_EQ(0, WaitForEnd());
    PSECURITY_DESCRIPTOR pSd = nullptr;
    ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
              ::GetNamedSecurityInfoW(UserFolder(L"svc").c_str(), SE_FILE_OBJECT,
                                      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                      nullptr, nullptr, &pSd));
    UniqueLocalMem sd(pSd);
    EXPECT_TRUE(IsPrivateFolderSecurity(pSd));
}
