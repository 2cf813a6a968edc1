#pragma once
// Fetches one file over HTTP or HTTPS with WinINet (synchronous calls): resumption of a
// partial file, a free-space check, cancellation from another thread and numbered status
// notifications to one callback.
//
// One transfer at a time: from the start of Download or AccessURL until its handles are closed
// (the transfer's thread in new-thread mode, the call itself otherwise, status callbacks
// included), Initialize, Download, AccessURL and ResetCancel return E_DL_BUSY and change
// nothing, and CloseHandles leaves the transfer's handles alone. In new-thread mode the owner
// waits with WaitForTransfer before it starts the next transfer.
//
// Cancelling: Cancel sets a flag that stays set until the owner calls ResetCancel; no transfer
// clears it by itself, so a Cancel that arrives before the transfer has started (between
// Initialize and Download, or before Initialize) is not lost. The owner calls ResetCancel when
// it decides to start a new piece of work, under the same lock as its own abort method:
//     ResetCancel();                       // the owner's "start" (its abort calls Cancel)
//     Initialize(...); SetDownloadFolder(...); Download(...);   // E_DL_CANCELED if aborted
#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <string>

#include "common/unique_resource.h"
#include "update/download/download_codes.h"

class CDownloadMethodLog;

class CXHttpDownloader
{
public:
    // nMode 1: every transfer runs on a thread of its own; anything else: on the caller's thread.
    explicit CXHttpDownloader(int nMode);
    virtual ~CXHttpDownloader();
    CXHttpDownloader(const CXHttpDownloader&) = delete;
    CXHttpDownloader& operator=(const CXHttpDownloader&) = delete;

    // Opens a fresh session; needed before every transfer, because each transfer closes all
    // handles at its end. S_OK, S_FALSE when WinINet refused the status callback, E_UNEXPECTED
    // when no session could be opened.
    HRESULT Initialize(const wchar_t* pszAgentName, const wchar_t* pszProxy, const wchar_t* pszPostData);
    void SetCallback(PFN_XHTTP_DOWNLOAD_CALLBACK pfnCallback, DWORD_PTR dwContext);
    // Kept only when longer than 2 characters (a bare drive is ignored).
    void SetDownloadFolder(const wchar_t* pszFolder);

    // Transfers the URL's body into the download folder, from dwResumeOffset when non-zero.
    HRESULT Download(const wchar_t* pszUrl, DWORD dwResumeOffset);
    // Sends the request and reads the response headers only.
    HRESULT AccessURL(const wchar_t* pszUrl);
    // The path Download would write for the URL, without network access (creates the folder).
    HRESULT GetDownloadPath(const wchar_t* pszUrl, wchar_t* pszBuffer, DWORD cchBuffer);
    // Whether Download keeps the file it wrote open (for reading and writing, shared with
    // nobody for writing or deleting) until TakeFile, so that its owner reads what was
    // received, not what a path names later.
    void SetKeepFile(bool bKeep) { m_bKeepFile = bKeep; }
    // The kept file of the last Download when it succeeded; empty otherwise, and while a
    // transfer runs.
    UniqueHandle TakeFile();
    // The full path of the last transfer.
    HRESULT GetFilePath(wchar_t* pszBuffer, DWORD cchBuffer);
    // Seen by the transfer at its next check (before sending, while reading headers, before the
    // file is opened, between blocks). Stays set until ResetCancel.
    HRESULT Cancel();
    // Clears the cancel flag for the next transfer; E_DL_BUSY (flag unchanged) while one runs.
    HRESULT ResetCancel();
    // Closes the session's handles; does nothing while a transfer runs.
    void CloseHandles();

    // Waits for a transfer running on its own thread; true when none is running any more.
    // From that thread itself (a status callback) false at once.
    bool WaitForTransfer(DWORD dwTimeoutMs);
    // Session time-outs in milliseconds; 0 keeps WinINet's own. Applied by the next Initialize.
    void SetTimeouts(DWORD dwConnectMs, DWORD dwReceiveMs);
    // The pause between two attempts to send the request (1000 ms unless set).
    void SetRetryPause(DWORD dwMilliseconds) { m_dwRetryPauseMs = dwMilliseconds; }
    HRESULT GetLastResult() const { return m_hrLastResult; }

