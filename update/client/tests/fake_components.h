#pragma once
// Components of the update client that a test steers: the GUI answers as a person would, the
// information manager reports what the test says, the download manager "downloads" a file the
// test wrote. They live in the test's fixture; their reference counts do not own them.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "common/connection_point.h"
#include "common/unique_resource.h"
#include "zep_backend_library.h"
#include "zep_gui_library.h"

template <class I>
class CFakeDispatch : public I
{
public:
    // Counted but not owning: the fixture owns the fake.
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&m_lRefs)); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(::InterlockedDecrement(&m_lRefs)); }
    STDMETHODIMP GetTypeInfoCount(UINT* p) override
    {
        *p = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

protected:
    HRESULT QueryFor(REFIID riid, REFIID iidOwn, void** ppv)
    {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == iidOwn)
        {
            *ppv = static_cast<I*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    volatile LONG m_lRefs = 0;
};

class CFakeGui : public CFakeDispatch<IZepAutoUpdateGUI>
{
public:
    CFakeGui();
    ~CFakeGui();
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return QueryFor(riid, IID_IZepAutoUpdateGUI, ppv); }
    STDMETHODIMP SetParentRect(BSTR) override { return S_OK; }
    STDMETHODIMP SetDisplayLocationOfWindow(LONG_PTR, zepDisplayLocation) override { return S_OK; }
    STDMETHODIMP ShowUpdateConfirmationWindow(ZEP_UPDATED_INFO* pInfo, ULONG* pResult) override;
    STDMETHODIMP ShowDownloadProgressBar(BSTR) override;
    STDMETHODIMP IsDownloadCanceled(BSTR, LONG* p) override
    {
        *p = m_bUserClosesDownload || m_bCanceledByAnswer ? 1 : 0;
        return S_OK;
    }
    STDMETHODIMP CloseDownloadProgressBar(BSTR) override;
    STDMETHODIMP ShowMarqueeProgressBar(BSTR, ULONG) override { return S_OK; }
    STDMETHODIMP CloseMarqueeProgressBar(BSTR) override { return S_OK; }
    STDMETHODIMP ShowMessagebyID(zepMessageID nID, ULONG, ULONG* p) override;
    STDMETHODIMP ShowErrorMessage(HRESULT hr) override;
    STDMETHODIMP SetDownloadProgress(BSTR bstrService, UINT nPercent) override;
    STDMETHODIMP ShowCompleteMessage(BSTR, BSTR bstrAppName) override;
    STDMETHODIMP IsDownloadCancelIsSelected(BSTR, LONG* p) override;
    STDMETHODIMP ShowUpdateProgressBar(BSTR) override;
    STDMETHODIMP SetUpdateProgress(BSTR bstrService, UINT nPercent) override;
    STDMETHODIMP CloseUpdateProgressBar(BSTR) override;

    // Calls that reach the GUI while the client holds no reference to it, or with a service
    // other than the one shown.
    LONG References() const { return m_lRefs; }
    int m_nStrayCalls = 0;
    std::wstring m_strService = L"TVK";

    ULONG m_ulAnswer = 1;
    // The person closes the download window at once (or once m_hCloseWhen is set).
    bool m_bUserClosesDownload = false;
    HANDLE m_hCloseWhen = nullptr;
    // The person presses Cancel at this poll of the monitor (0: never); the question stays open
    // for m_nQuestionPolls polls, then Yes (m_bAnswerYes: the window closes, canceled) or No.
    int m_nCancelAtPoll = 0;
    int m_nQuestionPolls = 0;
    bool m_bAnswerYes = false;
    // How long a show call takes before its window exists (the library loads its resources).
    DWORD m_dwShowDelayMs = 0;
    // What reached the windows, and when (tick count).
    std::vector<UINT> m_downloadProgress;
    std::vector<std::pair<ULONGLONG, UINT>> m_updateProgress;
    std::vector<ULONGLONG> m_questionPolls;
    int m_nWindowsLeftOpen = 0;
    std::function<void()> m_onConfirm;
    int m_nConfirmations = 0;
    std::wstring m_strConfirmedApp;
    ULONG m_dwConfirmedSize = 0;
    LONG m_bConfirmedFirmware = 0;
    LONG m_bConfirmedInfoOnly = 0;
    std::vector<HRESULT> m_errors;
    int m_nNoUpdateMessages = 0;
    std::vector<std::wstring> m_completed;
    int m_nDownloadWindows = 0;
    int m_nUpdateWindows = 0;

private:
    // As the real library: a close is kept from the moment the show call has begun (the window
    // may not exist yet); before that and after it there is no window and the close is lost.
    HRESULT ShowModal(HANDLE hClosed, DWORD dwTimeoutMs);
    HRESULT Close(HANDLE hClosed);
    void CountStray(BSTR bstrService);

    CRITICAL_SECTION m_cs;
    bool m_bWindowOpen = false;
    int m_nPolls = 0;
    volatile LONG m_bCanceledByAnswer = 0;
    UniqueHandle m_downloadClosed;
    UniqueHandle m_updateClosed;
};

