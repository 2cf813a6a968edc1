#pragma once
// The software download manager component (class ZepSoftwareDownloadManager): the dual
// interface IZepSoftwareDownloadManager over one CZepSoftwareDownloadManagerImpl, and the
// StatusChanged event, raised on the download's worker thread.
#include <windows.h>

#include <memory>
#include <string>

#include "common/com_object.h"
#include "common/connection_point.h"
#include "common/dispatch_impl.h"
#include "update/download/module/zep_software_download_manager_impl.h"
#include "zep_backend_library.h"

class CZepSoftwareDownloadManager final : public CDispatchImpl<IZepSoftwareDownloadManager>,
                                          public CConnectionPointContainer,
                                          public CComAggregatable<CZepSoftwareDownloadManager>
{
public:
    explicit CZepSoftwareDownloadManager(IUnknown* pUnkOuter) noexcept;

    // Creates the implementation (E_OUTOFMEMORY) and becomes its event function.
    HRESULT FinalConstruct();
    HRESULT InternalQueryInterface(REFIID riid, void** ppv);
    ZEP_IMPLEMENT_AGGREGATABLE_IUNKNOWN();

    STDMETHODIMP GetDownloadProgressPercentage(BSTR bstrServiceID, ULONG* pDownloadedPercentage) override;
    STDMETHODIMP DownloadSoftwareUpdate(BSTR bstrServiceID, BSTR bstrURL) override;
    STDMETHODIMP AbortDownloading(BSTR bstrServiceID) override;
    STDMETHODIMP GetDownloadedFilePath(BSTR bstrServiceID, BSTR* pFilePath) override;
    STDMETHODIMP RemoveDownloadedFile(BSTR bstrServiceID, BSTR bstrFilePath) override;
    STDMETHODIMP GetDownloadStatus(LONG* pStatus, LONG* pResult) override;
    STDMETHODIMP CheckDownloadedFile(BSTR bstrMac, LONG* pResult) override;

    // The implementation's download root; tests point it elsewhere before creating objects.
    static void SetDownloadRootForTesting(const std::wstring& strFolder);
    // How long the component's end waits for a running download to stop.
    static const DWORD kShutdownWaitMs = 5000;

private:
    ~CZepSoftwareDownloadManager() override;
    static void FireStatusChanged(void* pContext, int nType, DWORD dwSize, HRESULT hrResult);

    CConnectionPoint m_cpEvents;
    // Shared with the worker thread, which may outlive the component.
    std::shared_ptr<CZepSoftwareDownloadManagerImpl> m_impl;
};
