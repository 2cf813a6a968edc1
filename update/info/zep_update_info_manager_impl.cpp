#include "update/info/zep_update_info_manager_impl.h"

#include <shlobj.h>

#include "common/folder_security.h"
#include "common/string_util.h"
#include "update/download/download_codes.h"
#include "update/download/download_file_name.h"
#include "update/download/user_download_folder.h"
#include "update/info/info_log.h"

namespace
{
const wchar_t kClientVersion[] = L"1.0";
const size_t kMaxUrlChars = 4096;

std::wstring BstrText(BSTR bstr) { return bstr ? std::wstring(bstr, ::SysStringLen(bstr)) : std::wstring(); }

// Every line feed that is not already part of a CR LF pair becomes CR LF.
std::wstring ToCrLf(const std::wstring& strText)
{
    std::wstring strOut;
    strOut.reserve(strText.size() + 8);
    for (size_t i = 0; i < strText.size(); ++i)
    {
        if (strText[i] == L'\n' && (i == 0 || strText[i - 1] != L'\r'))
            strOut += L'\r';
        strOut += strText[i];
    }
    return strOut;
}

std::wstring TrimSpace(const std::wstring& strText)
{
    const wchar_t* const kSpace = L" \t\r\n\v\f";
    const size_t first = strText.find_first_not_of(kSpace);
    if (first == std::wstring::npos)
        return std::wstring();
    return strText.substr(first, strText.find_last_not_of(kSpace) - first + 1);
}

HRESULT ReplaceBstr(BSTR& bstrTarget, BSTR bstrSource)
{
    BSTR bstrCopy = nullptr;
    if (bstrSource)
    {
        bstrCopy = ::SysAllocStringLen(bstrSource, ::SysStringLen(bstrSource));
        if (!bstrCopy)
            return E_OUTOFMEMORY;
    }
    ::SysFreeString(bstrTarget);
    bstrTarget = bstrCopy;
    return S_OK;
}
}  // namespace

CZepUpdateInfoManagerImpl::CZepUpdateInfoManagerImpl(const std::wstring& strDataFolder)
    : m_bRegistered(false),
      m_downloader(0),
      m_newVersionInfo(),
      m_strDataFolder(strDataFolder.empty() ? DefaultDataFolder() : strDataFolder),
      m_eMode(eAUTO)
{
    // A folder that cannot be made now is reported by the downloader when a check needs it.
    CreateFolderForAllUsers(m_strDataFolder);
}

CZepUpdateInfoManagerImpl::~CZepUpdateInfoManagerImpl()
{
    ZepClearNewVersionInfo(&m_newVersionInfo);
    RemoveFromList();
}

std::wstring CZepUpdateInfoManagerImpl::DefaultDataFolder()
{
    wchar_t szFolder[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, szFolder)) &&
        FAILED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, szFolder)))
        szFolder[0] = L'\0';
    return std::wstring(szFolder) + L"\\Orvo Corporation\\AutoUpdateClient";
}

std::wstring CZepUpdateInfoManagerImpl::ServiceFolderName(const std::wstring& strServiceId)
{
    std::wstring strName = MakeSafeFileName(strServiceId);
    for (wchar_t& ch : strName)
    {
        if (ch == L'\\' || ch == L'/' || ch < 0x20)
            ch = L'_';
    }
    // The file system drops trailing dots: "..", "." and "a." would name another folder.
    for (size_t i = strName.size(); i > 0 && strName[i - 1] == L'.'; --i)
        strName[i - 1] = L'_';
    return strName;
}

std::wstring CZepUpdateInfoManagerImpl::AgentText(const std::wstring& strText)
{
    std::wstring strAgent = strText;
    for (wchar_t& ch : strAgent)
    {
        if (ch == L' ' || ch < 0x20 || ch == 0x7F)
            ch = L'_';
    }
    return strAgent;
}

HRESULT CZepUpdateInfoManagerImpl::MapDownloadResult(HRESULT hr) noexcept
{
    switch (hr)
    {
    case E_DL_BAD_TARGET:
    case E_DL_SEEK:
    case E_DL_WRITE:
    case E_DL_CREATE_FOLDER:
    case E_DL_DISK_FULL:
        return ZEP_E_INFO_DOWNLOAD_LOCAL;
    case E_DL_LENGTH_MISMATCH:
        return ZEP_E_DOWNLOAD_LENGTH;
    case E_DL_NETWORK:
    case E_DL_CERTIFICATE:
    case E_DL_AUTH_REQUIRED:
    case E_DL_HTTP_400:
    case E_DL_HTTP_500:
        return ZEP_E_DOWNLOAD_NETWORK;
    case E_DL_TIMEOUT:
        return ZEP_E_DOWNLOAD_TIMEOUT;
    case E_DL_HTTP_404:
        return ZEP_E_INFO_NOT_FOUND;
    case E_DL_CANCELED:
        return ZEP_E_DOWNLOAD_CANCELED;
    default:
        return hr;
    }
}

