#pragma once
// The work behind the update information manager component: one service check at a time
// (download, verify, evaluate), the details of the last check, the outcome report to the server
// and the machine-wide list of services being checked.
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "common/critical_section.h"
#include "common/scoped_bstr.h"
#include "update/download/xhttp_downloader.h"
#include "update/info/service_id_list.h"
#include "update/info/system_info.h"
#include "update/info/zep_update_info_analyzer.h"
#include "update/info/zep_update_records.h"

// Download results as the manager's callers see them.
#define ZEP_E_INFO_DOWNLOAD_LOCAL ((HRESULT)0x80044203L)
#define ZEP_E_INFO_NOT_FOUND ((HRESULT)0x80044202L)
#define ZEP_E_DOWNLOAD_LENGTH ((HRESULT)0x80043208L)
#define ZEP_E_DOWNLOAD_NETWORK ((HRESULT)0x80043302L)
#define ZEP_E_DOWNLOAD_TIMEOUT ((HRESULT)0x80043202L)
#define ZEP_E_DOWNLOAD_CANCELED ((HRESULT)0x80042202L)

class CZepUpdateInfoManagerImpl
{
public:
    // strDataFolder empty: the machine's data folder (DefaultDataFolder). The folder and every
    // missing level above it are created now.
    explicit CZepUpdateInfoManagerImpl(const std::wstring& strDataFolder = std::wstring());
    ~CZepUpdateInfoManagerImpl();
    CZepUpdateInfoManagerImpl(const CZepUpdateInfoManagerImpl&) = delete;
    CZepUpdateInfoManagerImpl& operator=(const CZepUpdateInfoManagerImpl&) = delete;

    HRESULT SetUpdateCheckingMode(BSTR bstrServiceID, zepUpdateCheckMode eMode);
    HRESULT GetUpdateCheckingMode(BSTR bstrServiceID, zepUpdateCheckMode* peMode);
    HRESULT CheckWhetherUpdateExists(BSTR bstrServiceID, const ZEP_CURRENT_VERSION_INFO* pCurrentInfo, long* pResult);
    HRESULT GetUpdateDetails(BSTR bstrServiceID, ZEP_NEW_VERSION_INFO* pUpdateInfo);
    HRESULT GetVersionOfUpdatedSoftware(BSTR bstrServiceID, BSTR* pUpdateVer);
    HRESULT SendUpdateResult(BSTR bstrServiceID, const ZEP_UPDATED_RESULT* pInfo);
    HRESULT Terminate();
    HRESULT SetBaseURL(BSTR bstrBaseURL);

    // The downloader's time-outs and pause between send attempts (see CXHttpDownloader).
    void SetDownloadTimeouts(DWORD dwConnectMs, DWORD dwReceiveMs, DWORD dwRetryPauseMs) noexcept
    {
        m_downloader.SetTimeouts(dwConnectMs, dwReceiveMs);
        m_downloader.SetRetryPause(dwRetryPauseMs);
    }
    // Who answers "FirmwareVersion" rules.
    void SetVersionCheckCallback(PFN_ZEP_VERSION_CHECK pfnCallback, void* pContext) noexcept;

    const std::wstring& DataFolder() const noexcept { return m_strDataFolder; }
    // The common application data folder (else the user's) + "\Orvo Corporation\AutoUpdateClient".
    static std::wstring DefaultDataFolder();
    // The folder name a service identifier becomes below the data folder: never a path of
    // more than one level, never "." or "..".
    static std::wstring ServiceFolderName(const std::wstring& strServiceId);
    // A user-agent field: blanks become "_", and so do control characters, which would
    // otherwise end the header line.
    static std::wstring AgentText(const std::wstring& strText);
    // The caller's code for a downloader result.
    static HRESULT MapDownloadResult(HRESULT hr) noexcept;

private:
    HRESULT CheckLocked(const ZEP_CURRENT_VERSION_INFO& current, long* pResult);
    HRESULT CheckServiceId(BSTR bstrServiceID) const noexcept;
    void RemoveFromList() noexcept;
    // Every use of the downloader is here. The file goes into the user's own folder of the
    // service (held open by the caller); its bytes, read from the handle the download
    // wrote; the file itself is deleted.
    HRESULT FetchFile(const std::wstring& strAgent, const class CUserDownloadFolder& folder,
                      const std::wstring& strUrl, DWORD cbMax, class CInfoMethodLog& log, std::string& bytes);
    // Fetches the information file's signature and checks it; ZEP_E_INFO_HEADER_INVALID, with
    // the reason in the error log, when the file is not to be trusted.
    HRESULT CheckSignature(const std::wstring& strAgent, const class CUserDownloadFolder& folder,
                           const std::wstring& strSigUrl,
                           const std::string& info, const std::wstring& strCategory, class CInfoMethodLog& log,
                           ULONGLONG& ullSerial);
    HRESULT AccessOnce(const std::wstring& strAgent, const std::wstring& strUrl);

    bool m_bRegistered;
    // A check is running (its CheckVersion handlers may call back in).
    bool m_bChecking;
    // The entry this object made in the list, whatever the current identifier is now.
    std::wstring m_strRegisteredId;
    CXCriticalSection m_cs;
    CXHttpDownloader m_downloader;
    SystemInfo m_systemInfo;
    CServiceIdList m_serviceList;
    CZepUpdateInfoAnalyzer m_analyzer;
    ZEP_NEW_VERSION_INFO m_newVersionInfo;
    CScopedBstr m_bstrServiceId;
    CScopedBstr m_bstrBaseUrl;
    std::wstring m_strDataFolder;
    zepUpdateCheckMode m_eMode;
};
