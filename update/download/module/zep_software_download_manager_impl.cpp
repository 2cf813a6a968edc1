#include "update/download/module/zep_software_download_manager_impl.h"

#include <oleauto.h>

#include <vector>

#include "common/crypt_digest.h"
#include "common/folder_security.h"
#include "common/string_util.h"
#include "oplogsys/oplogsys.h"
#include "update/download/download_codes.h"
#include "update/download/user_download_folder.h"
#include "update/info/zep_backend_log.h"
#include "update/info/zep_update_info_manager_impl.h"

namespace
{
const wchar_t kAgentName[] = L"ZepSoftwareDownloadManagerImpl";
const size_t kMaxUrlChars = 4096;
// The server gets a moment to settle after the package list was fetched.
const DWORD kStartPauseMs = 1000;
// Bytes of a partial file fetched again when it is resumed.
const ULONGLONG kResumeOverlap = 65536;

std::wstring BstrText(BSTR bstr) { return bstr ? std::wstring(bstr, ::SysStringLen(bstr)) : std::wstring(); }

// Method tracing of the callback and the worker, under the library's subject.
class CManagerLog
{
public:
    CManagerLog(const wchar_t* pszMethod, long* plResult) noexcept
        : m_log(ZepBackendLibraryLog(), ZEP_BACKEND_LOG_SUBJECT, opLogSys::kMethodLevel, pszMethod, plResult)
    {
    }
    opLogSys::Fmt::CMethodLog<long> m_log;
};
}  // namespace

struct CZepSoftwareDownloadManagerImpl::SWorkerStart
{
    std::shared_ptr<CZepSoftwareDownloadManagerImpl> self;
    // The library stays loaded while the worker runs, even when its last object is gone.
    HMODULE hModule;
};

CZepSoftwareDownloadManagerImpl::CZepSoftwareDownloadManagerImpl(const std::wstring& strDownloadRoot)
    : m_downloader(0),
      m_pfnEvent(nullptr),
      m_pEventContext(nullptr),
      m_strDownloadRoot(strDownloadRoot.empty() ? CZepUpdateInfoManagerImpl::DefaultDataFolder() : strDownloadRoot),
      m_dwWorkerId(0),
      m_hStopEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_lDownloading(0),
      m_lPercentage(0),
      m_dwTotalSize(0),
      m_lLastStatus(0),
      m_hrLastResult(S_OK)
{
    // A root that cannot be made now is reported by the downloader when a download needs it.
    CreateFolderForAllUsers(m_strDownloadRoot);
}

CZepSoftwareDownloadManagerImpl::~CZepSoftwareDownloadManagerImpl() = default;

void CZepSoftwareDownloadManagerImpl::SetEventCallback(PFN_ZEP_DOWNLOAD_EVENT pfnEvent, void* pContext)
{
    CXLock lock(m_csEvent);
    m_pfnEvent = pfnEvent;
    m_pEventContext = pContext;
}

void CZepSoftwareDownloadManagerImpl::Shutdown(DWORD dwWaitMs)
{
    SetEventCallback(nullptr, nullptr);
    if (OnWorkerThread())
    {
        // A sink released the component from an event: the worker ends on its own.
        CXLock lock(m_cs);
        m_downloader.Cancel();
        ::SetEvent(m_hStopEvent.Get());
        return;
    }
    CXLock start(m_csStart);
    StopWorker(dwWaitMs);
}

bool CZepSoftwareDownloadManagerImpl::OnWorkerThread() const noexcept
{
    return m_dwWorkerId.load() != 0 && m_dwWorkerId.load() == ::GetCurrentThreadId();
}

bool CZepSoftwareDownloadManagerImpl::StopWorker(DWORD dwWaitMs)
{
    HANDLE hWorker = nullptr;
    {
        CXLock lock(m_cs);
        if (!m_hWorker)
            return true;
        hWorker = m_hWorker.Get();
        m_downloader.Cancel();
        ::SetEvent(m_hStopEvent.Get());
    }
    // Not under m_cs: the worker takes it at its end, and a sink may abort from an event.
    return ::WaitForSingleObject(hWorker, dwWaitMs) == WAIT_OBJECT_0;
}