void CZepUpdateInfoManagerImpl::SetVersionCheckCallback(PFN_ZEP_VERSION_CHECK pfnCallback, void* pContext) noexcept
{
    m_analyzer.SetVersionCheckCallback(pfnCallback, pContext);
}

HRESULT CZepUpdateInfoManagerImpl::SetUpdateCheckingMode(BSTR bstrServiceID, zepUpdateCheckMode eMode)
{
    m_eMode = eMode;
    return ReplaceBstr(*m_bstrServiceId.Receive(), bstrServiceID);
}

HRESULT CZepUpdateInfoManagerImpl::GetUpdateCheckingMode(BSTR, zepUpdateCheckMode* peMode)
{
    if (!peMode)
        return E_POINTER;
    *peMode = m_eMode;
    return S_OK;
}

HRESULT CZepUpdateInfoManagerImpl::SetBaseURL(BSTR bstrBaseURL)
{
    return ReplaceBstr(*m_bstrBaseUrl.Receive(), bstrBaseURL);
}

HRESULT CZepUpdateInfoManagerImpl::CheckServiceId(BSTR bstrServiceID) const noexcept
{
    if (!bstrServiceID || !m_bstrServiceId.Get())
        return E_FAIL;
    const UINT cch = ::SysStringLen(bstrServiceID);
    if (cch != m_bstrServiceId.Length() || wmemcmp(bstrServiceID, m_bstrServiceId.Get(), cch) != 0)
        return E_INVALIDARG;
    return S_OK;
}

HRESULT CZepUpdateInfoManagerImpl::CheckWhetherUpdateExists(BSTR bstrServiceID,
                                                             const ZEP_CURRENT_VERSION_INFO* pCurrentInfo,
                                                             long* pResult)
{
    if (!pResult)
        return E_POINTER;
    *pResult = 0;
    if (!pCurrentInfo)
        return E_POINTER;
    CXLock lock(m_cs);
    // The details of an earlier check never outlive the start of a new one.
    ZepClearNewVersionInfo(&m_newVersionInfo);
    HRESULT hr = ReplaceBstr(*m_bstrServiceId.Receive(), bstrServiceID);
    if (FAILED(hr))
        return hr;
    const std::wstring strServiceId = m_bstrServiceId.ToString();
    // This object's earlier check has ended (checks are serialised): its entry goes first. The
    // same service again is refused, as any check of it in progress would be.
    if (m_bRegistered && m_strRegisteredId != strServiceId)
        RemoveFromList();
    hr = m_serviceList.Register(strServiceId);
    if (FAILED(hr))
        return hr;
    m_bRegistered = true;
    m_strRegisteredId = strServiceId;
    long lResult = 0;
    hr = CheckLocked(*pCurrentInfo, &lResult);
    if (SUCCEEDED(hr))
        *pResult = lResult;
    return hr;
}

