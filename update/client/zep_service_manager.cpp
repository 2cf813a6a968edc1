#include "update/client/zep_service_manager.h"

#include <shellapi.h>

#include <cwchar>
#include <new>

#include "common/com_object.h"
#include "common/error_macros.h"
#include "common/product_keys.h"
#include "common/registry.h"
#include "update/client/client_method_log.h"
#include "update/client/installer_packages.h"
#include "update/client/package_digest.h"
#include "update/client/package_trust.h"
#include "update/client/res/client_res_ids.h"
#include "update/client/service_status.h"
#include "update/info/four_part_version.h"

using Microsoft::WRL::ComPtr;

namespace
{
// The update server when the registry names none. HTTPS: the information file's digest is
// salted with public text, not keyed, so only the channel can vouch for file and package.
const wchar_t kDefaultBaseUrl[] = L"https://update.velomar-players.example/";
const wchar_t kClientKey[] = ZEP_PRODUCT_KEY L"\\Auto Update Client";
const wchar_t kEndMarkerKey[] = ZEP_PRODUCT_KEY L"\\Auto Update END\\";
const wchar_t kDebugBaseUrlValue[] = L"_Dbg_Info_";
const wchar_t kPollingStatusValue[] = L"PollingStatus";
const wchar_t kLastUpdateStatusValue[] = L"LastUpdateStatus";
// An update is taken to last this long per this many bytes of package.
const ULONGLONG kUpdateMsPerUnit = 60000;
const ULONGLONG kUpdateUnitBytes = 10485760;

bool Equal(const wchar_t* pszA, const wchar_t* pszB)
{
    return _wcsicmp(pszA ? pszA : L"", pszB ? pszB : L"") == 0;
}

std::wstring Text(BSTR bstr)
{
    return bstr ? std::wstring(bstr, ::SysStringLen(bstr)) : std::wstring();
}

BSTR Alloc(const std::wstring& str)
{
    BSTR bstr = ::SysAllocStringLen(str.data(), static_cast<UINT>(str.size()));
    if (!bstr)
        throw std::bad_alloc();
    return bstr;
}

void Free(BSTR& bstr) noexcept
{
    ::SysFreeString(bstr);
    bstr = nullptr;
}

std::wstring WithoutBlanks(const std::wstring& str)
{
    std::wstring out;
    for (wchar_t ch : str)
    {
        if (ch != L' ' && ch != L'\t')
            out += ch;
    }
    return out;
}

// The key of one service (and player) below the client key; a missing serial number adds
// nothing rather than an empty key name.
std::wstring ServiceKey(const std::wstring& strService, const std::wstring& strSerial)
{
    std::wstring strKey = std::wstring(kClientKey) + L"\\" + strService;
    if (!strSerial.empty())
        strKey += L"\\" + strSerial;
    return strKey;
}

std::wstring ReadText(const std::wstring& strKey, const wchar_t* pszName, const wchar_t* pszDefault)
{
    std::wstring strValue;
    if (FAILED(Registry::ReadString(HKEY_LOCAL_MACHINE, strKey.c_str(), pszName, strValue)))
        return pszDefault ? pszDefault : L"";
    return strValue;
}

HRESULT WriteEndMarker(const std::wstring& strService)
{
    const std::wstring strKey = kEndMarkerKey + strService;
    UniqueHKey key;
    RETURN_IF_WIN32_ERROR(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, strKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                            nullptr, key.Receive(), nullptr));
    const wchar_t szEmpty[] = L"";
    RETURN_IF_WIN32_ERROR(
        ::RegSetValueExW(key.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(szEmpty), sizeof(szEmpty)));
    RETURN_IF_WIN32_ERROR(::RegFlushKey(key.Get()));
    return S_OK;
}

std::wstring LoadText(HINSTANCE hResources, UINT uId)
{
    const wchar_t* psz = nullptr;
    const int cch = ::LoadStringW(hResources, uId, reinterpret_cast<wchar_t*>(&psz), 0);
    return cch > 0 && psz ? std::wstring(psz, cch) : std::wstring();
}

HRESULT OpenWithShell(const std::wstring& strPath, UniqueHandle& process)
{
    SHELLEXECUTEINFOW info = {sizeof(info)};
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = L"open";
    info.lpFile = strPath.c_str();
    info.nShow = SW_SHOWNORMAL;
    const BOOL bStarted = ::ShellExecuteExW(&info);
    const DWORD dwError = ::GetLastError();
    process.Reset(info.hProcess);
    const INT_PTR nResult = reinterpret_cast<INT_PTR>(info.hInstApp);
    if (bStarted && nResult > 32)
        return S_OK;
    process.Reset();
    return dwError != ERROR_SUCCESS ? HRESULT_FROM_WIN32(dwError) : HRESULT_FROM_WIN32(static_cast<DWORD>(nResult));
}

// A thread of the service that uses the components from outside the main thread.
class CThreadComScope
{
public:
    CThreadComScope() : m_hr(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~CThreadComScope()
    {
        if (SUCCEEDED(m_hr))
            ::CoUninitialize();
    }

private:
    HRESULT m_hr;
};
}  // namespace