HRESULT CZepSoftwareDownloadManagerImpl::MapDownloadResult(HRESULT hr) noexcept
{
    switch (hr)
    {
    case E_DL_BAD_TARGET:
    case E_DL_SEEK:
    case E_DL_WRITE:
    case E_DL_CREATE_FOLDER:
        return ZEP_E_DOWNLOAD_LOCAL_FILE;
    case E_DL_DISK_FULL:
        return ZEP_E_DOWNLOAD_DISK_FULL;
    case E_DL_LENGTH_MISMATCH:
        return ZEP_E_DOWNLOAD_SIZE;
    case E_DL_NETWORK:
    case E_DL_CERTIFICATE:
    case E_DL_AUTH_REQUIRED:
    case E_DL_HTTP_400:
    case E_DL_HTTP_500:
        return ZEP_E_DOWNLOAD_SERVER;
    case E_DL_TIMEOUT:
        return ZEP_E_DOWNLOAD_TIMED_OUT;
    case E_DL_HTTP_404:
        return ZEP_E_DOWNLOAD_NO_FILE;
    case E_DL_CANCELED:
        return ZEP_E_DOWNLOAD_ABORTED;
    default:
        return hr;
    }
}

DWORD CZepSoftwareDownloadManagerImpl::ResumeOffset(ULONGLONG ullExistingSize) noexcept
{
    if (ullExistingSize <= kResumeOverlap)
        return 0;
    const ULONGLONG ullOffset = ullExistingSize - kResumeOverlap;
    // The downloader counts in 32 bits; a file that big is not one of ours to resume.
    return ullOffset > 0xFFFFFFFFULL ? 0 : static_cast<DWORD>(ullOffset);
}

LONG CZepSoftwareDownloadManagerImpl::Percentage(DWORD dwReceived, DWORD dwTotal) noexcept
{
    if (dwTotal == 0)
        return 0;
    const double dPercent = static_cast<double>(dwReceived) / static_cast<double>(dwTotal) * 100.0;
    // A server that sends more than it announced still shows a full bar, not more.
    return dPercent >= 100.0 ? 100 : static_cast<LONG>(dPercent);
}

HRESULT CZepSoftwareDownloadManagerImpl::GetDownloadProgressPercentage(ULONG* pPercentage) const
{
    if (!pPercentage)
        return E_INVALIDARG;
    const LONG lPercentage = m_lPercentage.load();
    // The file may be complete, but the download is not over until the worker says so.
    *pPercentage = static_cast<ULONG>(lPercentage >= 100 && m_lDownloading.load() ? 99 : lPercentage);
    return S_OK;
}

