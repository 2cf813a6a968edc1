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
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
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
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
};

class CFakeGui : public CFakeDispatch<IZepAutoUpdateGUI>
{
public:
    CFakeGui();
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return QueryFor(riid, IID_IZepAutoUpdateGUI, ppv); }
    STDMETHODIMP SetParentRect(BSTR) override { return S_OK; }
    STDMETHODIMP SetDisplayLocationOfWindow(LONG_PTR, zepDisplayLocation) override { return S_OK; }
    STDMETHODIMP ShowUpdateConfirmationWindow(ZEP_UPDATED_INFO* pInfo, ULONG* pResult) override;
    STDMETHODIMP ShowDownloadProgressBar(BSTR) override;
    STDMETHODIMP IsDownloadCanceled(BSTR, LONG* p) override
    {
        *p = m_bUserClosesDownload ? 1 : 0;
        return S_OK;
    }
    STDMETHODIMP CloseDownloadProgressBar(BSTR) override;
    STDMETHODIMP ShowMarqueeProgressBar(BSTR, ULONG) override { return S_OK; }
    STDMETHODIMP CloseMarqueeProgressBar(BSTR) override { return S_OK; }
    STDMETHODIMP ShowMessagebyID(zepMessageID nID, ULONG, ULONG* p) override;
    STDMETHODIMP ShowErrorMessage(HRESULT hr) override;
    STDMETHODIMP SetDownloadProgress(BSTR, UINT) override { return S_OK; }
    STDMETHODIMP ShowCompleteMessage(BSTR, BSTR bstrAppName) override;
    STDMETHODIMP IsDownloadCancelIsSelected(BSTR, LONG* p) override
    {
        *p = 0;
        return S_OK;
    }
    STDMETHODIMP ShowUpdateProgressBar(BSTR) override;
    STDMETHODIMP SetUpdateProgress(BSTR, UINT) override { return S_OK; }
    STDMETHODIMP CloseUpdateProgressBar(BSTR) override;

    ULONG m_ulAnswer = 1;
    // The person closes the download window at once.
    bool m_bUserClosesDownload = false;
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
    STDMETHODIMP GetDownloadProgressPercentage(BSTR, ULONG* p) override
    {
        *p = 100;
        return S_OK;
    }
    STDMETHODIMP DownloadSoftwareUpdate(BSTR, BSTR bstrUrl) override;
    STDMETHODIMP AbortDownloading(BSTR) override
    {
        ++m_nAborted;
        return S_OK;
    }
    STDMETHODIMP GetDownloadedFilePath(BSTR, BSTR* p) override;
    STDMETHODIMP RemoveDownloadedFile(BSTR, BSTR) override
    {
        ++m_nRemoved;
        return S_OK;
    }
    STDMETHODIMP GetDownloadStatus(LONG* pStatus, LONG* pResult) override
    {
        *pStatus = 0;
        *pResult = m_hrResult;
        return S_OK;
    }
    STDMETHODIMP CheckDownloadedFile(BSTR bstrMac, LONG* p) override;

    std::wstring m_strPath;
    HRESULT m_hrResult = S_OK;
    bool m_bDigestOk = true;
    std::vector<std::wstring> m_urls;
    std::wstring m_strCheckedMac;
    int m_nRemoved = 0;
    int m_nAborted = 0;
};