// The sink of the update information manager's events: only CheckVersion is answered.
class CZepServiceManager::CEventSink final : public IDispatch, public CComRefCount<CEventSink>
{
public:
    explicit CEventSink(CZepServiceManager* pOwner) : m_pOwner(pOwner) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        static const QITAB qit[] = {
            QITABENT(CEventSink, IDispatch),
            {&DIID__IZepUpdateInfoManagerEvents, OFFSETOFCLASS(IDispatch, CEventSink)},
            {nullptr, 0},
        };
        return QISearch(this, qit, riid, ppv);
    }
    ZEP_IMPLEMENT_IUNKNOWN_REFCOUNT()
    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override
    {
        if (pctinfo)
            *pctinfo = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID dispId, REFIID, LCID, WORD, DISPPARAMS* pParams, VARIANT* pResult, EXCEPINFO*,
                        UINT*) override
    {
        if (dispId != 1)
            return DISP_E_MEMBERNOTFOUND;
        if (!pParams || pParams->cArgs < 3)
            return DISP_E_BADPARAMCOUNT;
        // Arguments arrive last first: the rule, the rule's version, the current version.
        VARIANT rule, second, first;
        ::VariantInit(&rule);
        ::VariantInit(&second);
        ::VariantInit(&first);
        const UINT iBase = pParams->cArgs - 3;
        HRESULT hr = ::VariantChangeType(&rule, &pParams->rgvarg[iBase + 2], 0, VT_I4);
        if (SUCCEEDED(hr))
            hr = ::VariantChangeType(&second, &pParams->rgvarg[iBase + 1], 0, VT_BSTR);
        if (SUCCEEDED(hr))
            hr = ::VariantChangeType(&first, &pParams->rgvarg[iBase], 0, VT_BSTR);
        LONG lAnswer = hr;
        if (SUCCEEDED(hr))
            lAnswer = m_pOwner->CheckVersion(first.bstrVal, second.bstrVal, rule.lVal);
        ::VariantClear(&rule);
        ::VariantClear(&second);
        ::VariantClear(&first);
        if (pResult)
        {
            ::VariantClear(pResult);
            pResult->vt = VT_I4;
            pResult->lVal = lAnswer;
        }
        return S_OK;
    }

private:
    friend class CComRefCount<CEventSink>;
    ~CEventSink() override = default;

    CZepServiceManager* m_pOwner;
};

// Everything one service owns while it runs.
struct CZepServiceManager::CServiceRun
{
    CServiceRun()
    {
        ::ZeroMemory(&current, sizeof(current));
        ::ZeroMemory(&newInfo, sizeof(newInfo));
        ::ZeroMemory(&confirm, sizeof(confirm));
    }
    ~CServiceRun()
    {
        BSTR* currentStrings[] = {&current.m_bstrModel,         &current.m_bstrCategory,
                                  &current.m_bstrCurrentVersion, &current.m_bstrSerialNumber,
                                  &current.m_bstrExtensionKey,   &current.m_bstrClientVersion,
                                  &current.m_bstrLanguageCode,   &current.m_bstrNationCode,
                                  &current.m_bstrLastUpdateStatus};
        for (BSTR* p : currentStrings)
            Free(*p);
        Free(newInfo.m_bstrUpdateDetail);
        for (ZEP_DOWNLOAD_SOFTWARE_INFO& package : newInfo.m_stDownloadSoftwareInfos)
        {
            Free(package.m_bstrSoftwareName);
            Free(package.m_bstrNewVersion);
            Free(package.m_bstrURL);
            Free(package.m_bstrMac);
        }
        Free(confirm.m_bstrServiceID);
        Free(confirm.m_bstrAppName);
        Free(confirm.m_bstrUpdateDetail);
        Free(confirm.m_bstrURL);
    }
    CServiceRun(const CServiceRun&) = delete;
    CServiceRun& operator=(const CServiceRun&) = delete;

    ZEP_CURRENT_VERSION_INFO current;
    ZEP_NEW_VERSION_INFO newInfo;
    ZEP_UPDATED_INFO confirm;
    std::wstring strService;
    std::wstring strSerial;
    std::wstring strSoftwareName;
    std::wstring strAppName;
    bool bManual = false;
    bool bFirmware = false;
    bool bInstalled = false;
    bool bKeepPackage = false;  // a started installer may still need it
    bool bConfirmShown = false;
    bool bDownloadStarted = false;
    bool bBoxPrepared = false;
    bool bBoxShown = false;
    HRESULT hrBox = S_OK;
    // The downloaded package, held open against writing and deletion from its size check
    // until it has been handed on.
    UniqueHandle package;
};

// What a thread that drives a modal window of the service uses, owned with it.
struct CZepServiceManager::CWindowThread
{
    ComPtr<IZepAutoUpdateGUI> gui;
    ComPtr<IZepSoftwareDownloadManager> download;
    CScopedBstr bstrServiceId;
    CScopedBstr bstrPackageUrl;
    DWORD dwIntervalMs = 1000;
    ULONGLONG ullTotalSize = 0;
    // Plain 32-bit values, each written by one side.
    volatile LONG bShowReturned = FALSE;  // the window's show call has returned
    volatile LONG bClosedByUser = FALSE;
    volatile LONG hrDownload = S_OK;
    volatile LONG bFirmwareDone = FALSE;

    // The GUI keeps a close that comes before its window exists only once the show call has
    // begun; before that it answers S_FALSE (no window) and the close would be lost, leaving
    // the modal window open for ever. So ask until the window has taken it.
    template <class Close>
    void CloseWindow(Close close)
    {
        while (close() == S_FALSE && !bShowReturned)
            ::Sleep(20);
    }
};

CZepServiceManager::CZepServiceManager(HINSTANCE hResources, Seams seams)
    : m_hResources(hResources), m_seams(std::move(seams))
{
    if (!m_seams.startInstaller)
        m_seams.startInstaller = OpenWithShell;
    if (!m_seams.showErrorBox)
    {
        m_seams.showErrorBox = [this](UINT, UINT uIcon, const std::wstring& strText) {
            const std::wstring strCaption = LoadText(m_hResources, IDS_ZEPHELPER_CAPTION);
            ::MessageBoxW(nullptr, strText.c_str(), strCaption.c_str(), MB_OK | uIcon);
        };
    }
}

CZepServiceManager::~CZepServiceManager()
{
    Terminate();
}

