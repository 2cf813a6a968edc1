#include "update/info/zep_update_info_manager.h"

#include <olectl.h>

#include "common/error_macros.h"
#include "common/scoped_variant.h"

namespace
{
std::wstring g_strTestDataFolder;
}

LONG CProxy_IZepUpdateInfoManagerEvents::Fire_CheckVersion(int nRule, const wchar_t* pszRuleValue,
                                                            const wchar_t* pszCurrentVersion)
{
    const auto sinks = m_cpEvents.DispatchSinks();
    if (sinks.empty())
        return 1;
    VARIANT args[3];
    for (VARIANT& arg : args)
        ::VariantInit(&arg);
    // Arguments go last first: rgvarg[2] is the first declared parameter.
    args[0].vt = VT_BSTR;
    args[0].bstrVal = ::SysAllocString(pszCurrentVersion);
    args[1].vt = VT_BSTR;
    args[1].bstrVal = ::SysAllocString(pszRuleValue);
    args[2].vt = VT_INT;
    args[2].intVal = nRule;
    LONG lResult = 1;
    if (args[0].bstrVal && args[1].bstrVal)
    {
        DISPPARAMS params = {args, nullptr, 3, 0};
        for (const auto& sink : sinks)
        {
            CScopedVariant result;
            const HRESULT hr = sink->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                            result.Receive(), nullptr, nullptr);
            if (FAILED(hr))
            {
                lResult = hr;
                continue;
            }
            VARIANT value;
            ::VariantInit(&value);
            // A sink that gives no number has not shown that the rule holds.
            if (result.Type() != VT_EMPTY &&
                SUCCEEDED(::VariantChangeType(&value, const_cast<VARIANT*>(&result.Get()), 0, VT_I4)))
                lResult = value.lVal;
            else
                lResult = 1;
            ::VariantClear(&value);
        }
    }
    else
    {
        lResult = E_OUTOFMEMORY;
    }
    for (VARIANT& arg : args)
        ::VariantClear(&arg);
    return lResult;
}

CZepUpdateInfoManager::CZepUpdateInfoManager(IUnknown* pUnkOuter) noexcept
    : CProxy_IZepUpdateInfoManagerEvents(static_cast<IConnectionPointContainer*>(this)),
      CComAggregatable<CZepUpdateInfoManager>(pUnkOuter)
{
    AddConnectionPoint(&m_cpEvents);
}

void CZepUpdateInfoManager::SetDataFolderForTesting(const std::wstring& strFolder) { g_strTestDataFolder = strFolder; }

HRESULT CZepUpdateInfoManager::FinalConstruct()
{
    try
    {
        m_impl.reset(new CZepUpdateInfoManagerImpl(g_strTestDataFolder));
    }
    catch (...)
    {
        return E_OUTOFMEMORY;
    }
    m_impl->SetVersionCheckCallback(&CZepUpdateInfoManager::FireCheckVersion, this);
    return S_OK;
}

HRESULT CZepUpdateInfoManager::InternalQueryInterface(REFIID riid, void** ppv)
{
    static const QITAB qit[] = {
        QITABENT(CZepUpdateInfoManager, IZepUpdateInfoManager),
        QITABENTMULTI(CZepUpdateInfoManager, IDispatch, IZepUpdateInfoManager),
        QITABENT(CZepUpdateInfoManager, IConnectionPointContainer),
        {nullptr, 0},
    };
    return QISearch(this, qit, riid, ppv);
}

LONG CZepUpdateInfoManager::FireCheckVersion(void* pContext, const wchar_t* pszCurrentVersion,
                                             const wchar_t* pszRuleValue, int nRule)
{
    auto* pThis = static_cast<CZepUpdateInfoManager*>(pContext);
    try
    {
        return pThis->Fire_CheckVersion(nRule, pszRuleValue, pszCurrentVersion);
    }
    catch (...)
    {
        return E_UNEXPECTED;
    }
}

STDMETHODIMP CZepUpdateInfoManager::SetUpdateCheckingMode(BSTR bstrServiceID, zepUpdateCheckMode eUpdateChkMode)
try
{
    return m_impl->SetUpdateCheckingMode(bstrServiceID, eUpdateChkMode);
}
ZEP_CATCH_RETURN()

STDMETHODIMP CZepUpdateInfoManager::GetUpdateCheckingMode(BSTR bstrServiceID, zepUpdateCheckMode* p_eUpdateChkMode)
try
{
    return m_impl->GetUpdateCheckingMode(bstrServiceID, p_eUpdateChkMode);
}
ZEP_CATCH_RETURN()

STDMETHODIMP CZepUpdateInfoManager::CheckWhetherUpdateExists(BSTR bstrServiceID, ZEP_CURRENT_VERSION_INFO* pCurrentInfo,
                                                             LONG* pResult)
try
{
    // The sinks may release the last outside reference while the check runs.
    ControllingUnknown()->AddRef();
    const HRESULT hr = m_impl->CheckWhetherUpdateExists(bstrServiceID, pCurrentInfo, pResult);
    ControllingUnknown()->Release();
    return hr;
}
ZEP_CATCH_RETURN()

STDMETHODIMP CZepUpdateInfoManager::GetUpdateDetails(BSTR bstrServiceID, ZEP_NEW_VERSION_INFO* pUpdateInfo)
try
{
    return m_impl->GetUpdateDetails(bstrServiceID, pUpdateInfo);
}
ZEP_CATCH_RETURN()

STDMETHODIMP CZepUpdateInfoManager::GetVersionOfUpdatedSoftware(BSTR bstrServiceID, BSTR* pUpdateVer)
try
{
    return m_impl->GetVersionOfUpdatedSoftware(bstrServiceID, pUpdateVer);
}
ZEP_CATCH_RETURN()

STDMETHODIMP CZepUpdateInfoManager::SendUpdateResult(BSTR bstrServiceID, ZEP_UPDATED_RESULT* pInfo)
try
{
    return m_impl->SendUpdateResult(bstrServiceID, pInfo);
}
ZEP_CATCH_RETURN()

STDMETHODIMP CZepUpdateInfoManager::Terminate()
try
{
    return m_impl->Terminate();
}
ZEP_CATCH_RETURN()

STDMETHODIMP CZepUpdateInfoManager::SetBaseURL(BSTR bstrBaseURL)
try
{
    return m_impl->SetBaseURL(bstrBaseURL);
}
ZEP_CATCH_RETURN()
