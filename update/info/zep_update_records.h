#pragma once
// Records exchanged with the update information manager's callers. Plain C++ declarations in
// the layout the automation records keep: BSTR fields owned by whoever holds the record, 32-bit
// integers. The component's type library declares the same records for automation clients.
#include <windows.h>
#include <oleauto.h>

#ifndef ZEP_UPDATE_RECORDS_DEFINED
#define ZEP_UPDATE_RECORDS_DEFINED

typedef enum zepUpdateCheckMode
{
    eAUTO = 0,
    eMANUAL = 1
} zepUpdateCheckMode;

// Number of package slots in ZEP_NEW_VERSION_INFO.
#define ZEP_MAX_DOWNLOAD_SOFTWARE 5

typedef struct ZEP_CURRENT_VERSION_INFO
{
    BSTR m_bstrModel;
    BSTR m_bstrCategory;
    BSTR m_bstrCurrentVersion;
    BSTR m_bstrSerialNumber;
    BSTR m_bstrExtensionKey;
    BSTR m_bstrClientVersion;
    BSTR m_bstrLanguageCode;
    BSTR m_bstrNationCode;
    BSTR m_bstrLastUpdateStatus;
    int m_nProductMode;
} ZEP_CURRENT_VERSION_INFO;

typedef struct ZEP_DOWNLOAD_SOFTWARE_INFO
{
    BSTR m_bstrSoftwareName;
    BSTR m_bstrNewVersion;
    BSTR m_bstrURL;
    BSTR m_bstrMac;
    DWORD m_dwSize;
} ZEP_DOWNLOAD_SOFTWARE_INFO;

typedef struct ZEP_NEW_VERSION_INFO
{
    BSTR m_bstrUpdateDetail;
    ZEP_DOWNLOAD_SOFTWARE_INFO m_stDownloadSoftwareInfos[ZEP_MAX_DOWNLOAD_SOFTWARE];
    int m_nInfoSize;
    int m_nInstallMode;
    BOOL m_bReboot;
    BOOL m_bAvailableServerPolling;
    zepUpdateCheckMode m_eCheckMode;
} ZEP_NEW_VERSION_INFO;

typedef struct ZEP_UPDATED_RESULT
{
    int m_nResult;
    BSTR m_bstrCategory;
    BSTR m_bstrSoftwareName;
    BSTR m_bstrVersion;
    BSTR m_bstrSerialNo;
    BSTR m_bstrDetail;
} ZEP_UPDATED_RESULT;

#endif  // ZEP_UPDATE_RECORDS_DEFINED

// Frees every string of the record and zeroes it, so it can be filled again.
void ZepClearNewVersionInfo(ZEP_NEW_VERSION_INFO* pInfo);