HRESULT CZepUpdateInfoManagerImpl::CheckLocked(const ZEP_CURRENT_VERSION_INFO& current, long* pResult)
{
    HRESULT hr = S_OK;
    CInfoMethodLog log(L"CZepUpdateInfoManagerImpl::checkWhetherUpdateExists", &hr);
    const std::wstring strServiceId = m_bstrServiceId.ToString();
    const std::wstring strModel = BstrText(current.m_bstrModel);
    const std::wstring strCategory = BstrText(current.m_bstrCategory);

    const std::wstring strAgent =
        AgentText(std::wstring(kClientVersion) + L"#" + (strModel.empty() ? L"-" : strModel) + L"#" +
                  BstrText(current.m_bstrCurrentVersion) + L"#" + BstrText(current.m_bstrLastUpdateStatus) + L"#");

    const std::wstring strBaseUrl = m_bstrBaseUrl.ToString();
    log.Trace(FormatString(L"Base URL %s", strBaseUrl.c_str()));
    const std::wstring strUrl = strBaseUrl + strCategory + L"/" + strServiceId + L"/info/info.xml";
    if (strUrl.size() >= kMaxUrlChars)
        return hr = E_INVALIDARG;
    log.Trace(FormatString(L"Infomation File Path %s", strUrl.c_str()));

    // Held until the file has been read and removed.
    CUserDownloadFolder folder;
    hr = FetchInfoFile(strAgent, ServiceFolderName(strServiceId), strUrl, log, folder, m_strFilePath);
    if (FAILED(hr))
        return hr;

    ZepXmlParseError parseError;
    hr = m_analyzer.Load(m_strFilePath.c_str(), strServiceId.c_str(), strCategory.c_str(), &parseError);
    if (::GetFileAttributesW(m_strFilePath.c_str()) != INVALID_FILE_ATTRIBUTES)
        ::DeleteFileW(m_strFilePath.c_str());
    if (FAILED(hr))
    {
        log.Error(L"XML load Failed");
        log.ErrorPrintf(L"- errorcode=%d", parseError.m_lErrorCode);
        log.ErrorPrintf(L"- line=%d", parseError.m_lLine);
        log.ErrorPrintf(L"- linepos=%d", parseError.m_lLinePos);
        log.ErrorPrintf(L"- reason=%s", parseError.m_strReason.c_str());
        return hr;
    }

    ClientFacts facts;
    facts.m_strClientVersion = kClientVersion;
    if (SUCCEEDED(m_systemInfo.Refresh()))
    {
        facts.m_strOSName = L"Windows";
        facts.m_strOSEdition = m_systemInfo.GetEditionText();
        facts.m_strOSServicePack = m_systemInfo.GetServicePackText();
        facts.m_strOSVersion = m_systemInfo.GetVersionText();
    }
    if (current.m_bstrLanguageCode)
        facts.m_strLanguage = BstrText(current.m_bstrLanguageCode);
    else
        GetUserLanguageName(facts.m_strLanguage);
    facts.m_strNation = BstrText(current.m_bstrNationCode);
    facts.m_strModel = strModel;
    facts.m_strCurrentVersion = BstrText(current.m_bstrCurrentVersion);
    facts.m_strSerialNumber = BstrText(current.m_bstrSerialNumber);
    facts.m_strExtensionKey = BstrText(current.m_bstrExtensionKey);
    facts.m_strProductionMode = current.m_nProductMode ? L"Debug" : L"Release";

    // The stored mode is what the caller set; a status that opens the service only for the
    // user's own checks answers this check as a manual one.
    zepUpdateCheckMode eMode = m_eMode;
    bool bServiceOpen = true;
    bool bOpen = false;
    hr = m_analyzer.IsServiceOpen(strModel, eMode, &bOpen);
    if (FAILED(hr))
        return hr;
    if (!bOpen)
    {
        hr = m_analyzer.ResolveServiceStatus(strModel, &eMode, &bServiceOpen);
        if (FAILED(hr))
            return hr;
    }

    int nForce = 0;
    int nExist = 0;
    hr = m_analyzer.Exist(facts, &nForce, &nExist);
    if (FAILED(hr))
        return hr;
    if (nExist)
    {
        hr = m_analyzer.GetNewVersionInfo(&m_newVersionInfo);
        if (FAILED(hr))
        {
            ZepClearNewVersionInfo(&m_newVersionInfo);
            return hr;
        }
        m_newVersionInfo.m_nInstallMode = nForce;
        m_newVersionInfo.m_bAvailableServerPolling = bServiceOpen ? 1 : 0;
        m_newVersionInfo.m_eCheckMode = eMode;
    }
    *pResult = nExist ? 1 : 0;
    return hr = S_OK;
}

HRESULT CZepUpdateInfoManagerImpl::FetchInfoFile(const std::wstring& strAgent, const std::wstring& strServiceFolderName,
                                                 const std::wstring& strUrl, CInfoMethodLog& log,
                                                 CUserDownloadFolder& folder, std::wstring& strFilePath)
{
    strFilePath.clear();
    HRESULT hr = m_downloader.Initialize(strAgent.c_str(), nullptr, nullptr);
    if (FAILED(hr))
        return hr;
    hr = folder.Open(m_strDataFolder, strServiceFolderName);
    if (FAILED(hr))
    {
        log.Trace(FormatString(L"Download folder refused 0x%08X", static_cast<unsigned>(hr)));
        m_downloader.CloseHandles();
        return MapDownloadResult(E_DL_CREATE_FOLDER);
    }
    m_downloader.SetDownloadFolder(folder.Path().c_str());
    hr = m_downloader.Download(strUrl.c_str(), 0);
    log.Trace(FormatString(L"Down load result hr = 0x%08X", static_cast<unsigned>(hr)));
    if (FAILED(hr))
    {
        m_downloader.CloseHandles();
        return MapDownloadResult(hr);
    }
    m_downloader.CloseHandles();
    wchar_t szPath[MAX_PATH] = {};
    hr = m_downloader.GetFilePath(szPath, MAX_PATH);
    if (FAILED(hr))
        return hr;
    strFilePath = szPath;
    return S_OK;
}