HRESULT CZepSoftwareDownloadManagerImpl::DownloadSoftwareUpdate(BSTR bstrServiceID, BSTR bstrURL)
{
    // From an event on the worker itself: waiting for that worker could never end.
    if (OnWorkerThread())
        return HRESULT_FROM_WIN32(ERROR_POSSIBLE_DEADLOCK);
    const std::wstring strUrl = BstrText(bstrURL);
    // A cut URL would fetch some other file.
    if (strUrl.size() >= kMaxUrlChars)
        return E_INVALIDARG;
    const std::wstring strServiceId = BstrText(bstrServiceID);

    CXLock start(m_csStart);
    // One transfer at a time on the one downloader: the previous download gives way.
    StopWorker(INFINITE);

    CXLock lock(m_cs);
    m_strUrl = strUrl;
    m_strServiceId = strServiceId;
    m_hWorker.Reset();
    m_dwWorkerId = 0;
    HRESULT hr = m_downloader.ResetCancel();
    if (FAILED(hr))
        return hr;
    ::ResetEvent(m_hStopEvent.Get());
    m_lPercentage = 0;
    m_dwTotalSize = 0;
    m_lLastStatus = 0;
    m_hrLastResult = S_OK;

    std::unique_ptr<SWorkerStart> pStart(new SWorkerStart{shared_from_this(), nullptr});
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                              reinterpret_cast<LPCWSTR>(&CZepSoftwareDownloadManagerImpl::WorkerEntry),
                              &pStart->hModule))
        pStart->hModule = nullptr;
    // The flag is up before the caller can poll; the worker raises it again before it waits.
    m_lDownloading = 1;
    DWORD dwThreadId = 0;
    HANDLE hThread = ::CreateThread(nullptr, 0, &CZepSoftwareDownloadManagerImpl::WorkerEntry, pStart.get(), 0,
                                    &dwThreadId);
    if (!hThread)
    {
        const DWORD dwError = ::GetLastError();
        if (pStart->hModule)
            ::FreeLibrary(pStart->hModule);
        m_lDownloading = 0;
        return HRESULT_FROM_WIN32(dwError);
    }
    pStart.release();
    m_hWorker.Reset(hThread);
    m_dwWorkerId = dwThreadId;
    return S_OK;
}

DWORD WINAPI CZepSoftwareDownloadManagerImpl::WorkerEntry(void* pParam)
{
    HMODULE hModule = nullptr;
    DWORD dwExitCode = 0;
    {
        std::unique_ptr<SWorkerStart> pStart(static_cast<SWorkerStart*>(pParam));
        hModule = pStart->hModule;
        try
        {
            dwExitCode = pStart->self->RunWorker();
        }
        catch (...)
        {
            dwExitCode = static_cast<DWORD>(E_UNEXPECTED);
        }
        // The last reference may go here, when the component has already gone.
    }
    if (hModule)
        ::FreeLibraryAndExitThread(hModule, dwExitCode);
    return dwExitCode;
}

