#include "update/download/xhttp_downloader.h"

#include <process.h>

#include "common/scope_exit.h"
#include "update/download/download_file_name.h"
#include "update/download/download_log.h"
#include "update/download/proxy_discovery.h"

namespace
{
const wchar_t kDefaultAgentName[] = L"Download Manager";

void CloseInternetHandle(HINTERNET& hInternet)
{
    if (hInternet != nullptr)
    {
        // Nothing may call back into this object once its handles are gone.
        ::InternetSetStatusCallbackW(hInternet, nullptr);
        ::InternetCloseHandle(hInternet);
        hInternet = nullptr;
    }
}
}  // namespace

CXHttpDownloader::CXHttpDownloader(int nMode)
    : m_bNewThread(nMode == 1),
      m_bCancel(false),
      m_bBusy(false),
      m_bResume(false),
      m_bAccessOnly(FALSE),
      m_pfnCallback(nullptr),
      m_dwCallbackContext(0),
      m_hSession(nullptr),
      m_hConnection(nullptr),
      m_hRequest(nullptr),
      m_hrLastResult(S_OK),
      m_dwResumeOffset(0),
      m_dwContentLength(0),
      m_dwRequestFlags(0),
      m_dwThreadId(0),
      m_bEnded(false),
      m_bKeepFile(false),
      m_dwConnectTimeout(0),
      m_dwReceiveTimeout(0),
      m_dwRetryPauseMs(1000)
{
}

CXHttpDownloader::~CXHttpDownloader()
{
    // A transfer on its own thread uses this object until it ends.
    m_bCancel = true;
    WaitForWorker();
    CloseInternetHandles();
}

