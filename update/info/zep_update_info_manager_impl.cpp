#include "update/info/zep_update_info_manager_impl.h"

#include <shlobj.h>

#include "common/error_macros.h"
#include "common/file_util.h"
#include "common/folder_security.h"
#include "common/scope_exit.h"
#include "common/string_util.h"
#include "update/download/download_codes.h"
#include "update/download/download_file_name.h"
#include "update/download/user_download_folder.h"
#include "update/info/info_log.h"
#include "update/info/info_signature.h"
#include "update/info/signature_serial_store.h"
#include "update/info/trusted_update_keys.h"
#include "update/info/zep_update_info_errors.h"

namespace
{
const wchar_t kClientVersion[] = L"1.0";
const size_t kMaxUrlChars = 4096;
// Far above any information file; a larger answer is not read into memory.
const DWORD kMaxInfoFileBytes = 64 * 1024 * 1024;

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
      m_bChecking(false),
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
    // A check started from this check's own CheckVersion handler (same thread, so the lock lets
    // it in) would take the running check's place in the list and reload the analyzer under its
    // evaluation: it is refused as any check of a service in progress is.
    if (m_bChecking)
        return ZEP_E_SERVICE_BUSY;
    m_bChecking = true;
    const auto checkEnds = MakeScopeExit([this] { m_bChecking = false; });
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

    // The user's own folder of the service, held until both files have been read and removed.
    CUserDownloadFolder folder;
    hr = folder.Open(m_strDataFolder, ServiceFolderName(strServiceId));
    if (FAILED(hr))
    {
        log.Trace(FormatString(L"Download folder refused 0x%08X", static_cast<unsigned>(hr)));
        return hr = MapDownloadResult(E_DL_CREATE_FOLDER);
    }
    std::string info;
    hr = FetchFile(strAgent, folder, strUrl, kMaxInfoFileBytes, log, info);
    if (FAILED(hr))
        return hr;
    ULONGLONG ullSerial = 0;
    hr = CheckSignature(strAgent, folder, strUrl + L".sig", info, strCategory, log, ullSerial);
    if (FAILED(hr))
        return hr;

    ZepXmlParseError parseError;
    hr = m_analyzer.LoadBytes(reinterpret_cast<const BYTE*>(info.data()), info.size(), strServiceId.c_str(), strCategory.c_str(), &parseError);
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
    // Only a file that was wholly accepted raises the serial an older file is refused below.
    if (FAILED(SignatureSerialStore::Accept(strServiceId, ullSerial)))
        log.Trace(L"The accepted signature serial cannot be stored");
    return hr = S_OK;
}

HRESULT CZepUpdateInfoManagerImpl::FetchFile(const std::wstring& strAgent, const CUserDownloadFolder& folder,
                                             const std::wstring& strUrl, DWORD cbMax, CInfoMethodLog& log,
                                             std::string& bytes)
{
    bytes.clear();
    HRESULT hr = m_downloader.Initialize(strAgent.c_str(), nullptr, nullptr);
    if (FAILED(hr))
        return hr;
    m_downloader.SetDownloadFolder(folder.Path().c_str());
    m_downloader.SetKeepFile(true);
    hr = m_downloader.Download(strUrl.c_str(), 0);
    log.Trace(FormatString(L"Down load result hr = 0x%08X", static_cast<unsigned>(hr)));
    UniqueHandle file = m_downloader.TakeFile();
    m_downloader.CloseHandles();
    wchar_t szPath[MAX_PATH] = {};
    const HRESULT hrPath = m_downloader.GetFilePath(szPath, MAX_PATH);
    if (FAILED(hr))
        return MapDownloadResult(hr);
    // The bytes are read through the handle the download wrote with, which nobody else may write
    // to, and the path is never opened again.
    hr = HRESULT_FROM_WIN32(ReadWholeFile(file.Get(), bytes, cbMax));
    file.Reset();
    if (SUCCEEDED(hrPath))
        ::DeleteFileW(szPath);
    if (FAILED(hr))
    {
        log.Error(L"File:Read Failed");
        log.ErrorPrintf(L"- (HRESULT value=0x%08X)", static_cast<unsigned>(hr));
        log.ErrorPrintf(L"- (url:%s)", strUrl.c_str());
        return ZEP_E_INFO_FILE_INVALID;
    }
    return S_OK;
}

HRESULT CZepUpdateInfoManagerImpl::CheckSignature(const std::wstring& strAgent, const CUserDownloadFolder& folder,
                                                  const std::wstring& strSigUrl, const std::string& info,
                                                  const std::wstring& strCategory, CInfoMethodLog& log,
                                                  ULONGLONG& ullSerial)
{
    ullSerial = 0;
    std::string strSignature;
    HRESULT hr = FetchFile(strAgent, folder, strSigUrl, InfoSignature::kMaxSignatureFileBytes, log, strSignature);
    // Only an answer that there is no such file counts as a missing signature; a network
    // failure is reported as one.
    if (FAILED(hr) && hr != ZEP_E_INFO_NOT_FOUND)
        return hr;

    const std::wstring strServiceId = m_bstrServiceId.ToString();
    InfoSignature::Request request;
    request.pInfo = &info;
    request.pSignature = SUCCEEDED(hr) ? &strSignature : nullptr;
    request.strService = strServiceId;
    request.strCategory = strCategory;
    ::GetSystemTimeAsFileTime(&request.ftNow);
    request.ullHighestSerial = SignatureSerialStore::Highest(strServiceId);
    request.pKeys = &TrustedUpdateKeys();
    InfoSignature::Outcome outcome;
    hr = InfoSignature::Check(request, outcome);
    if (FAILED(hr))
    {
        log.Error(L"Signature:Cannot Verify");
        log.ErrorPrintf(L"- (HRESULT value=0x%08X)", static_cast<unsigned>(hr));
        return ZEP_E_INFO_HEADER_INVALID;
    }
    if (outcome.eVerdict != InfoSignature::EVerdict::Valid)
    {
        log.Error(outcome.strErrorLine.c_str());
        log.Error(outcome.strDetailLine.c_str());
        return ZEP_E_INFO_HEADER_INVALID;
    }
    ullSerial = outcome.ullSerial;
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
    ZEP_NEW_VERSION_INFO details = m_newVersionInfo;
    CScopedBstr bstrDetail(ToCrLf(TrimSpace(BstrText(m_newVersionInfo.m_bstrUpdateDetail))));
    if (!bstrDetail.Get())
        return E_OUTOFMEMORY;
    // The stored record lends its strings for the copy; only the description is its own text.
    details.m_bstrUpdateDetail = bstrDetail.Get();
    return ZepCopyNewVersionInfo(details, pUpdateInfo);
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