    // How a failed request send is judged: the transfer's result, and whether another attempt
    // may help (a time-out ends the attempts at once).
    static HRESULT SendFailureResult(DWORD dwError);
    static bool IsSendRetriable(DWORD dwError) { return dwError != ERROR_INTERNET_TIMEOUT; }

protected:
    // Free bytes available to the caller on the folder's volume.
    virtual BOOL QueryFreeBytes(const wchar_t* pszFolder, ULARGE_INTEGER& freeBytes);
    // The pause between two attempts to send the request.
    virtual void PauseBeforeRetry(DWORD dwMilliseconds);

private:
    // Marks a transfer (or Initialize) as running; false when one already runs.
    bool TryEnterTransfer();
    void LeaveTransfer() { m_bBusy = false; }
    // Waits for an earlier transfer's worker and takes the URL of the next one (E_INVALIDARG: none).
    HRESULT BeginRequest(const wchar_t* pszUrl, CDownloadMethodLog& log);
    HRESULT ResolveTargetPath(const wchar_t* pszUrl, std::wstring& strFileName, std::wstring& strFullPath);
    HRESULT StartTransfer();
    static unsigned __stdcall ThreadEntry(void* pParam);
    HRESULT DownloadThread();
    HRESULT DoDownload();
    HRESULT Connect();
    // Opens (again) the request for the connection; ends the transfer when that fails.
    HRESULT OpenRequest();
    HRESULT ReadHeader(bool& bLengthKnown);
    // Sends the request (with a Range from the resume offset) and reads the status code.
    HRESULT SendRequest(DWORD& dwStatusCode);
    // Connects to the location of a redirect answer (at most a few per transfer, HTTP and
    // HTTPS only); ends the transfer when it cannot.
    HRESULT FollowRedirect(DWORD nRedirect);
    HRESULT QueryLength(DWORD dwStatusCode, bool& bLengthKnown);
    // Whether no other Content-Length of the answer names another length.
    bool IsOnlyLength(ULONGLONG ullLength);
    HRESULT ReadFile(bool bLengthKnown);
    HRESULT WriteBlock(const BYTE* pData, DWORD cbData);
    HRESULT ValidDiscFreeSpace();
    void ApplyTimeouts(HINTERNET hInternet);
    HRESULT EndTransfer(HRESULT hrResult);
    void Notify(DWORD dwCode, DWORD_PTR dwValue, DWORD dwKind);
    void WaitForWorker();
    void CloseInternetHandles();
    static void CALLBACK OnHttpStatus(HINTERNET hInternet, DWORD_PTR dwContext, DWORD dwStatus, LPVOID pInfo,
                                      DWORD dwInfoLength);
    void HandleHttpStatus(DWORD dwStatus, DWORD dwInfoLength);

    bool m_bNewThread;
    std::atomic<bool> m_bCancel;
    // A transfer runs (or Initialize does): see the class comment.
    std::atomic<bool> m_bBusy;
    bool m_bResume;
    BOOL m_bAccessOnly;
    PFN_XHTTP_DOWNLOAD_CALLBACK m_pfnCallback;
    DWORD_PTR m_dwCallbackContext;
    HINTERNET m_hSession;
    HINTERNET m_hConnection;
    HINTERNET m_hRequest;
    HRESULT m_hrLastResult;
    DWORD m_dwResumeOffset;
    DWORD m_dwContentLength;
    UniqueHandle m_hFile;
    std::wstring m_strPostData;
    std::wstring m_strUrl;
    // Where the request goes: the URL, or the location a redirect named.
    std::wstring m_strRequestUrl;
    // What Connect opens the request with, kept for a request that must be sent again.
    std::wstring m_strObject;
    DWORD m_dwRequestFlags;
    std::wstring m_strFileName;
    std::wstring m_strAgentName;
    std::wstring m_strDownloadFolder;
    std::wstring m_strFullPath;
    UniqueHandle m_hThread;
    unsigned m_dwThreadId;

    // Whether eMsgDownloadEnd went out: WinINet's late connection notifications stay behind it.
    bool m_bEnded;
    bool m_bKeepFile;
    UniqueHandle m_hKeptFile;
    DWORD m_dwConnectTimeout;
    DWORD m_dwReceiveTimeout;
    DWORD m_dwRetryPauseMs;
};
