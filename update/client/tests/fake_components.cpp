#include "update/client/tests/fake_components.h"

namespace
{
BSTR Copy(const std::wstring& str)
{
    return ::SysAllocStringLen(str.data(), static_cast<UINT>(str.size()));
}
std::wstring Text(BSTR bstr)
{
    return bstr ? std::wstring(bstr, ::SysStringLen(bstr)) : std::wstring();
}
}  // namespace

CFakeGui::CFakeGui()
    : m_downloadClosed(::CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      m_updateClosed(::CreateEventW(nullptr, FALSE, FALSE, nullptr))
{
}

STDMETHODIMP CFakeGui::ShowUpdateConfirmationWindow(ZEP_UPDATED_INFO* pInfo, ULONG* pResult)
{
    ++m_nConfirmations;
    m_strConfirmedApp = Text(pInfo->m_bstrAppName);
    m_dwConfirmedSize = pInfo->m_dwSize;
    m_bConfirmedFirmware = pInfo->m_bFirmware;
    m_bConfirmedInfoOnly = pInfo->m_bInfoOnly;
    *pResult = m_ulAnswer;
    if (m_onConfirm)
        m_onConfirm();
    return S_OK;
}

STDMETHODIMP CFakeGui::ShowDownloadProgressBar(BSTR)
{
    ++m_nDownloadWindows;
    if (m_bUserClosesDownload)
        return S_OK;
    // Modal until the client's monitor closes it.
    return ::WaitForSingleObject(m_downloadClosed.Get(), 20000) == WAIT_OBJECT_0 ? S_OK : E_FAIL;
}

STDMETHODIMP CFakeGui::CloseDownloadProgressBar(BSTR)
{
    ::SetEvent(m_downloadClosed.Get());
    return S_OK;
}

STDMETHODIMP CFakeGui::ShowMessagebyID(zepMessageID nID, ULONG, ULONG* p)
{
    if (nID == eNoUpdate)
        ++m_nNoUpdateMessages;
    *p = IDOK;
    return S_OK;
}

STDMETHODIMP CFakeGui::ShowErrorMessage(HRESULT hr)
{
    m_errors.push_back(hr);
    return S_OK;
}

STDMETHODIMP CFakeGui::ShowCompleteMessage(BSTR, BSTR bstrAppName)
{
    m_completed.push_back(Text(bstrAppName));
    return S_OK;
}

STDMETHODIMP CFakeGui::ShowUpdateProgressBar(BSTR)
{
    ++m_nUpdateWindows;
    return ::WaitForSingleObject(m_updateClosed.Get(), 60000) == WAIT_OBJECT_0 ? S_OK : E_FAIL;
}

STDMETHODIMP CFakeGui::CloseUpdateProgressBar(BSTR)
{
    ::SetEvent(m_updateClosed.Get());
    return S_OK;
}

CFakeInfoManager::CFakeInfoManager() : m_events(this, DIID__IZepUpdateInfoManagerEvents)
{
    AddConnectionPoint(&m_events);
}

CFakeInfoManager::~CFakeInfoManager() = default;

STDMETHODIMP CFakeInfoManager::QueryInterface(REFIID riid, void** ppv)
{
    if (riid == IID_IConnectionPointContainer)
    {
        *ppv = static_cast<IConnectionPointContainer*>(this);
        return S_OK;
    }
    return QueryFor(riid, IID_IZepUpdateInfoManager, ppv);
}

STDMETHODIMP CFakeInfoManager::CheckWhetherUpdateExists(BSTR bstrService, ZEP_CURRENT_VERSION_INFO* pCurrent,
                                                        LONG* pResult)
{
    ++m_nChecks;
    m_checkedServices.push_back(Text(bstrService));
    m_strModel = Text(pCurrent->m_bstrModel);
    m_strVersion = Text(pCurrent->m_bstrCurrentVersion);
    m_strSerial = Text(pCurrent->m_bstrSerialNumber);
    m_strLastStatus = Text(pCurrent->m_bstrLastUpdateStatus);
    *pResult = 0;
    if (FAILED(m_hrCheck))
        return m_hrCheck;
    *pResult = m_lExists;
    return S_OK;
}

STDMETHODIMP CFakeInfoManager::GetUpdateDetails(BSTR, ZEP_NEW_VERSION_INFO* pInfo)
{
    pInfo->m_bstrUpdateDetail = Copy(L"detail");
    pInfo->m_nInfoSize = m_lExists ? 1 : 0;
    ZEP_DOWNLOAD_SOFTWARE_INFO& package = pInfo->m_stDownloadSoftwareInfos[0];
    package.m_bstrSoftwareName = Copy(L"package");
    package.m_bstrNewVersion = Copy(m_strNewVersion);
    package.m_bstrURL = Copy(m_strUrl);
    package.m_bstrMac = Copy(m_strMac);
    package.m_dwSize = m_dwSize;
    pInfo->m_bAvailableServerPolling = m_bServerPolling;
    pInfo->m_eCheckMode = m_eCheckMode;
    return S_OK;
}

STDMETHODIMP CFakeInfoManager::SendUpdateResult(BSTR bstrService, ZEP_UPDATED_RESULT* pInfo)
{
    m_results.emplace_back(Text(bstrService), pInfo->m_nResult);
    return S_OK;
}

STDMETHODIMP CFakeInfoManager::SetBaseURL(BSTR bstrUrl)
{
    m_strBaseUrl = Text(bstrUrl);
    return S_OK;
}

LONG CFakeInfoManager::AskCheckVersion(int nRule, const wchar_t* pszRuleValue, const wchar_t* pszCurrent)
{
    VARIANT args[3];
    args[0].vt = VT_BSTR;
    args[0].bstrVal = ::SysAllocString(pszCurrent);
    args[1].vt = VT_BSTR;
    args[1].bstrVal = ::SysAllocString(pszRuleValue);
    args[2].vt = VT_INT;
    args[2].intVal = nRule;
    DISPPARAMS params = {args, nullptr, 3, 0};
    LONG lAnswer = 1;
    for (const auto& sink : m_events.DispatchSinks())
    {
        VARIANT result;
        ::VariantInit(&result);
        if (SUCCEEDED(sink->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, nullptr,
                                   nullptr)) &&
            result.vt == VT_I4)
            lAnswer = result.lVal;
        ::VariantClear(&result);
    }
    ::VariantClear(&args[0]);
    ::VariantClear(&args[1]);
    return lAnswer;
}

STDMETHODIMP CFakeDownloadManager::DownloadSoftwareUpdate(BSTR, BSTR bstrUrl)
{
    m_urls.push_back(Text(bstrUrl));
    return S_OK;
}

STDMETHODIMP CFakeDownloadManager::GetDownloadedFilePath(BSTR, BSTR* p)
{
    *p = Copy(m_strPath);
    return S_OK;
}

STDMETHODIMP CFakeDownloadManager::CheckDownloadedFile(BSTR bstrMac, LONG* p)
{
    m_strCheckedMac = Text(bstrMac);
    *p = m_bDigestOk ? 1 : 0;
    return S_OK;
}
