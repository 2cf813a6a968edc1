#include "update/download/module/zep_software_download_manager.h"

CZepSoftwareDownloadManager::CZepSoftwareDownloadManager(IUnknown* pUnkOuter) noexcept
    : CComAggregatable<CZepSoftwareDownloadManager>(pUnkOuter),
      m_cpEvents(static_cast<IConnectionPointContainer*>(this), DIID__IZepSoftwareDownloadManagerEvents)
{
    AddConnectionPoint(&m_cpEvents);
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

STDMETHODIMP CZepSoftwareDownloadManager::GetDownloadProgressPercentage(BSTR, ULONG*) { return E_NOTIMPL; }
STDMETHODIMP CZepSoftwareDownloadManager::DownloadSoftwareUpdate(BSTR, BSTR) { return E_NOTIMPL; }
STDMETHODIMP CZepSoftwareDownloadManager::AbortDownloading(BSTR) { return E_NOTIMPL; }
STDMETHODIMP CZepSoftwareDownloadManager::GetDownloadedFilePath(BSTR, BSTR*) { return E_NOTIMPL; }
STDMETHODIMP CZepSoftwareDownloadManager::RemoveDownloadedFile(BSTR, BSTR) { return E_NOTIMPL; }
STDMETHODIMP CZepSoftwareDownloadManager::GetDownloadStatus(LONG*, LONG*) { return E_NOTIMPL; }
STDMETHODIMP CZepSoftwareDownloadManager::CheckDownloadedFile(BSTR, LONG*) { return E_NOTIMPL; }