HRESULT CZepServiceManager::Init()
{
    long lResult = S_OK;
    CClientMethodLog log(L"CZepServiceManager::Init", &lResult);
    HRESULT hr = m_firmware.Bind(m_seams.strFirmwareLibrary.c_str());
    log.TracePrintf(L"Drenlox hr 0x%x", hr);

    ComPtr<IZepAutoUpdateGUI> gui;
    hr = ::CoCreateInstance(CLSID_ZepAutoUpdateGUI, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&gui));
    log.TracePrintf(L"GUILIB hr 0x%x", hr);
    if (SUCCEEDED(hr) && !gui)
        hr = E_FAIL;
    if (FAILED(hr))
        return lResult = hr;
    ComPtr<IZepSoftwareDownloadManager> download;
    hr = ::CoCreateInstance(CLSID_ZepSoftwareDownloadManager, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&download));
    log.TracePrintf(L"Download hr 0x%x", hr);
    if (SUCCEEDED(hr) && !download)
        hr = E_FAIL;
    if (FAILED(hr))
        return lResult = hr;
    ComPtr<IZepUpdateInfoManager> info;
    hr = ::CoCreateInstance(CLSID_ZepUpdateInfoManager, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&info));
    log.TracePrintf(L"UpdateInfo hr 0x%x", hr);
    if (SUCCEEDED(hr) && !info)
        hr = E_FAIL;
    if (FAILED(hr))
        return lResult = hr;
    m_gui = gui;
    m_download = download;
    m_info = info;
    hr = Subscribe();
    log.TracePrintf(L"DispEventAdvise hr 0x%x", hr);
    if (SUCCEEDED(hr))
        InstallerPackages::RemoveFinished();
    return lResult = hr;
}

HRESULT CZepServiceManager::InitWith(IZepAutoUpdateGUI* pGui, IZepSoftwareDownloadManager* pDownload,
                                     IZepUpdateInfoManager* pInfo)
{
    RETURN_HR_IF(E_POINTER, !pGui || !pDownload || !pInfo);
    const HRESULT hrBind = m_firmware.Bind(m_seams.strFirmwareLibrary.c_str());
    (void)hrBind;
    m_gui = pGui;
    m_download = pDownload;
    m_info = pInfo;
    RETURN_IF_FAILED(Subscribe());
    InstallerPackages::RemoveFinished();
    return S_OK;
}

HRESULT CZepServiceManager::Subscribe()
{
    ComPtr<IConnectionPointContainer> container;
    RETURN_IF_FAILED(m_info.As(&container));
    ComPtr<IConnectionPoint> point;
    RETURN_IF_FAILED(container->FindConnectionPoint(DIID__IZepUpdateInfoManagerEvents, &point));
    CEventSink* pSink = new (std::nothrow) CEventSink(this);
    RETURN_HR_IF_NULL(E_OUTOFMEMORY, pSink);
    const HRESULT hr = point->Advise(pSink, &m_dwEventCookie);
    pSink->Release();
    RETURN_IF_FAILED(hr);
    m_eventPoint = point;
    ::ZeroMemory(&m_device, sizeof(m_device));
    return S_OK;
}

void CZepServiceManager::Terminate() noexcept
{
    if (m_eventPoint)
    {
        m_eventPoint->Unadvise(m_dwEventCookie);
        m_eventPoint.Reset();
        m_dwEventCookie = 0;
    }
    if (m_info)
        m_info->Terminate();
    m_info.Reset();
    m_download.Reset();
    m_gui.Reset();
    m_firmware.Unbind();
}

HRESULT CZepServiceManager::QueryPlayer(ZEP_DEVICE_INFO& info) const
{
    return m_firmware.QueryDevice(info);
}

bool CZepServiceManager::PrepareErrorBox(CServiceRun& run, HRESULT hr) const
{
    if (hr == ZEP_E_DECLINED)
        return false;
    run.bBoxPrepared = true;
    run.hrBox = hr;
    return true;
}

void CZepServiceManager::ShowPreparedBox(HRESULT hr) const
{
    UINT uId = IDS_ZEPHELPER_FAILED_CODE;
    UINT uIcon = MB_ICONERROR;
    switch (hr)
    {
    case ZEP_E_NO_PLAYER: uId = IDS_ZEPHELPER_NO_PLAYER; uIcon = 0; break;
    case ZEP_E_PLAYER_UNUSABLE: uId = IDS_ZEPHELPER_PLAYER_UNUSABLE; break;
    case ZEP_E_MANY_PLAYERS: uId = IDS_ZEPHELPER_MANY_PLAYERS; uIcon = 0; break;
    case ZEP_E_PLAYER_NOT_BACK: uId = IDS_ZEPHELPER_UPDATE_TIMEOUT; break;
    case E_OUTOFMEMORY: uId = IDS_ZEPHELPER_OUT_OF_MEMORY; uIcon = 0; break;
    default: break;
    }
    std::wstring strText = LoadText(m_hResources, uId);
    if (uId == IDS_ZEPHELPER_FAILED_CODE)
    {
        wchar_t szText[512];
        // The format comes from our own resource library and takes exactly one number.
        _snwprintf(szText, _countof(szText) - 1, strText.c_str(), static_cast<unsigned>(hr));
        szText[_countof(szText) - 1] = L'\0';
        strText = szText;
    }
    m_seams.showErrorBox(uId, uIcon, strText);
}

void CZepServiceManager::ShowErrorBox(const CServiceRun& run) const
{
    ShowPreparedBox(run.hrBox);
}

HRESULT CZepServiceManager::Execute(int nIndex, int nCount)
{
    long lResult = S_OK;
    CClientMethodLog log(L"CZepServiceManager::Execute", &lResult);
    m_monitorThread.Reset();
    m_workerThread.Reset();
    m_progressThread.Reset();
    m_bUpdateAvailable = false;
    m_bInfoOnly = false;
    m_nCategoryKind = -1;
    m_nFirmwareService = -1;
    m_ullTotalSize = 0;
    HRESULT hr = S_OK;
    try
    {
        CServiceRun run;
        if (!m_pCommandLine || !m_gui || !m_download || !m_info || nIndex < 0 || nIndex >= nCount)
            hr = E_UNEXPECTED;
        else
            hr = RunService(run, nIndex);
        if (FAILED(hr))
            log.ErrorPrintf(L"hr 0x%x", hr);
        if (m_gui)
            Complete(run, hr, nIndex, nCount);
    }
    catch (const std::bad_alloc&)
    {
        hr = E_OUTOFMEMORY;
        log.ErrorPrintf(L"hr 0x%x", hr);
    }
    m_monitorThread.Reset();
    m_workerThread.Reset();
    m_progressThread.Reset();
    m_updateWindow.reset();
    m_bstrServiceId.Reset();
    m_bstrPackageUrl.Reset();
    lResult = hr;
    return hr;
}