DWORD CZepSoftwareDownloadManagerImpl::RunWorker()
{
    long hr = S_OK;
    CManagerLog log(L"CZepSoftwareDownloadManagerImpl::DownloadThread", &hr);
    std::wstring strUrl;
    std::wstring strServiceFolderName;
    {
        CXLock lock(m_cs);
        strUrl = m_strUrl;
        strServiceFolderName = CZepUpdateInfoManagerImpl::ServiceFolderName(m_strServiceId);
    }
    m_downloader.SetCallback(&CZepSoftwareDownloadManagerImpl::OnDownloadStatus, reinterpret_cast<DWORD_PTR>(this));
    hr = m_downloader.Initialize(kAgentName, nullptr, nullptr);
    if (FAILED(hr))
    {
        // Pollers learn of it like of any other failed download.
        m_hrLastResult = hr;
        log.m_log.ErrorPrintf(L"Initialize failed 0x%08X", static_cast<unsigned>(hr));
        return static_cast<DWORD>(MapDownloadResult(hr));
    }
    // Held until the worker ends: the package is written and checked where nobody else can reach.
    CUserDownloadFolder folder;
    hr = folder.Open(m_strDownloadRoot, strServiceFolderName);
    if (FAILED(hr))
    {
        log.m_log.ErrorPrintf(L"Download folder refused 0x%08X", static_cast<unsigned>(hr));
        // Ended like any download that could not write its file, events included.
        HandleStatus(eMsgDownloadEnd, static_cast<DWORD_PTR>(static_cast<DWORD>(E_DL_CREATE_FOLDER)));
        return static_cast<DWORD>(MapDownloadResult(E_DL_CREATE_FOLDER));
    }
    m_downloader.SetDownloadFolder(folder.Path().c_str());

    m_lDownloading = 1;
    ::WaitForSingleObject(m_hStopEvent.Get(), kStartPauseMs);

    DWORD dwResumeOffset = 0;
    wchar_t szPath[MAX_PATH] = {};
    if (SUCCEEDED(m_downloader.GetDownloadPath(strUrl.c_str(), szPath, MAX_PATH)))
    {
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        if (::GetFileAttributesExW(szPath, GetFileExInfoStandard, &data) &&
            !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            dwResumeOffset =
                ResumeOffset((static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
    }
    log.m_log.Printf(L"Download %s from %lu", strUrl.c_str(), dwResumeOffset);

    hr = m_downloader.Download(strUrl.c_str(), dwResumeOffset);
    // Also a refusal before any transfer began (no eMsgDownloadEnd then).
    m_hrLastResult = hr;
    if (FAILED(hr))
    {
        m_downloader.CloseHandles();
        return static_cast<DWORD>(MapDownloadResult(hr));
    }
    szPath[0] = L'\0';
    m_downloader.GetFilePath(szPath, MAX_PATH);
    m_downloader.CloseHandles();
    // A file of unknown size never had a share to count; once it is complete it is all there,
    // and a poller waiting for 100 must not wait for ever.
    m_lPercentage = 100;
    {
        CXLock lock(m_cs);
        m_strDownloadedPath = szPath;
    }
    m_lDownloading = 0;
    return 0;
}

long CALLBACK CZepSoftwareDownloadManagerImpl::OnDownloadStatus(DWORD_PTR dwContext, DWORD dwCode,
                                                               DWORD_PTR dwValue, DWORD)
{
    auto* pThis = reinterpret_cast<CZepSoftwareDownloadManagerImpl*>(dwContext);
    try
    {
        pThis->HandleStatus(dwCode, dwValue);
    }
    catch (...)
    {
    }
    return 0;
}

void CZepSoftwareDownloadManagerImpl::HandleStatus(DWORD dwCode, DWORD_PTR dwValue)
{
    CManagerLog scope(L"Callback", nullptr);
    opLogSys::Fmt::CMethodLog<long>& log = scope.m_log;
    m_lLastStatus = static_cast<LONG>(dwCode);
    const DWORD dwNumber = static_cast<DWORD>(dwValue);
    DWORD dwSize = 0;
    HRESULT hrResult = S_OK;
    switch (dwCode)
    {
    case eMsgDownloadSize:
        log.Printf(L"eMsgDownloadSize %d(%dKB)\r\n", dwNumber, dwNumber / 1024);
        m_dwTotalSize = dwNumber;
        m_lPercentage = 0;
        dwSize = dwNumber;
        break;
    case eMsgResolvingName:
        log.Printf(L"eMsgResolvingName\r\n");
        break;
    case eMsgNameResolved:
        log.Printf(L"eMsgNameResolved\r\n");
        break;
    case eMsgConnectingServer:
        log.Printf(L"eMsgConnectingServer\r\n");
        break;
    case eMsgConnectedToServer:
        log.Printf(L"eMsgConnectedToServer\r\n");
        break;
    case eMsgSendingRequest:
        log.Printf(L"eMsgSendingRequest\r\n");
        break;
    case eMsgHttpStatus:
        break;
    case eMsgRequestSent:
        log.Printf(L"eMsgRequestSent\r\n");
        break;
    case eMsgClosingConnection:
        log.Printf(L"eMsgClosingConnection\r\n");
        break;
    case eMsgConnectionClosed:
        log.Printf(L"eMsgConnectionClosed\r\n");
        break;
    case eMsgDetectingProxy:
        log.Printf(L"eMsgDetectingProxy\r\n");
        break;
    case eMsgDownloadBegin:
        log.Printf(L"eMsgDownloadBegin URL=%s\r\n", dwValue ? reinterpret_cast<const wchar_t*>(dwValue) : L"");
        break;
    case eMsgDownloadProgress:
    {
        const DWORD dwTotal = m_dwTotalSize.load();
        if (dwTotal == 0)
        {
            log.Printf(L"eMsgDownloadProgress %d(%dKB)\r", dwNumber, dwNumber / 1024);
        }
        else
        {
            log.Printf(L"eMsgDownloadProgress %d(%dKB)/%d(%dKB)\r", dwNumber, dwNumber / 1024, dwTotal,
                       dwTotal / 1024);
            m_lPercentage = Percentage(dwNumber, dwTotal);
        }
        dwSize = dwNumber;
        break;
    }
    case eMsgDownloadEnd:
        hrResult = static_cast<HRESULT>(dwNumber);
        m_hrLastResult = hrResult;
        log.Printf(L"eMsgDownloadEnd HRESULT=0x%08X \r\n", static_cast<unsigned>(hrResult));
        break;
    default:
        break;
    }
    FireEvent(dwCode, dwSize, hrResult);
}

void CZepSoftwareDownloadManagerImpl::FireEvent(DWORD dwCode, DWORD dwSize, HRESULT hrResult)
{
    CXLock lock(m_csEvent);
    if (m_pfnEvent)
        m_pfnEvent(m_pEventContext, static_cast<int>(dwCode), dwSize, hrResult);
}

HRESULT CZepSoftwareDownloadManagerImpl::AbortDownloading()
{
    CXLock lock(m_cs);
    if (!m_lDownloading.load())
        return S_FALSE;
    m_downloader.Cancel();
    ::SetEvent(m_hStopEvent.Get());
    return S_OK;
}

HRESULT CZepSoftwareDownloadManagerImpl::GetDownloadedFilePath(BSTR* pFilePath)
{
    if (!pFilePath)
        return E_POINTER;
    *pFilePath = nullptr;
    CXLock lock(m_cs);
    if (m_strDownloadedPath.empty())
        return E_FAIL;
    *pFilePath = ::SysAllocStringLen(m_strDownloadedPath.c_str(), static_cast<UINT>(m_strDownloadedPath.size()));
    return *pFilePath ? S_OK : E_OUTOFMEMORY;
}

HRESULT CZepSoftwareDownloadManagerImpl::RemoveDownloadedFile(BSTR bstrFilePath)
{
    if (!bstrFilePath)
        return E_FAIL;
    CXLock lock(m_cs);
    if (m_strDownloadedPath.empty())
        return E_FAIL;
    if (!::DeleteFileW(m_strDownloadedPath.c_str()))
        return E_FAIL;
    const size_t nSlash = m_strDownloadedPath.find_last_of(L"\\/");
    if (nSlash != std::wstring::npos)
    {
        // Refused while anything else is left in it, which is what we want.
        ::RemoveDirectoryW(m_strDownloadedPath.substr(0, nSlash).c_str());
    }
    return S_OK;
}

HRESULT CZepSoftwareDownloadManagerImpl::GetDownloadStatus(LONG* pStatus, LONG* pResult) const
{
    if (!pStatus || !pResult)
        return E_POINTER;
    *pStatus = m_lLastStatus.load();
    *pResult = MapDownloadResult(m_hrLastResult.load());
    return S_OK;
}

HRESULT CZepSoftwareDownloadManagerImpl::CheckDownloadedFile(BSTR bstrMac, LONG* pResult)
{
    if (!pResult)
        return E_POINTER;
    *pResult = 0;
    // An empty MAC vouches for no content: nothing matches it.
    const std::wstring strMac = BstrText(bstrMac);
    if (strMac.empty())
        return S_OK;
    std::wstring strPath;
    {
        CXLock lock(m_cs);
        strPath = m_strDownloadedPath;
    }
    const DWORD dwAttributes = strPath.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(strPath.c_str());
    if (dwAttributes == INVALID_FILE_ATTRIBUTES || (dwAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return S_OK;
    UniqueHandle hFile(::CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    std::wstring strDigest;
    if (hFile && SUCCEEDED(FileDigestHex(hFile.Get(), PackageMacAlgorithm(strMac.size()), strDigest)) &&
        strDigest == strMac)
        *pResult = 1;
    return S_OK;
}
