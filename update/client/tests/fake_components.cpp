#include "update/client/tests/fake_components.h"

#include "common/testing/zeptest.h"

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
    ::InitializeCriticalSection(&m_cs);
}

CFakeGui::~CFakeGui()
{
    ::DeleteCriticalSection(&m_cs);
}

HRESULT CFakeGui::ShowModal(HANDLE hClosed, DWORD dwTimeoutMs)
{
    ::Sleep(m_dwShowDelayMs);
    ::EnterCriticalSection(&m_cs);
    ::ResetEvent(hClosed);
    m_bWindowOpen = true;
    ::LeaveCriticalSection(&m_cs);
    const bool bClosed = ::WaitForSingleObject(hClosed, dwTimeoutMs) == WAIT_OBJECT_0;
    ::EnterCriticalSection(&m_cs);
    m_bWindowOpen = false;
    ::LeaveCriticalSection(&m_cs);
    if (!bClosed)
        ++m_nWindowsLeftOpen;
    return bClosed ? S_OK : E_FAIL;
}

HRESULT CFakeGui::Close(HANDLE hClosed)
{
    ::EnterCriticalSection(&m_cs);
    const bool bOpen = m_bWindowOpen;
    if (bOpen)
        ::SetEvent(hClosed);
    ::LeaveCriticalSection(&m_cs);
    return bOpen ? S_OK : S_FALSE;
}

void CFakeGui::CountStray(BSTR bstrService)
{
    if (m_lRefs <= 0 || Text(bstrService) != m_strService)
        ++m_nStrayCalls;
}

STDMETHODIMP CFakeGui::SetDownloadProgress(BSTR bstrService, UINT nPercent)
{
    CountStray(bstrService);
    m_downloadProgress.push_back(nPercent);
    return S_OK;
}

STDMETHODIMP CFakeGui::IsDownloadCancelIsSelected(BSTR bstrService, LONG* p)
{
    CountStray(bstrService);
    ++m_nPolls;
    const bool bAsking = m_nCancelAtPoll > 0 && m_nPolls >= m_nCancelAtPoll &&
                         m_nPolls < m_nCancelAtPoll + 1 + m_nQuestionPolls;
    // The poll that finds the question and those that wait for its answer.
    if (m_nCancelAtPoll > 0 && m_nPolls >= m_nCancelAtPoll && m_nPolls <= m_nCancelAtPoll + 1 + m_nQuestionPolls)
        m_questionPolls.push_back(::GetTickCount64());
    *p = bAsking ? 1 : 0;
    if (m_nCancelAtPoll > 0 && m_nPolls == m_nCancelAtPoll + m_nQuestionPolls && m_bAnswerYes)
    {
        // Yes: the window closes itself, canceled.
        m_bCanceledByAnswer = 1;
        Close(m_downloadClosed.Get());
    }
    return S_OK;
}

STDMETHODIMP CFakeGui::SetUpdateProgress(BSTR bstrService, UINT nPercent)
{
    CountStray(bstrService);
    m_updateProgress.emplace_back(::GetTickCount64(), nPercent);
    return S_OK;
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
    m_nPolls = 0;
    m_bCanceledByAnswer = 0;
    if (m_bUserClosesDownload)
    {
        if (m_hCloseWhen)
            ::WaitForSingleObject(m_hCloseWhen, 20000);
        return S_OK;
    }
    // Modal until the client's monitor closes it; a Yes to the question cancels.
    const HRESULT hr = ShowModal(m_downloadClosed.Get(), 20000);
    return SUCCEEDED(hr) && m_bCanceledByAnswer ? static_cast<HRESULT>(0x80042202L) : hr;
}

STDMETHODIMP CFakeGui::CloseDownloadProgressBar(BSTR bstrService)
{
    CountStray(bstrService);
    return Close(m_downloadClosed.Get());
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
    return ShowModal(m_updateClosed.Get(), 20000);
}

STDMETHODIMP CFakeGui::CloseUpdateProgressBar(BSTR bstrService)
{
    CountStray(bstrService);
    return Close(m_updateClosed.Get());
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
    // The rules are evaluated during the check, while the client knows what it is checking.
    m_checkAnswers[0] = AskCheckVersion(5, L"2.0.0.0", L"1.0.0.0");
    m_checkAnswers[1] = AskCheckVersion(8, L"2.0.0.0", L"1.0.0.0");
    m_checkAnswers[2] = AskCheckVersion(1, L"x", L"1.0.0.0");
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

STDMETHODIMP CFakeDownloadManager::GetDownloadProgressPercentage(BSTR, ULONG* p)
{
    if (m_hStall)
    {
        ::SetEvent(m_hStalled);
        ::WaitForSingleObject(m_hStall, 60000);
    }
    *p = m_percentages.empty() ? 100 : m_percentages[m_nPercentPolls < m_percentages.size() ? m_nPercentPolls
                                                                                            : m_percentages.size() - 1];
    ++m_nPercentPolls;
    return S_OK;
}

STDMETHODIMP CFakeDownloadManager::AbortDownloading(BSTR)
{
    ++m_nAborted;
    m_nCanceledPollsLeft = m_nCanceledPollsAfterAbort;
    return S_OK;
}

STDMETHODIMP CFakeDownloadManager::GetDownloadStatus(LONG* pStatus, LONG* pResult)
{
    *pStatus = 0;
    *pResult = m_hrResult;
    if (m_nCanceledPollsLeft > 0)
    {
        --m_nCanceledPollsLeft;
        *pResult = static_cast<LONG>(0x80042202L);
    }
    return S_OK;
}

UniqueHandle StartHoldingInstaller()
{
    ::SetEnvironmentVariableW(L"QUENTA_TEST_INSTALLER_LOG", (zeptest::TestTempDir() + L"installer.log").c_str());
    ::SetEnvironmentVariableW(L"QUENTA_TEST_INSTALLER_HOLD_MS", L"60000");
    UniqueHandle process;
    zeptest::StartProcess(L"\"" + zeptest::ExeDir() + L"quenta_test_installer.exe\"", process);
    ::SetEnvironmentVariableW(L"QUENTA_TEST_INSTALLER_LOG", nullptr);
    ::SetEnvironmentVariableW(L"QUENTA_TEST_INSTALLER_HOLD_MS", nullptr);
    return process;
}