class CFakeInfoManager : public CFakeDispatch<IZepUpdateInfoManager>, public CConnectionPointContainer
{
public:
    CFakeInfoManager();
    ~CFakeInfoManager();
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SetUpdateCheckingMode(BSTR, zepUpdateCheckMode eMode) override
    {
        m_eMode = eMode;
        return S_OK;
    }
    STDMETHODIMP GetUpdateCheckingMode(BSTR, zepUpdateCheckMode* p) override
    {
        *p = m_eMode;
        return S_OK;
    }
    STDMETHODIMP CheckWhetherUpdateExists(BSTR bstrService, ZEP_CURRENT_VERSION_INFO* pCurrent, LONG* pResult) override;
    STDMETHODIMP GetUpdateDetails(BSTR, ZEP_NEW_VERSION_INFO* pInfo) override;
    STDMETHODIMP GetVersionOfUpdatedSoftware(BSTR, BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP SendUpdateResult(BSTR bstrService, ZEP_UPDATED_RESULT* pInfo) override;
    STDMETHODIMP Terminate() override { return S_OK; }
    STDMETHODIMP SetBaseURL(BSTR bstrUrl) override;

    // The rule question as the real manager asks it: 0 holds, 1 does not, negative error.
    LONG AskCheckVersion(int nRule, const wchar_t* pszRuleValue, const wchar_t* pszCurrent);
    size_t SinkCount() const { return m_events.SinkCount(); }

    // What the next check answers.
    HRESULT m_hrCheck = S_OK;
    LONG m_lExists = 1;
    std::wstring m_strNewVersion = L"2.0.0.0";
    std::wstring m_strUrl = L"http://127.0.0.1/pkg.exe";
    std::wstring m_strMac = L"mac";
    ULONG m_dwSize = 0;
    LONG m_bServerPolling = 0;
    zepUpdateCheckMode m_eCheckMode = eAUTO;

    // What it was told.
    zepUpdateCheckMode m_eMode = eAUTO;
    int m_nChecks = 0;
    std::vector<std::wstring> m_checkedServices;
    std::wstring m_strModel, m_strVersion, m_strSerial, m_strLastStatus, m_strBaseUrl;
    std::vector<std::pair<std::wstring, int>> m_results;
    // The client's answers during the last check to: 1.0.0.0 < 2.0.0.0 (holds), 1.0.0.0 >
    // 2.0.0.0 (does not), 1.0.0.0 == "x" (malformed).
    LONG m_checkAnswers[3] = {};

private:
    CConnectionPoint m_events;
};

class CFakeDownloadManager : public CFakeDispatch<IZepSoftwareDownloadManager>
{
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        return QueryFor(riid, IID_IZepSoftwareDownloadManager, ppv);
    }
    STDMETHODIMP GetDownloadProgressPercentage(BSTR, ULONG* p) override;
    STDMETHODIMP DownloadSoftwareUpdate(BSTR, BSTR bstrUrl) override;
    STDMETHODIMP AbortDownloading(BSTR) override;
    STDMETHODIMP GetDownloadedFilePath(BSTR, BSTR* p) override;
    STDMETHODIMP RemoveDownloadedFile(BSTR, BSTR) override
    {
        ++m_nRemoved;
        return S_OK;
    }
    STDMETHODIMP GetDownloadStatus(LONG* pStatus, LONG* pResult) override;
    STDMETHODIMP CheckDownloadedFile(BSTR bstrMac, LONG* p) override;
    // A new client run polls the scripts from their start.
    void NewRun()
    {
        m_nPercentPolls = 0;
        m_nCanceledPollsLeft = 0;
    }

    std::wstring m_strPath;
    HRESULT m_hrResult = S_OK;
    // The percentages of successive polls; the last one stays.
    std::vector<ULONG> m_percentages{100};
    // After an abort, this many status polls still report the canceled transfer (0x80042202).
    int m_nCanceledPollsAfterAbort = 0;
    // A poll of the percentage waits for this event (the transfer stalls) when it is set.
    HANDLE m_hStall = nullptr;
    HANDLE m_hStalled = nullptr;  // set as a poll begins to wait
    bool m_bDigestOk = true;
    std::vector<std::wstring> m_urls;
    std::wstring m_strCheckedMac;
    int m_nRemoved = 0;
    int m_nAborted = 0;

private:
    size_t m_nPercentPolls = 0;
    int m_nCanceledPollsLeft = 0;
};

// A process standing for a started installer: the test installer, holding on until the test
// ends it (60 s at most).
UniqueHandle StartHoldingInstaller();