HRESULT CZepServiceManager::RunService(CServiceRun& run, int nIndex)
{
    CZepCommandLineInfo& cmd = *m_pCommandLine;
    const wchar_t* pszMode = cmd.Value(0, L'M');
    if (!Equal(pszMode, L"AUTO") && !Equal(pszMode, L"MANUAL"))
        return ZEP_E_INVALID_ARGUMENTS;
    run.bManual = !Equal(pszMode, L"AUTO");

    const wchar_t* pszKind = cmd.Value(nIndex, L'F');
    if (Equal(pszKind, L"INFO"))
        m_bInfoOnly = true;
    else if (!Equal(pszKind, L"UPDATE"))
        return ZEP_E_INVALID_ARGUMENTS;

    const std::wstring strCategory = cmd.Value(nIndex, L'C');
    if (strCategory.empty() || !*cmd.Value(nIndex, L'S') || !*cmd.Value(nIndex, L'E'))
        return ZEP_E_INVALID_ARGUMENTS;
    m_nCategoryKind = strCategory == L"PA001" ? 1 : (strCategory == L"PP001" ? 0 : -1);
    if (!*cmd.Value(nIndex, L'N') && !m_bInfoOnly && m_nCategoryKind != 1)
        return ZEP_E_INVALID_ARGUMENTS;
    m_nFirmwareService = std::wstring(cmd.Value(nIndex, L'S')) == L"VLFW" ? 0 : -1;

    ZEP_CURRENT_VERSION_INFO& current = run.current;
    if (m_nCategoryKind != 1)
    {
        current.m_bstrCategory = Alloc(strCategory);
        current.m_bstrCurrentVersion = Alloc(cmd.Value(nIndex, L'E'));
        current.m_bstrSerialNumber = Alloc(cmd.Value(nIndex, L'L'));
        current.m_bstrExtensionKey = Alloc(L"");
        current.m_bstrModel = Alloc(cmd.Value(nIndex, L'N'));
        current.m_nProductMode = 0;
        run.strSoftwareName = cmd.Value(nIndex, L'N');
        run.strSerial = cmd.Value(nIndex, L'L');
        run.bFirmware = false;
    }
    else if (m_nFirmwareService == 0)
    {
        const HRESULT hr = QueryPlayer(m_device);
        if (FAILED(hr))
        {
            PrepareErrorBox(run, hr);
            return hr;
        }
        cmd.SetValue(nIndex, L'S', DeviceField(m_device.szServiceId).c_str());
        const std::wstring strModel = WithoutBlanks(DeviceField(m_device.szModelName));
        current.m_bstrCategory = Alloc(strCategory);
        current.m_bstrModel = Alloc(strModel);
        current.m_bstrCurrentVersion = Alloc(DeviceField(m_device.szFirmwareVersion));
        current.m_bstrSerialNumber = Alloc(DeviceField(m_device.szDeviceId));
        current.m_bstrExtensionKey = Alloc(L"");
        current.m_nProductMode = 0;
        run.strSoftwareName = strModel;
        run.strSerial = DeviceField(m_device.szDeviceId);
        run.bFirmware = true;
    }
    run.strService = cmd.Value(nIndex, L'S');
    m_bstrServiceId = CScopedBstr(run.strService);
    if (!m_bstrServiceId.Get())
        return E_OUTOFMEMORY;

    const std::wstring strServiceKey = ServiceKey(run.strService, run.strSerial);
    const std::wstring strPolling = ReadText(strServiceKey, kPollingStatusValue, L"AUTO");
    if (Equal(strPolling.c_str(), L"CLOSE"))
        return 1;
    if (Equal(strPolling.c_str(), L"MANUAL") && !run.bManual)
        return 1;
    current.m_bstrLastUpdateStatus = Alloc(ReadText(strServiceKey, kLastUpdateStatusValue, L"00"));
    RETURN_IF_FAILED(m_info->SetUpdateCheckingMode(m_bstrServiceId,
                                                   Equal(strPolling.c_str(), L"MANUAL") ? eMANUAL : eAUTO));

    const std::wstring strBaseUrl = ReadText(kClientKey, kDebugBaseUrlValue, kDefaultBaseUrl);
    {
        long lIgnored = 0;
        CClientMethodLog urlLog(L"CZepServiceManager::Execute", &lIgnored);
        urlLog.TracePrintf(L"strBaseURL %s", strBaseUrl.c_str());
    }
    CScopedBstr bstrBaseUrl(strBaseUrl);
    RETURN_IF_FAILED(m_info->SetBaseURL(bstrBaseUrl));

    long lExists = 0;
    RETURN_IF_FAILED(m_info->CheckWhetherUpdateExists(m_bstrServiceId, &current, &lExists));
    RETURN_IF_FAILED(m_info->GetUpdateDetails(m_bstrServiceId, &run.newInfo));
    if (!lExists)
        return 1;

    m_bUpdateFound = true;
    const ZEP_NEW_VERSION_INFO& newInfo = run.newInfo;
    const int nPackages = newInfo.m_nInfoSize < 0 ? 0
                          : newInfo.m_nInfoSize > ZEP_MAX_DOWNLOAD_SOFTWARE ? ZEP_MAX_DOWNLOAD_SOFTWARE
                                                                            : newInfo.m_nInfoSize;
    ULONGLONG ullTotal = 0;
    for (int i = 0; i < nPackages; ++i)
        ullTotal += newInfo.m_stDownloadSoftwareInfos[i].m_dwSize;
    m_ullTotalSize = m_bInfoOnly ? 0 : ullTotal;
    run.strAppName = (m_nCategoryKind != 1 || m_nFirmwareService != 0)
                         ? (run.strSoftwareName.empty() ? std::wstring(cmd.Value(nIndex, L'N')) : run.strSoftwareName)
                         : LoadText(m_hResources, IDS_ZEPHELPER_PRODUCT_NAME);
    ZEP_UPDATED_INFO& confirm = run.confirm;
    confirm.m_bstrServiceID = Alloc(run.strService);
    confirm.m_bstrAppName = Alloc(run.strAppName);
    confirm.m_bstrUpdateDetail = Alloc(Text(newInfo.m_bstrUpdateDetail));
    // A total beyond 32 bits cannot be shown; such a package fails its size check anyway.
    confirm.m_dwSize = m_bInfoOnly ? 0 : static_cast<unsigned long>(ullTotal > 0xFFFFFFFFULL ? 0xFFFFFFFFULL : ullTotal);
    confirm.m_bReboot = newInfo.m_bReboot;
    confirm.m_bFirmware = run.bFirmware ? 1 : 0;
    m_bUpdateAvailable = true;
    m_bstrPackageUrl = CScopedBstr(Text(newInfo.m_stDownloadSoftwareInfos[0].m_bstrURL));

    ULONG ulAccepted = 0;
    if (m_bInfoOnly)
    {
        confirm.m_bInfoOnly = 1;
        confirm.m_bstrURL = Alloc(Text(m_bstrPackageUrl.Get()));
        run.bConfirmShown = true;
        const HRESULT hr = m_gui->ShowUpdateConfirmationWindow(&confirm, &ulAccepted);
        if (SUCCEEDED(hr) && ulAccepted)
        {
            // The person has seen the notice: that is the service's outcome. A marker that
            // cannot be written only means the notice may be offered again.
            const HRESULT hrMarker = WriteEndMarker(run.strService);
            if (FAILED(hrMarker))
            {
                long lIgnored = 0;
                CClientMethodLog markerLog(L"CZepServiceManager::Execute", &lIgnored);
                markerLog.ErrorPrintf(L"End marker not written hr 0x%x", hrMarker);
            }
        }
        return hr;
    }
    confirm.m_bInfoOnly = 0;
    run.bConfirmShown = true;
    RETURN_IF_FAILED(m_gui->ShowUpdateConfirmationWindow(&confirm, &ulAccepted));
    if (!ulAccepted)
        return ZEP_E_DECLINED;
    RETURN_IF_FAILED(DownloadPackage(run));
    return VerifyAndInstall(run);
}

