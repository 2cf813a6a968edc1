#include "update/info/zep_update_records.h"

void ZepClearNewVersionInfo(ZEP_NEW_VERSION_INFO* pInfo)
{
    if (!pInfo)
        return;
    ::SysFreeString(pInfo->m_bstrUpdateDetail);
    for (ZEP_DOWNLOAD_SOFTWARE_INFO& sw : pInfo->m_stDownloadSoftwareInfos)
    {
        ::SysFreeString(sw.m_bstrSoftwareName);
        ::SysFreeString(sw.m_bstrNewVersion);
        ::SysFreeString(sw.m_bstrURL);
        ::SysFreeString(sw.m_bstrMac);
    }
    ZeroMemory(pInfo, sizeof(*pInfo));
}

namespace
{
HRESULT CopyBstr(BSTR bstrFrom, BSTR& bstrTo)
{
    bstrTo = nullptr;
    if (!bstrFrom)
        return S_OK;
    bstrTo = ::SysAllocStringLen(bstrFrom, ::SysStringLen(bstrFrom));
    return bstrTo ? S_OK : E_OUTOFMEMORY;
}
}  // namespace

HRESULT ZepCopyNewVersionInfo(const ZEP_NEW_VERSION_INFO& from, ZEP_NEW_VERSION_INFO* pTo)
{
    if (!pTo)
        return E_POINTER;
    const int cPackages = from.m_nInfoSize < 0                           ? 0
                          : from.m_nInfoSize > ZEP_MAX_DOWNLOAD_SOFTWARE ? ZEP_MAX_DOWNLOAD_SOFTWARE
                                                                         : from.m_nInfoSize;
    ZEP_NEW_VERSION_INFO copy = {};
    HRESULT hr = CopyBstr(from.m_bstrUpdateDetail, copy.m_bstrUpdateDetail);
    for (int i = 0; SUCCEEDED(hr) && i < cPackages; ++i)
    {
        const ZEP_DOWNLOAD_SOFTWARE_INFO& sw = from.m_stDownloadSoftwareInfos[i];
        ZEP_DOWNLOAD_SOFTWARE_INFO& to = copy.m_stDownloadSoftwareInfos[i];
        if (SUCCEEDED(hr = CopyBstr(sw.m_bstrSoftwareName, to.m_bstrSoftwareName)) &&
            SUCCEEDED(hr = CopyBstr(sw.m_bstrNewVersion, to.m_bstrNewVersion)) &&
            SUCCEEDED(hr = CopyBstr(sw.m_bstrURL, to.m_bstrURL)))
            hr = CopyBstr(sw.m_bstrMac, to.m_bstrMac);
        to.m_dwSize = sw.m_dwSize;
    }
    if (FAILED(hr))
    {
        ZepClearNewVersionInfo(&copy);
        return hr;
    }
    copy.m_nInfoSize = cPackages;
    copy.m_nInstallMode = from.m_nInstallMode;
    copy.m_bAvailableServerPolling = from.m_bAvailableServerPolling;
    copy.m_eCheckMode = from.m_eCheckMode;
    copy.m_bReboot = pTo->m_bReboot;
    ZepClearNewVersionInfo(pTo);
    *pTo = copy;
    return S_OK;
}
