#pragma once
// The work behind the software download manager component: one package download at a time on
// a worker thread into the service's folder below the download root, its progress and outcome
// for polling callers, and the check of the downloaded file against its digest.
//
// The worker holds a reference to this object (and to the library), so a component that goes
// away while a transfer hangs never leaves the worker with freed memory: Shutdown detaches the
// component's event function, cancels and waits a bounded time, and the last reference ends the
// object wherever it is dropped.
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "common/critical_section.h"
#include "common/unique_resource.h"
#include "update/download/xhttp_downloader.h"

// Download results as the manager's callers see them (GetDownloadStatus, the worker's exit code).
#define ZEP_E_DOWNLOAD_LOCAL_FILE ((HRESULT)0x80044208L)
#define ZEP_E_DOWNLOAD_DISK_FULL ((HRESULT)0x80041210L)
#define ZEP_E_DOWNLOAD_SIZE ((HRESULT)0x80043208L)
#define ZEP_E_DOWNLOAD_SERVER ((HRESULT)0x80043302L)
#define ZEP_E_DOWNLOAD_TIMED_OUT ((HRESULT)0x80043202L)
#define ZEP_E_DOWNLOAD_NO_FILE ((HRESULT)0x80044207L)
#define ZEP_E_DOWNLOAD_ABORTED ((HRESULT)0x80042202L)

// The component's event function: (context, status code, size value, result).
typedef void (*PFN_ZEP_DOWNLOAD_EVENT)(void* pContext, int nType, DWORD dwSize, HRESULT hrResult);

class CZepSoftwareDownloadManagerImpl : public std::enable_shared_from_this<CZepSoftwareDownloadManagerImpl>
{
public:
    // strDownloadRoot empty: the machine's data folder. The root and every missing level above
    // it are created now.
    explicit CZepSoftwareDownloadManagerImpl(const std::wstring& strDownloadRoot = std::wstring());
    ~CZepSoftwareDownloadManagerImpl();
    CZepSoftwareDownloadManagerImpl(const CZepSoftwareDownloadManagerImpl&) = delete;
    CZepSoftwareDownloadManagerImpl& operator=(const CZepSoftwareDownloadManagerImpl&) = delete;

    void SetEventCallback(PFN_ZEP_DOWNLOAD_EVENT pfnEvent, void* pContext);
    // Called by the component as it goes: no event reaches it afterwards; a running worker is
    // cancelled and waited for up to dwWaitMs (not at all from the worker's own thread).
    void Shutdown(DWORD dwWaitMs);

    HRESULT GetDownloadProgressPercentage(ULONG* pPercentage) const;
    HRESULT DownloadSoftwareUpdate(BSTR bstrServiceID, BSTR bstrURL);
    HRESULT AbortDownloading();
    HRESULT GetDownloadedFilePath(BSTR* pFilePath);
    HRESULT RemoveDownloadedFile(BSTR bstrFilePath);
    HRESULT GetDownloadStatus(LONG* pStatus, LONG* pResult) const;
    HRESULT CheckDownloadedFile(BSTR bstrMac, LONG* pResult);

    const std::wstring& DownloadRoot() const noexcept { return m_strDownloadRoot; }
    // The caller's code for a downloader result; anything else passes unchanged.
    static HRESULT MapDownloadResult(HRESULT hr) noexcept;
    // Where a download resumes an existing partial file of this size: the last 64 KiB are always
    // fetched again.
    static DWORD ResumeOffset(ULONGLONG ullExistingSize) noexcept;
    // Received of total as a whole percentage, truncated; 0 while the total is unknown.
    static LONG Percentage(DWORD dwReceived, DWORD dwTotal) noexcept;

private:
    struct SWorkerStart;
    static DWORD WINAPI WorkerEntry(void* pParam);
    DWORD RunWorker();
    static long CALLBACK OnDownloadStatus(DWORD_PTR dwContext, DWORD dwCode, DWORD_PTR dwValue, DWORD dwKind);
    void HandleStatus(DWORD dwCode, DWORD_PTR dwValue);
    void FireEvent(DWORD dwCode, DWORD dwSize, HRESULT hrResult);
    // Cancels the running worker (if any) and waits for it; true when none runs any more.
    bool StopWorker(DWORD dwWaitMs);
    bool OnWorkerThread() const noexcept;

    // Start, abort and path queries.
    CXCriticalSection m_cs;
    // Serialises starts and the component's shutdown (held while waiting for a worker).
    CXCriticalSection m_csStart;
    // Held while an event is fired, so that the component's detachment waits for it.
    CXCriticalSection m_csEvent;
    CXHttpDownloader m_downloader;
    PFN_ZEP_DOWNLOAD_EVENT m_pfnEvent;
    void* m_pEventContext;
    std::wstring m_strServiceId;
    std::wstring m_strUrl;
    std::wstring m_strDownloadRoot;
    std::wstring m_strDownloadedPath;
    UniqueHandle m_hWorker;
    std::atomic<DWORD> m_dwWorkerId;
    // Ends the worker's pause before the transfer at once when the download is aborted.
    UniqueHandle m_hStopEvent;
    // Read by pollers without the lock.
    std::atomic<LONG> m_lDownloading;
    std::atomic<LONG> m_lPercentage;
    std::atomic<DWORD> m_dwTotalSize;
    std::atomic<LONG> m_lLastStatus;
    std::atomic<HRESULT> m_hrLastResult;
};