HRESULT CZepServiceManager::DownloadPackage(CServiceRun& run)
{
    run.bDownloadStarted = true;
    RETURN_IF_FAILED(m_download->DownloadSoftwareUpdate(m_bstrServiceId, m_bstrPackageUrl));
    const std::shared_ptr<CWindowThread> monitor = NewWindowThread();
    RETURN_IF_FAILED(StartWindowThread(DownloadMonitorThread, monitor, m_monitorThread));
    const HRESULT hrWindow = m_gui->ShowDownloadProgressBar(m_bstrServiceId);
    monitor->bShowReturned = TRUE;
    long lClosed = 0;
    if (SUCCEEDED(m_gui->IsDownloadCanceled(m_bstrServiceId, &lClosed)) && lClosed)
    {
        // Closing the window ends the download too (it keeps its partial file for resuming).
        monitor->bClosedByUser = TRUE;
        m_download->AbortDownloading(m_bstrServiceId);
    }
    if (FAILED(hrWindow))
    {
        // Without the window nothing tells the monitor to stop: stop the download for it.
        monitor->bClosedByUser = TRUE;
        m_download->AbortDownloading(m_bstrServiceId);
    }
    // The monitor has closed the window or seen it closed; let it finish its last call.
    ::WaitForSingleObject(m_monitorThread.Get(), 10 * m_seams.dwMonitorIntervalMs + 5000);
    RETURN_IF_FAILED(hrWindow);
    RETURN_IF_FAILED(static_cast<HRESULT>(monitor->hrDownload));
    long lStatus = 0;
    long lResult = S_OK;
    RETURN_IF_FAILED(m_download->GetDownloadStatus(&lStatus, &lResult));
    RETURN_IF_FAILED(static_cast<HRESULT>(lResult));
    // A window closed by the user is a canceled download, whatever the manager last said.
    RETURN_HR_IF(ZEP_E_DOWNLOAD_CANCELED, monitor->bClosedByUser);
    long lIgnored = 0;
    CClientMethodLog log(L"CZepServiceManager::Execute", &lIgnored);
    log.TracePrintf(L"Download status is OK");
    return S_OK;
}

std::shared_ptr<CZepServiceManager::CWindowThread> CZepServiceManager::NewWindowThread() const
{
    auto state = std::make_shared<CWindowThread>();
    state->gui = m_gui;
    state->download = m_download;
    state->bstrServiceId = CScopedBstr(Text(m_bstrServiceId.Get()));
    state->bstrPackageUrl = CScopedBstr(Text(m_bstrPackageUrl.Get()));
    if (!state->bstrServiceId.Get() || !state->bstrPackageUrl.Get())
        throw std::bad_alloc();
    state->dwIntervalMs = m_seams.dwMonitorIntervalMs;
    state->ullTotalSize = m_ullTotalSize;
    return state;
}

HRESULT CZepServiceManager::StartWindowThread(LPTHREAD_START_ROUTINE pfnThread,
                                              const std::shared_ptr<CWindowThread>& state, UniqueHandle& thread)
{
    auto* pOwned = new (std::nothrow) std::shared_ptr<CWindowThread>(state);
    RETURN_HR_IF_NULL(E_OUTOFMEMORY, pOwned);
    thread.Reset(::CreateThread(nullptr, 0, pfnThread, pOwned, 0, nullptr));
    if (!thread)
    {
        const HRESULT hr = HResultFromLastError();
        delete pOwned;
        return hr;
    }
    return S_OK;
}

