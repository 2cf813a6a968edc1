#include "update/download/module/zep_software_download_manager.h"

#include "common/error_macros.h"

namespace
{
std::wstring g_strTestDownloadRoot;
}

CZepSoftwareDownloadManager::CZepSoftwareDownloadManager(IUnknown* pUnkOuter) noexcept
    : CComAggregatable<CZepSoftwareDownloadManager>(pUnkOuter),
      m_cpEvents(static_cast<IConnectionPointContainer*>(this), DIID__IZepSoftwareDownloadManagerEvents)
{
    AddConnectionPoint(&m_cpEvents);
}

CZepSoftwareDownloadManager::~CZepSoftwareDownloadManager()
{
    if (m_impl)
        m_impl->Shutdown(kShutdownWaitMs);
}

void CZepSoftwareDownloadManager::SetDownloadRootForTesting(const std::wstring& strFolder)
{
    g_strTestDownloadRoot = strFolder;
}

HRESULT CZepSoftwareDownloadManager::FinalConstruct()
{
    try
    {
        m_impl = std::make_shared<CZepSoftwareDownloadManagerImpl>(g_strTestDownloadRoot);
    }
    catch (...)
    {
        return E_OUTOFMEMORY;
    }
    m_impl->SetEventCallback(&CZepSoftwareDownloadManager::FireStatusChanged, this);
    return S_OK;
}

HRESULT CZepSoftwareDownloadManager::InternalQueryInterface(REFIID riid, void** ppv)
{
    static const QITAB qit[] = {
        QITABENT(CZepSoftwareDownloadManager, IZepSoftwareDownloadManager),
        QITABENTMULTI(CZepSoftwareDownloadManager, IDispatch, IZepSoftwareDownloadManager),
        QITABENT(CZepSoftwareDownloadManager, IConnectionPointContainer),
        {nullptr, 0},
    };
    return QISearch(this, qit, riid, ppv);
}

void CZepSoftwareDownloadManager::FireStatusChanged(void* pContext, int nType, DWORD dwSize, HRESULT hrResult)
{
    auto* pThis = static_cast<CZepSoftwareDownloadManager*>(pContext);
    try
    {
        // A sink may release the component from its handler: nothing of it is used after the copy.
        const auto sinks = pThis->m_cpEvents.DispatchSinks();
        if (sinks.empty())
            return;
        VARIANT args[3];
        // Arguments go last first: rgvarg[2] is the first declared parameter.
        ::VariantInit(&args[0]);
        args[0].vt = VT_I4;
        args[0].lVal = hrResult;
        ::VariantInit(&args[1]);
        args[1].vt = VT_UI4;
        args[1].ulVal = dwSize;
        ::VariantInit(&args[2]);
        args[2].vt = VT_INT;
        args[2].intVal = nType;
        DISPPARAMS params = {args, nullptr, 3, 0};
        for (const auto& sink : sinks)
            sink->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    }
    catch (...)
    {
    }
}

STDMETHODIMP CZepSoftwareDownloadManager::GetDownloadProgressPercentage(BSTR, ULONG* pDownloadedPercentage)
try
{
    return m_impl->GetDownloadProgressPercentage(pDownloadedPercentage);
}
ZEP_CATCH_RETURN()

STDMETHODIMP CZepSoftwareDownloadManager::DownloadSoftwareUpdate(BSTR bstrServiceID, BSTR bstrURL)
try
{
    return m_impl->DownloadSoftwareUpdate(bstrServiceID, bstrURL);
}
ZEP_CATCH_RETURN()

STDMETHODIMP CZepSoftwareDownloadManager::AbortDownloading(BSTR)
try
{
    return m_impl->AbortDownloading();
}
ZEP_CATCH_RETURN()

STDMETHODIMP CZepSoftwareDownloadManager::GetDownloadedFilePath(BSTR, BSTR* pFilePath)
try
{
    return m_impl->GetDownloadedFilePath(pFilePath);
}
ZEP_CATCH_RETURN()

STDMETHODIMP CZepSoftwareDownloadManager::RemoveDownloadedFile(BSTR, BSTR bstrFilePath)
try
{
    return m_impl->RemoveDownloadedFile(bstrFilePath);
}
ZEP_CATCH_RETURN()

STDMETHODIMP CZepSoftwareDownloadManager::GetDownloadStatus(LONG* pStatus, LONG* pResult)
try
{
    return m_impl->GetDownloadStatus(pStatus, pResult);
}
ZEP_CATCH_RETURN()

STDMETHODIMP CZepSoftwareDownloadManager::CheckDownloadedFile(BSTR bstrMac, LONG* pResult)
try
{
    return m_impl->CheckDownloadedFile(bstrMac, pResult);
}
ZEP_CATCH_RETURN()