HRESULT CXHttpDownloader::Initialize(const wchar_t* pszAgentName, const wchar_t* pszProxy,
                                     const wchar_t* pszPostData)
{
    long hr = S_OK;
    CDownloadMethodLog log(L"CXHttpDownloader::Initialize", &hr);

    // The running transfer's handles are the ones this would close.
    if (!TryEnterTransfer())
    {
        log.ErrorPrintf(L"A transfer is running; Initialize refused.");
        hr = E_DL_BUSY;
        return hr;
    }
    auto leave = MakeScopeExit([this] { LeaveTransfer(); });
    WaitForWorker();
    CloseInternetHandles();
    m_strAgentName = (pszAgentName != nullptr && *pszAgentName != L'\0') ? pszAgentName : kDefaultAgentName;
    if (pszPostData != nullptr && *pszPostData != L'\0')
        m_strPostData = pszPostData;
    else
        m_strPostData.clear();

    if (pszProxy != nullptr && *pszProxy != L'\0')
    {
        m_hSession = ::InternetOpenW(m_strAgentName.c_str(), INTERNET_OPEN_TYPE_PROXY, pszProxy, nullptr, 0);
    }
    else
    {
        // The system does not know Firefox's own proxy setting, so it is read from its profile.
        std::wstring strFirefoxProxy;
        if (GetDefaultBrowser() == eBrowserFirefox && SUCCEEDED(GetFirefoxProxy(strFirefoxProxy)))
        {
            log.Printf(L"Firefox proxy %s", strFirefoxProxy.c_str());
            m_hSession = ::InternetOpenW(m_strAgentName.c_str(), INTERNET_OPEN_TYPE_PROXY, strFirefoxProxy.c_str(),
                                         nullptr, 0);
        }
        else
        {
            m_hSession = ::InternetOpenW(m_strAgentName.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        }
    }
    if (m_hSession == nullptr)
    {
        log.ErrorPrintf(L"InternetOpen() failed. %d", ::GetLastError());
        hr = E_UNEXPECTED;
        return hr;
    }
    ApplyTimeouts(m_hSession);

    hr = ::InternetSetStatusCallbackW(m_hSession, &CXHttpDownloader::OnHttpStatus) == INTERNET_INVALID_STATUS_CALLBACK
             ? S_FALSE
             : S_OK;
    return hr;
}

void CXHttpDownloader::SetCallback(PFN_XHTTP_DOWNLOAD_CALLBACK pfnCallback, DWORD_PTR dwContext)
{
    m_pfnCallback = pfnCallback;
    m_dwCallbackContext = dwContext;
}

void CXHttpDownloader::SetDownloadFolder(const wchar_t* pszFolder)
{
    if (pszFolder != nullptr && wcslen(pszFolder) > 2)
        m_strDownloadFolder = pszFolder;
}

void CXHttpDownloader::SetTimeouts(DWORD dwConnectMs, DWORD dwReceiveMs)
{
    m_dwConnectTimeout = dwConnectMs;
    m_dwReceiveTimeout = dwReceiveMs;
}

HRESULT CXHttpDownloader::ResolveTargetPath(const wchar_t* pszUrl, std::wstring& strFileName,
                                            std::wstring& strFullPath)
{
    long hr = S_OK;
    CDownloadMethodLog log(L"CXHttpDownloader::ResolveTargetPath", &hr);

    hr = DeriveDownloadFileName(pszUrl, strFileName);
    if (FAILED(hr))
    {
        log.ErrorPrintf(L"Invalid URL!");
        return hr;
    }

    std::wstring strFolder;
    if (m_strDownloadFolder.size() < 3)
    {
        wchar_t szTemp[MAX_PATH + 1] = {};
        const DWORD cch = ::GetTempPathW(MAX_PATH, szTemp);
        if (cch == 0 || cch >= MAX_PATH)
        {
            log.ErrorPrintf(L"Get tmp folder failed!");
            hr = E_FAIL;
            return hr;
        }
        strFolder = szTemp;
    }
    else
    {
        strFolder = m_strDownloadFolder;
        const DWORD dwAttributes = ::GetFileAttributesW(strFolder.c_str());
        if (dwAttributes == INVALID_FILE_ATTRIBUTES)
        {
            if (!::CreateDirectoryW(strFolder.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
            {
                log.ErrorPrintf(L"Create folder failed!");
                hr = E_DL_CREATE_FOLDER;
                return hr;
            }
        }
        else if ((dwAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        {
            log.ErrorPrintf(L"Create folder failed!");
            hr = E_DL_CREATE_FOLDER;
            return hr;
        }
    }
    if (strFolder.back() != L'\\')
        strFolder += L'\\';

    // A cut path would name another file; such a target cannot be written.
    if (strFolder.size() + strFileName.size() >= MAX_PATH)
    {
        log.ErrorPrintf(L"Path too long: %s%s", strFolder.c_str(), strFileName.c_str());
        hr = E_DL_BAD_TARGET;
        return hr;
    }
    strFullPath = strFolder + strFileName;
    return hr;
}

bool CXHttpDownloader::TryEnterTransfer()
{
    bool bExpected = false;
    return m_bBusy.compare_exchange_strong(bExpected, true);
}

HRESULT CXHttpDownloader::BeginRequest(const wchar_t* pszUrl, CDownloadMethodLog& log)
{
    // The previous worker has left the transfer but may still be on its way out.
    WaitForWorker();
    if (pszUrl == nullptr || *pszUrl == L'\0')
    {
        log.ErrorPrintf(L"URL is empty!!");
        return E_INVALIDARG;
    }
    m_strUrl = pszUrl;
    // What an earlier transfer kept never stands for this one's file.
    m_hKeptFile.Reset();
    return S_OK;
}

UniqueHandle CXHttpDownloader::TakeFile()
{
    if (m_bBusy)
        return UniqueHandle();
    return std::move(m_hKeptFile);
}

HRESULT CXHttpDownloader::Download(const wchar_t* pszUrl, DWORD dwResumeOffset)
{
    long hr = S_OK;
    CDownloadMethodLog log(L"CXHttpDownloader::Download", &hr);

    if (!TryEnterTransfer())
    {
        log.ErrorPrintf(L"A transfer is running; Download refused.");
        hr = E_DL_BUSY;
        return hr;
    }
    // Handed on to the transfer by StartTransfer; left here on every earlier way out.
    auto leave = MakeScopeExit([this] { LeaveTransfer(); });
    hr = BeginRequest(pszUrl, log);
    if (FAILED(hr))
        return hr;
    log.Printf(L"CXHttpDownloader::Download() URL = %s", pszUrl);

    // The name is derived afresh for every transfer, so one object can fetch several URLs.
    std::wstring strFileName, strFullPath;
    hr = ResolveTargetPath(pszUrl, strFileName, strFullPath);
    if (FAILED(hr))
        return hr;
    m_strFileName = strFileName;
    m_strFullPath = strFullPath;

    m_bResume = dwResumeOffset != 0;
    m_dwResumeOffset = dwResumeOffset;
    if (m_bResume)
        log.Printf(L"%s, Resuming Download.", m_strFullPath.c_str());

    log.Printf(L"Start downloading %s", m_strFullPath.c_str());
    const DWORD dwLastError = ::GetLastError();
    if (m_hConnection == nullptr && dwLastError != ERROR_IO_PENDING)
        log.Printf(L"Error %d encounterd.", dwLastError);

    m_bAccessOnly = FALSE;
    leave.Dismiss();
    hr = StartTransfer();
    return hr;
}

HRESULT CXHttpDownloader::AccessURL(const wchar_t* pszUrl)
{
    long hr = S_OK;
    CDownloadMethodLog log(L"CXHttpDownloader::AccessURL", &hr);

    if (!TryEnterTransfer())
    {
        log.ErrorPrintf(L"A transfer is running; AccessURL refused.");
        hr = E_DL_BUSY;
        return hr;
    }
    auto leave = MakeScopeExit([this] { LeaveTransfer(); });
    hr = BeginRequest(pszUrl, log);
    if (FAILED(hr))
        return hr;
    m_bResume = true;
    m_dwResumeOffset = 0;
    m_strFullPath.clear();
    m_bAccessOnly = TRUE;
    leave.Dismiss();
    hr = StartTransfer();
    return hr;
}

HRESULT CXHttpDownloader::StartTransfer()
{
    long hr = S_OK;
    CDownloadMethodLog log(L"CXHttpDownloader::StartTransfer", &hr);

    // Entered by the caller; left when the transfer has closed its handles.
    auto leave = MakeScopeExit([this] { LeaveTransfer(); });
    m_bEnded = false;
    m_dwContentLength = 0;
    if (!m_bNewThread)
    {
        log.Printf(L"Download on This Thread");
        hr = DownloadThread();
        return hr;
    }

    log.Printf(L"Download on New Thread");
    unsigned nThreadId = 0;
    const uintptr_t hThread = _beginthreadex(nullptr, 0, &CXHttpDownloader::ThreadEntry, this, 0, &nThreadId);
    if (hThread == 0)
    {
        log.ErrorPrintf(L"Cannot start the download thread. %d", ::GetLastError());
        hr = E_FAIL;
        return hr;
    }
    m_hThread.Reset(reinterpret_cast<HANDLE>(hThread));
    m_dwThreadId = nThreadId;
    leave.Dismiss();
    return hr;
}

unsigned __stdcall CXHttpDownloader::ThreadEntry(void* pParam)
{
    CXHttpDownloader* pThis = static_cast<CXHttpDownloader*>(pParam);
    const HRESULT hr = pThis->DownloadThread();
    pThis->LeaveTransfer();
    return static_cast<unsigned>(hr);
}

HRESULT CXHttpDownloader::DownloadThread()
{
    long hr = S_OK;
    CDownloadMethodLog log(L"CXHttpDownloader::DownloadThread", &hr);

    const HRESULT hrCom = ::CoInitialize(nullptr);
    log.Printf(L"Download Thread started");
    hr = DoDownload();
    if (SUCCEEDED(hrCom))
        ::CoUninitialize();
    return hr;
}

HRESULT CXHttpDownloader::DoDownload()
{
    long hr = S_OK;
    CDownloadMethodLog log(L"CXHttpDownloader::DoDownload", &hr);

    Notify(eMsgDownloadBegin, reinterpret_cast<DWORD_PTR>(m_strUrl.c_str()), eValueString);
    m_strRequestUrl = m_strUrl;
    if (FAILED(Connect()))
    {
        CloseInternetHandles();
        hr = m_hrLastResult;
        return hr;
    }
    bool bLengthKnown = false;
    if (SUCCEEDED(ReadHeader(bLengthKnown)))
    {
        if (m_bAccessOnly)
            EndTransfer(m_hrLastResult);
        else
            ReadFile(bLengthKnown);
    }

    CloseInternetHandles();
    hr = m_hrLastResult;
    return hr;
}

HRESULT CXHttpDownloader::GetDownloadPath(const wchar_t* pszUrl, wchar_t* pszBuffer, DWORD cchBuffer)
{
    long hr = S_OK;
    CDownloadMethodLog log(L"CXHttpDownloader::GetDownloadPath", &hr);

    if (pszBuffer == nullptr)
    {
        hr = E_POINTER;
        return hr;
    }
    if (pszUrl == nullptr || *pszUrl == L'\0')
    {
        log.ErrorPrintf(L"URL is empty!!");
        hr = E_INVALIDARG;
        return hr;
    }
    std::wstring strFileName, strFullPath;
    hr = ResolveTargetPath(pszUrl, strFileName, strFullPath);
    if (FAILED(hr))
        return hr;
    if (strFullPath.size() >= cchBuffer)
    {
        hr = E_FAIL;
        return hr;
    }
    wcscpy_s(pszBuffer, cchBuffer, strFullPath.c_str());
    return hr;
}

HRESULT CXHttpDownloader::GetFilePath(wchar_t* pszBuffer, DWORD cchBuffer)
{
    if (pszBuffer == nullptr)
        return E_POINTER;
    if (m_strFullPath.size() >= cchBuffer)
        return E_OUTOFMEMORY;
    wcscpy_s(pszBuffer, cchBuffer, m_strFullPath.c_str());
    return S_OK;
}

HRESULT CXHttpDownloader::Cancel()
{
    m_bCancel = true;
    return S_OK;
}

HRESULT CXHttpDownloader::ResetCancel()
{
    if (!TryEnterTransfer())
        return E_DL_BUSY;
    m_bCancel = false;
    LeaveTransfer();
    return S_OK;
}

void CXHttpDownloader::CloseHandles()
{
    if (!TryEnterTransfer())
        return;
    CloseInternetHandles();
    LeaveTransfer();
}

void CXHttpDownloader::CloseInternetHandles()
{
    CloseInternetHandle(m_hRequest);
    CloseInternetHandle(m_hConnection);
    CloseInternetHandle(m_hSession);
}

bool CXHttpDownloader::WaitForTransfer(DWORD dwTimeoutMs)
{
    if (!m_hThread)
        return true;
    // A status callback waiting for its own thread would wait for ever.
    if (::GetCurrentThreadId() == m_dwThreadId)
        return false;
    if (::WaitForSingleObject(m_hThread.Get(), dwTimeoutMs) != WAIT_OBJECT_0)
        return false;
    m_hThread.Reset();
    m_dwThreadId = 0;
    return true;
}

void CXHttpDownloader::WaitForWorker()
{
    // The callback may start the next step from the transfer thread itself.
    if (m_hThread && ::GetCurrentThreadId() != m_dwThreadId)
        WaitForTransfer(INFINITE);
}

HRESULT CXHttpDownloader::EndTransfer(HRESULT hrResult)
{
    m_hrLastResult = hrResult;
    Notify(eMsgDownloadEnd, static_cast<DWORD_PTR>(static_cast<DWORD>(hrResult)), eValueHResult);
    m_bEnded = true;
    return hrResult;
}

void CXHttpDownloader::Notify(DWORD dwCode, DWORD_PTR dwValue, DWORD dwKind)
{
    if (m_pfnCallback != nullptr)
        m_pfnCallback(m_dwCallbackContext, dwCode, dwValue, dwKind);
}

BOOL CXHttpDownloader::QueryFreeBytes(const wchar_t* pszFolder, ULARGE_INTEGER& freeBytes)
{
    return ::GetDiskFreeSpaceExW(pszFolder, &freeBytes, nullptr, nullptr);
}

void CXHttpDownloader::PauseBeforeRetry(DWORD dwMilliseconds)
{
    ::Sleep(dwMilliseconds);
}