DWORD WINAPI CZepServiceManager::DownloadMonitorThread(void* pContext)
{
    const std::unique_ptr<std::shared_ptr<CWindowThread>> state(static_cast<std::shared_ptr<CWindowThread>*>(pContext));
    MonitorDownload(**state);
    return 0;
}

void CZepServiceManager::MonitorDownload(CWindowThread& state)
{
    CThreadComScope com;
    IZepAutoUpdateGUI* pGui = state.gui.Get();
    IZepSoftwareDownloadManager* pDownload = state.download.Get();
    BSTR bstrService = state.bstrServiceId.Get();
    ULONG ulPercentage = 0;
    HRESULT hrResult = S_OK;
    bool bRestarted = false;
    while (ulPercentage < 100)
    {
        ::Sleep(state.dwIntervalMs);
        if (state.bClosedByUser)
        {
            state.hrDownload = hrResult;
            return;
        }
        long lSelected = 0;
        if (SUCCEEDED(pGui->IsDownloadCancelIsSelected(bstrService, &lSelected)) && lSelected)
        {
            pDownload->AbortDownloading(bstrService);
            do
            {
                ::Sleep(500);
                lSelected = 0;
            } while (SUCCEEDED(pGui->IsDownloadCancelIsSelected(bstrService, &lSelected)) && lSelected);
            long lClosed = 0;
            if (state.bClosedByUser || (SUCCEEDED(pGui->IsDownloadCanceled(bstrService, &lClosed)) && lClosed))
            {
                state.bClosedByUser = TRUE;
                state.hrDownload = hrResult;
                return;
            }
            pDownload->DownloadSoftwareUpdate(bstrService, state.bstrPackageUrl.Get());
            bRestarted = true;
        }
        ULONG ulNow = 0;
        if (SUCCEEDED(pDownload->GetDownloadProgressPercentage(bstrService, &ulNow)))
            ulPercentage = ulNow;
        long lStatus = 0;
        long lResult = S_OK;
        const HRESULT hrStatus = pDownload->GetDownloadStatus(&lStatus, &lResult);
        hrResult = FAILED(hrStatus) ? hrStatus : static_cast<HRESULT>(lResult);
        if (bRestarted && hrResult == ZEP_E_DOWNLOAD_CANCELED)
            hrResult = S_OK;
        state.hrDownload = hrResult;
        if (FAILED(hrResult))
            break;
        pGui->SetDownloadProgress(bstrService, ulPercentage > 100 ? 100 : ulPercentage);
    }
    if (!state.bClosedByUser)
        state.CloseWindow([&] { return pGui->CloseDownloadProgressBar(bstrService); });
}

