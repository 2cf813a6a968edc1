#include "update/download/module/zep_backend_module.h"

#include <oleauto.h>

#include "common/com_object.h"
#include "common/com_registrar.h"
#include "common/dispatch_impl.h"
#include "common/module_path.h"
#include "common/unique_resource.h"
#include "update/download/module/resource.h"
#include "update/download/module/zep_software_download_manager.h"
#include "update/info/zep_update_info_manager.h"
#include "zep_backend_library.h"

HMODULE CZepBackend_LibraryModule::s_hModule = nullptr;

namespace
{
const wchar_t kAppId[] = L"{1E567622-EE3E-4431-BAF7-46346CF4BF94}";

const ZEP_CLASS_ENTRY kClasses[] = {
    {&CLSID_ZepSoftwareDownloadManager, &ZepCreateAggregatable<CZepSoftwareDownloadManager>},
    {&CLSID_ZepUpdateInfoManager, &ZepCreateAggregatable<CZepUpdateInfoManager>},
};

const UINT kClassScripts[] = {IDR_ZEPSOFTWAREDOWNLOADMANAGER, IDR_ZEPUPDATEINFOMANAGER};

bool TypeLibRegistered()
{
    wchar_t szLibId[64] = {};
    ::StringFromGUID2(LIBID_ZepBackend_LibraryLib, szLibId, _countof(szLibId));
    UniqueHKey key;
    return ::RegOpenKeyExW(HKEY_CLASSES_ROOT, (std::wstring(L"TypeLib\\") + szLibId + L"\\1.0").c_str(), 0, KEY_READ,
                           key.Receive()) == ERROR_SUCCESS;
}

const CComRegistrar::Replacements& ScriptReplacements()
{
    static const CComRegistrar::Replacements replacements = {{L"APPID", kAppId}};
    return replacements;
}
}  // namespace

HRESULT CZepBackend_LibraryModule::GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv)
{
    return ZepGetClassObject(kClasses, _countof(kClasses), rclsid, riid, ppv);
}

HRESULT CZepBackend_LibraryModule::CanUnloadNow() noexcept { return ComModule::LockCount() == 0 ? S_OK : S_FALSE; }

HRESULT CZepBackend_LibraryModule::RegisterServer()
{
    CThreadLocaleScope locale(LOCALE_SYSTEM_DEFAULT);
    HRESULT hr = CComRegistrar::RunScript(s_hModule, IDR_ZEPBACKEND_LIBRARY, true, ScriptReplacements());
    for (size_t i = 0; SUCCEEDED(hr) && i < _countof(kClassScripts); ++i)
        hr = CComRegistrar::RunScript(s_hModule, kClassScripts[i], true, ScriptReplacements());
    if (FAILED(hr))
        return hr;
    const std::wstring strPath = ModuleFilePath(s_hModule);
    ITypeLib* pTypeLib = nullptr;
    hr = ::LoadTypeLibEx(strPath.c_str(), REGKIND_NONE, &pTypeLib);
    if (FAILED(hr))
        return hr;
    hr = ::RegisterTypeLib(pTypeLib, const_cast<OLECHAR*>(strPath.c_str()), nullptr);
    pTypeLib->Release();
    return hr;
}

HRESULT CZepBackend_LibraryModule::UnregisterServer()
{
    CThreadLocaleScope locale(LOCALE_SYSTEM_DEFAULT);
    HRESULT hrFirst = S_OK;
    auto keep = [&hrFirst](HRESULT hr) {
        if (FAILED(hr) && SUCCEEDED(hrFirst))
            hrFirst = hr;
    };
    for (UINT nScript : kClassScripts)
        keep(CComRegistrar::RunScript(s_hModule, nScript, false, ScriptReplacements()));
    // A type library that is not registered (any more) is what we wanted; systems differ in
    // the error they give for it.
    const HRESULT hr = ::UnRegisterTypeLib(LIBID_ZepBackend_LibraryLib, 1, 0, LOCALE_NEUTRAL, SYS_WIN64);
    if (FAILED(hr) && TypeLibRegistered())
        keep(hr);
    keep(CComRegistrar::RunScript(s_hModule, IDR_ZEPBACKEND_LIBRARY, false, ScriptReplacements()));
    return hrFirst;
}
