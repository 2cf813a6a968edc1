#pragma once
// The software download manager component (class ZepSoftwareDownloadManager). Its interface
// and events are in the type library; the methods answer E_NOTIMPL until the download side
// joins the library.
#include <windows.h>

#include "common/com_object.h"
#include "common/connection_point.h"
#include "common/dispatch_impl.h"
#include "zep_backend_library.h"

class CZepSoftwareDownloadManager final : public CDispatchImpl<IZepSoftwareDownloadManager>,
                                          public CConnectionPointContainer,
                                          public CComAggregatable<CZepSoftwareDownloadManager>
{
public:
    explicit CZepSoftwareDownloadManager(IUnknown* pUnkOuter) noexcept;

    HRESULT InternalQueryInterface(REFIID riid, void** ppv);
    ZEP_IMPLEMENT_AGGREGATABLE_IUNKNOWN();

    STDMETHODIMP GetDownloadProgressPercentage(BSTR bstrServiceID, ULONG* pDownloadedPercentage) override;
    STDMETHODIMP DownloadSoftwareUpdate(BSTR bstrServiceID, BSTR bstrURL) override;
    STDMETHODIMP AbortDownloading(BSTR bstrServiceID) override;
    STDMETHODIMP GetDownloadedFilePath(BSTR bstrServiceID, BSTR* pFilePath) override;
    STDMETHODIMP RemoveDownloadedFile(BSTR bstrServiceID, BSTR bstrFilePath) override;
    STDMETHODIMP GetDownloadStatus(LONG* pStatus, LONG* pResult) override;
    STDMETHODIMP CheckDownloadedFile(BSTR bstrMac, LONG* pResult) override;

private:
    ~CZepSoftwareDownloadManager() override = default;

    CConnectionPoint m_cpEvents;
};