HRESULT CZepServiceManager::VerifyAndInstall(CServiceRun& run)
{
    CScopedBstr bstrPath;
    RETURN_IF_FAILED(m_download->GetDownloadedFilePath(m_bstrServiceId, bstrPath.Receive()));
    const std::wstring strPath = bstrPath.ToString();
    // Held without write or delete sharing until the package has been started or copied, so
    // that what was measured and digested is what runs.
    run.package.Reset(::CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    RETURN_HR_IF(E_ACCESSDENIED, !run.package);
    LARGE_INTEGER size = {};
    RETURN_IF_WIN32_BOOL_FALSE(::GetFileSizeEx(run.package.Get(), &size));
    const ULONGLONG ullSize = static_cast<ULONGLONG>(size.QuadPart);
    RETURN_HR_IF(ZEP_E_FILE_TOO_LONG, ullSize >= 0x100000000ULL || ullSize > m_ullTotalSize);
    RETURN_HR_IF(ZEP_E_FILE_TOO_SHORT, ullSize < m_ullTotalSize);
    {
        long lIgnored = 0;
        CClientMethodLog log(L"CZepServiceManager::Execute", &lIgnored);
        log.TracePrintf(L"Size is OK");
    }
    // Digested through the handle held since the size check, not by path: the download
    // manager's own check would read whatever the path names by then.
    bool bDigestOk = false;
    RETURN_IF_FAILED(PackageDigestMatches(run.package.Get(), run.newInfo.m_stDownloadSoftwareInfos[0].m_bstrMac, bDigestOk));
    RETURN_HR_IF(ZEP_E_DIGEST_MISMATCH, !bDigestOk);
    long lIgnored = 0;
    CClientMethodLog log(L"CZepServiceManager::Execute", &lIgnored);
    log.TracePrintf(L"Hash check is OK");

    if (m_nCategoryKind != 1)
    {
        RETURN_IF_FAILED(CPackageTrust().Check(strPath, run.package.Get()));
        UniqueHandle installer;
        const HRESULT hr = m_seams.startInstaller(strPath, installer);
        run.package.Reset();
        RETURN_IF_FAILED(hr);
        run.bInstalled = true;
        KeepForInstaller(run, strPath, installer.Get());
        return S_OK;
    }
    return UpdatePlayer(run);
}

void CZepServiceManager::KeepForInstaller(CServiceRun& run, const std::wstring& strPath, HANDLE hInstaller)
{
    // Not waited for: an installer may close programs, ask for a restart or replace this
    // program's files, and the service's outcome must be recorded before any of that.
    run.bKeepPackage = true;
    const HRESULT hr = InstallerPackages::Record(strPath, hInstaller);
    long lIgnored = 0;
    CClientMethodLog log(L"CZepServiceManager::Execute", &lIgnored);
    if (FAILED(hr))
        log.ErrorPrintf(L"Package of the installer not recorded hr 0x%x", hr);
    else
        log.TracePrintf(L"Package kept for its installer");
}

HRESULT CZepServiceManager::UpdatePlayer(CServiceRun& run)
{
    CScopedBstr bstrPath;
    RETURN_IF_FAILED(m_download->GetDownloadedFilePath(m_bstrServiceId, bstrPath.Receive()));
    ZEP_DEVICE_INFO now;
    HRESULT hr = QueryPlayer(now);
    if (SUCCEEDED(hr) && (!Equal(DeviceField(now.szServiceId).c_str(), DeviceField(m_device.szServiceId).c_str()) ||
                          !Equal(DeviceField(now.szDeviceId).c_str(), DeviceField(m_device.szDeviceId).c_str())))
        hr = ZEP_E_NO_PLAYER;
    if (FAILED(hr))
    {
        PrepareErrorBox(run, hr);
        ShowErrorBox(run);
        run.bBoxShown = true;
        return hr;
    }
    hr = UpdateVelomar(m_bstrServiceId, bstrPath);
    run.package.Reset();
    if (FAILED(hr))
    {
        PrepareErrorBox(run, hr);
        m_download->RemoveDownloadedFile(m_bstrServiceId, bstrPath);
        return hr;
    }
    hr = QueryPlayer(now);
    if (FAILED(hr))
    {
        PrepareErrorBox(run, hr);
        ShowErrorBox(run);
        run.bBoxShown = true;
        return hr;
    }
    const std::wstring strExpected = Text(run.newInfo.m_stDownloadSoftwareInfos[0].m_bstrNewVersion);
    if (!Equal(DeviceField(now.szFirmwareVersion).c_str(), strExpected.c_str()))
    {
        long lIgnored = 0;
        CClientMethodLog log(L"CZepServiceManager::Execute", &lIgnored);
        log.ErrorPrintf(L"Update Version error %s : %s", DeviceField(now.szFirmwareVersion).c_str(),
                        strExpected.c_str());
    }
    run.bInstalled = true;
    return S_OK;
}

HRESULT CZepServiceManager::UpdateVelomar(const wchar_t* pszServiceId, const wchar_t* pszFirmwarePath)
{
    long lResult = S_OK;
    CClientMethodLog log(L"CZepServiceManager::UpdateVelomar", &lResult);
    HRESULT hr = S_OK;
    try
    {
        CScopedBstr bstrService(pszServiceId ? pszServiceId : L"");
        m_strFirmwarePath = pszFirmwarePath ? pszFirmwarePath : L"";
        m_hrFirmware = S_OK;
        m_updateWindow = NewWindowThread();
        m_updateWindow->bstrServiceId = CScopedBstr(bstrService.ToString());
        m_workerThread.Reset(::CreateThread(nullptr, 0, FirmwareWorkerThread, this, 0, nullptr));
        if (!m_workerThread)
        {
            hr = HResultFromLastError();
        }
        else
        {
            if (SUCCEEDED(StartWindowThread(UpdateProgressThread, m_updateWindow, m_progressThread)))
                m_gui->ShowUpdateProgressBar(bstrService);
            m_updateWindow->bShowReturned = TRUE;
            // The window closes when the worker is done; without it, wait for the worker here.
            ::WaitForSingleObject(m_workerThread.Get(), INFINITE);
            if (m_progressThread)
                ::WaitForSingleObject(m_progressThread.Get(), 5000);
            if (FAILED(static_cast<HRESULT>(m_hrFirmware)))
                hr = m_hrFirmware;
        }
    }
    catch (const std::bad_alloc&)
    {
        hr = E_OUTOFMEMORY;
    }
    if (FAILED(hr))
        log.ErrorPrintf(L"hr 0x%x", hr);
    m_firmware.DeleteFirmware(m_device);
    lResult = hr;
    return hr;
}

DWORD WINAPI CZepServiceManager::FirmwareWorkerThread(void* pContext)
{
    static_cast<CZepServiceManager*>(pContext)->RunFirmwareWorker();
    return 0;
}

void CZepServiceManager::RunFirmwareWorker()
{
    CThreadComScope com;
    HRESULT hr = S_OK;
    if (!m_firmware.IsBound())
        hr = E_HANDLE;
    else if (m_strFirmwarePath.empty())
        hr = E_INVALIDARG;
    if (SUCCEEDED(hr))
        hr = m_firmware.CopyFirmware(m_device, m_strFirmwarePath.c_str());
    if (SUCCEEDED(hr))
        hr = m_firmware.SendUpdateCommand(m_device);
    if (SUCCEEDED(hr))
    {
        hr = ZEP_E_PLAYER_NOT_BACK;
        for (int nPoll = 0; nPoll < m_seams.nPlayerPolls; ++nPoll)
        {
            ::Sleep(m_seams.dwPlayerPollMs);
            ZEP_DEVICE_INFO now;
            const HRESULT hrQuery = m_firmware.QueryDevice(now);
            if (hrQuery == ZEP_E_NO_PLAYER)
                continue;
            if (FAILED(hrQuery))
            {
                hr = hrQuery;
                break;
            }
            if (now.dwWord0 != m_device.dwWord0 || now.dwWord1 != m_device.dwWord1 ||
                DeviceField(now.szDeviceId) != DeviceField(m_device.szDeviceId))
                continue;
            // A player that comes back with the version it had has not taken the image.
            hr = Equal(DeviceField(now.szFirmwareVersion).c_str(), DeviceField(m_device.szFirmwareVersion).c_str())
                     ? ZEP_E_PLAYER_UNCHANGED
                     : S_OK;
            break;
        }
    }
    m_hrFirmware = hr;
    m_updateWindow->bFirmwareDone = TRUE;
}

DWORD WINAPI CZepServiceManager::UpdateProgressThread(void* pContext)
{
    const std::unique_ptr<std::shared_ptr<CWindowThread>> state(static_cast<std::shared_ptr<CWindowThread>*>(pContext));
    ReportUpdateProgress(**state);
    return 0;
}

void CZepServiceManager::ReportUpdateProgress(CWindowThread& state)
{
    CThreadComScope com;
    IZepAutoUpdateGUI* pGui = state.gui.Get();
    BSTR bstrService = state.bstrServiceId.Get();
    // Duration of the whole update; an empty package is over at once (and never divides by 0).
    const ULONGLONG ullDurationMs = state.ullTotalSize * kUpdateMsPerUnit / kUpdateUnitBytes;
    const ULONGLONG ullStart = ::GetTickCount64();
    while (!state.bFirmwareDone)
    {
        ::Sleep(1000);
        if (state.bFirmwareDone)
            break;
        const ULONGLONG ullElapsed = ::GetTickCount64() - ullStart;
        ULONGLONG ullPercent = ullDurationMs == 0 ? 99 : ullElapsed * 100 / ullDurationMs;
        if (ullPercent > 99)
            ullPercent = 99;
        pGui->SetUpdateProgress(bstrService, static_cast<unsigned>(ullPercent));
    }
    pGui->SetUpdateProgress(bstrService, 100);
    ::Sleep(50);
    state.CloseWindow([&] { return pGui->CloseUpdateProgressBar(bstrService); });
}

void CZepServiceManager::Complete(CServiceRun& run, HRESULT& hrResult, int nIndex, int nCount)
{
    const std::wstring strServiceKey = ServiceKey(run.strService, run.strSerial);
    if (!run.strService.empty())
    {
        if (run.newInfo.m_bAvailableServerPolling)
            Registry::WriteString(HKEY_LOCAL_MACHINE, strServiceKey.c_str(), kPollingStatusValue,
                                  run.newInfo.m_eCheckMode ? L"MANUAL" : L"AUTO");
        else if (run.bInstalled && hrResult == S_OK)
            Registry::WriteString(HKEY_LOCAL_MACHINE, strServiceKey.c_str(), kPollingStatusValue, L"CLOSE");
    }

    const ZEP_SERVICE_STATUS status = ServiceStatusFor(hrResult, m_bInfoOnly);
    if (status.bWritten && !run.strService.empty())
    {
        ZEP_UPDATED_RESULT result = {};
        result.m_nResult = status.nCode;
        result.m_bstrCategory = ::SysAllocString(m_pCommandLine->Value(nIndex, L'C'));
        result.m_bstrSoftwareName = ::SysAllocString(run.strSoftwareName.c_str());
        result.m_bstrVersion = ::SysAllocString(run.newInfo.m_stDownloadSoftwareInfos[0].m_bstrNewVersion
                                                    ? run.newInfo.m_stDownloadSoftwareInfos[0].m_bstrNewVersion
                                                    : L"");
        result.m_bstrSerialNo = ::SysAllocString(run.strSerial.c_str());
        result.m_bstrDetail = ::SysAllocString(L"");
        m_info->SendUpdateResult(m_bstrServiceId, &result);
        Free(result.m_bstrCategory);
        Free(result.m_bstrSoftwareName);
        Free(result.m_bstrVersion);
        Free(result.m_bstrSerialNo);
        Free(result.m_bstrDetail);
        wchar_t szCode[16];
        swprintf(szCode, _countof(szCode), L"%02d", status.nCode);
        Registry::WriteString(HKEY_LOCAL_MACHINE, strServiceKey.c_str(), kLastUpdateStatusValue, szCode);
    }
    hrResult = status.hrResult;

    run.package.Reset();
    if (run.bInstalled)
    {
        if (hrResult == S_OK && !run.bKeepPackage)
        {
            CScopedBstr bstrPath;
            if (SUCCEEDED(m_download->GetDownloadedFilePath(m_bstrServiceId, bstrPath.Receive())))
                m_download->RemoveDownloadedFile(m_bstrServiceId, bstrPath);
        }
        if (run.bFirmware)
        {
            CScopedBstr bstrAppName(run.strAppName);
            m_gui->ShowCompleteMessage(m_bstrServiceId, bstrAppName);
        }
    }

    if (FAILED(hrResult))
    {
        if (run.bBoxPrepared && run.bManual && !run.bBoxShown)
        {
            ShowErrorBox(run);
            run.bBoxShown = true;
        }
        else if (!run.bBoxShown && ((!run.bBoxPrepared && run.bManual) || run.bConfirmShown))
        {
            if (hrResult != ZEP_E_DECLINED)
                m_gui->ShowErrorMessage(hrResult);
        }
        // Only a download of this service leaves a file; a canceled download, a network or
        // server failure and a local file error keep it for resuming.
        if (run.bDownloadStarted && hrResult != ZEP_E_DOWNLOAD_CANCELED && hrResult != (HRESULT)0x80043302L &&
            hrResult != (HRESULT)0x80044208L)
        {
            CScopedBstr bstrPath;
            if (SUCCEEDED(m_download->GetDownloadedFilePath(m_bstrServiceId, bstrPath.Receive())))
                m_download->RemoveDownloadedFile(m_bstrServiceId, bstrPath);
        }
    }
    else if (run.bManual && !m_bUpdateFound && nIndex == nCount - 1)
    {
        ULONG ulAnswer = 0;
        m_gui->ShowMessagebyID(eNoUpdate, 0, &ulAnswer);
    }
}

LONG CZepServiceManager::CheckVersion(const wchar_t* pszFirst, const wchar_t* pszSecond, int nRule)
{
    long lResult = S_OK;
    CClientMethodLog log(L"CZepServiceManager::CheckVersion", &lResult);
    if (m_bInfoOnly)
        return lResult = 0;
    if (m_nCategoryKind != 1 || m_nFirmwareService != 0)
        return lResult = FourPartVersion::CheckRule(pszFirst, pszSecond, nRule);
    int nOrder = 0;
    const HRESULT hr = m_firmware.CompareVersions(pszFirst, pszSecond, nOrder);
    if (FAILED(hr))
        return lResult = hr;
    return lResult = FourPartVersion::RuleHolds(nOrder, nRule) ? 0 : 1;
}
