#pragma once
// The update information manager component (class ZepUpdateInfoManager): the dual interface
// IZepUpdateInfoManager over one CZepUpdateInfoManagerImpl, and the CheckVersion event through
// which the client answers "FirmwareVersion" rules.
#include <windows.h>

#include <memory>

#include "common/com_object.h"
#include "common/connection_point.h"
#include "common/dispatch_impl.h"
#include "update/info/zep_update_info_manager_impl.h"
#include "zep_backend_library.h"

// Raises _IZepUpdateInfoManagerEvents on every connected sink.
class CProxy_IZepUpdateInfoManagerEvents
{
protected:
    explicit CProxy_IZepUpdateInfoManagerEvents(IConnectionPointContainer* pContainer) noexcept
        : m_cpEvents(pContainer, DIID__IZepUpdateInfoManagerEvents)
    {
    }
    // The last sink's answer (0: the rule holds, positive: it does not, negative: an error); 1
    // when nobody is connected, as nobody can show the rule holds.
    LONG Fire_CheckVersion(int nRule, const wchar_t* pszRuleValue, const wchar_t* pszCurrentVersion);

    CConnectionPoint m_cpEvents;
};

class CZepUpdateInfoManager final : public CDispatchImpl<IZepUpdateInfoManager>,
                                    public CConnectionPointContainer,
                                    public CProxy_IZepUpdateInfoManagerEvents,
                                    public CComAggregatable<CZepUpdateInfoManager>
{
public:
    explicit CZepUpdateInfoManager(IUnknown* pUnkOuter) noexcept;

    // Creates the implementation (E_OUTOFMEMORY) and becomes the analyzer's version checker.
    HRESULT FinalConstruct();
    HRESULT InternalQueryInterface(REFIID riid, void** ppv);
    ZEP_IMPLEMENT_AGGREGATABLE_IUNKNOWN();

    // IZepUpdateInfoManager
    STDMETHODIMP SetUpdateCheckingMode(BSTR bstrServiceID, zepUpdateCheckMode eUpdateChkMode) override;
    STDMETHODIMP GetUpdateCheckingMode(BSTR bstrServiceID, zepUpdateCheckMode* p_eUpdateChkMode) override;
    STDMETHODIMP CheckWhetherUpdateExists(BSTR bstrServiceID, ZEP_CURRENT_VERSION_INFO* pCurrentInfo,
                                          LONG* pResult) override;
    STDMETHODIMP GetUpdateDetails(BSTR bstrServiceID, ZEP_NEW_VERSION_INFO* pUpdateInfo) override;
    STDMETHODIMP GetVersionOfUpdatedSoftware(BSTR bstrServiceID, BSTR* pUpdateVer) override;
    STDMETHODIMP SendUpdateResult(BSTR bstrServiceID, ZEP_UPDATED_RESULT* pInfo) override;
    STDMETHODIMP Terminate() override;
    STDMETHODIMP SetBaseURL(BSTR bstrBaseURL) override;

    // The implementation's data folder; tests point it elsewhere before the first check.
    static void SetDataFolderForTesting(const std::wstring& strFolder);

private:
    ~CZepUpdateInfoManager() override = default;
    static LONG FireCheckVersion(void* pContext, const wchar_t* pszCurrentVersion, const wchar_t* pszRuleValue,
                                 int nRule);

    std::unique_ptr<CZepUpdateInfoManagerImpl> m_impl;
};
