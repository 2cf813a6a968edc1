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