HRESULT CZepUpdateInfoManagerImpl::AccessOnce(const std::wstring& strAgent, const std::wstring& strUrl)
{
    HRESULT hr = m_downloader.Initialize(strAgent.c_str(), nullptr, nullptr);
    if (FAILED(hr))
        return hr;
    hr = m_downloader.AccessURL(strUrl.c_str());
    m_downloader.CloseHandles();
    return hr;
}

HRESULT CZepUpdateInfoManagerImpl::GetUpdateDetails(BSTR bstrServiceID, ZEP_NEW_VERSION_INFO* pUpdateInfo)
{
    HRESULT hr = CheckServiceId(bstrServiceID);
    if (FAILED(hr))
        return hr;
    if (!pUpdateInfo)
        return E_POINTER;
    const ZEP_NEW_VERSION_INFO& stored = m_newVersionInfo;
    CScopedBstr bstrDetail(ToCrLf(TrimSpace(BstrText(stored.m_bstrUpdateDetail))));
    if (!bstrDetail.Get())
        return E_OUTOFMEMORY;
    const int cPackages = stored.m_nInfoSize < 0                           ? 0
                          : stored.m_nInfoSize > ZEP_MAX_DOWNLOAD_SOFTWARE ? ZEP_MAX_DOWNLOAD_SOFTWARE
                                                                           : stored.m_nInfoSize;
    for (int i = 0; i < cPackages; ++i)
    {
        const ZEP_DOWNLOAD_SOFTWARE_INFO& from = stored.m_stDownloadSoftwareInfos[i];
        ZEP_DOWNLOAD_SOFTWARE_INFO& to = pUpdateInfo->m_stDownloadSoftwareInfos[i];
        if (FAILED(hr = ReplaceBstr(to.m_bstrSoftwareName, from.m_bstrSoftwareName)) ||
            FAILED(hr = ReplaceBstr(to.m_bstrNewVersion, from.m_bstrNewVersion)) ||
            FAILED(hr = ReplaceBstr(to.m_bstrURL, from.m_bstrURL)) ||
            FAILED(hr = ReplaceBstr(to.m_bstrMac, from.m_bstrMac)))
            return hr;
        to.m_dwSize = from.m_dwSize;
    }
    ::SysFreeString(pUpdateInfo->m_bstrUpdateDetail);
    pUpdateInfo->m_bstrUpdateDetail = bstrDetail.Release();
    pUpdateInfo->m_nInstallMode = stored.m_nInstallMode;
    pUpdateInfo->m_nInfoSize = cPackages;
    pUpdateInfo->m_bAvailableServerPolling = stored.m_bAvailableServerPolling;
    pUpdateInfo->m_eCheckMode = stored.m_eCheckMode;
    return S_OK;
}

HRESULT CZepUpdateInfoManagerImpl::GetVersionOfUpdatedSoftware(BSTR bstrServiceID, BSTR* pUpdateVer)
{
    const HRESULT hr = CheckServiceId(bstrServiceID);
    if (FAILED(hr))
        return hr;
    if (!pUpdateVer)
        return E_POINTER;
    *pUpdateVer = nullptr;
    return ReplaceBstr(*pUpdateVer, m_newVersionInfo.m_stDownloadSoftwareInfos[0].m_bstrNewVersion);
}

HRESULT CZepUpdateInfoManagerImpl::SendUpdateResult(BSTR bstrServiceID, const ZEP_UPDATED_RESULT* pInfo)
{
    if (!pInfo)
        return E_POINTER;
    const std::wstring strName = BstrText(pInfo->m_bstrSoftwareName);
    const std::wstring strAgent =
        AgentText(std::wstring(kClientVersion) + L"#" + (strName.empty() ? L"-" : strName) + L"#" +
                  BstrText(pInfo->m_bstrVersion) + L"#" + FormatString(L"%02d", pInfo->m_nResult) + L"#" +
                  BstrText(pInfo->m_bstrDetail));
    const wchar_t* pszStatus = pInfo->m_nResult == 0 ? L"success" : L"fail";
    const std::wstring strUrl = m_bstrBaseUrl.ToString() + BstrText(pInfo->m_bstrCategory) + L"/" +
                                BstrText(bstrServiceID) + L"/notification/" + pszStatus + L".log";
    if (strUrl.size() >= kMaxUrlChars)
        return E_INVALIDARG;
    return AccessOnce(strAgent, strUrl);
}

HRESULT CZepUpdateInfoManagerImpl::Terminate()
{
    RemoveFromList();
    return S_OK;
}

void CZepUpdateInfoManagerImpl::RemoveFromList() noexcept
{
    if (!m_bRegistered)
        return;
    try
    {
        m_serviceList.Remove(m_strRegisteredId);
    }
    catch (...)
    {
    }
    m_bRegistered = false;
}
