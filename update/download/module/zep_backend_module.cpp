#include "update/download/module/zep_backend_module.h"

#include "common/com_object.h"
#include "common/com_server_registration.h"
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

ZEP_SERVER_REGISTRATION Server(HMODULE hModule)
{
    static const CComRegistrar::Replacements replacements = {{L"APPID", kAppId}};
    return {hModule, IDR_ZEPBACKEND_LIBRARY, kClassScripts, _countof(kClassScripts), &LIBID_ZepBackend_LibraryLib,
            &replacements};
}
}  // namespace

HRESULT CZepBackend_LibraryModule::GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv)
{
    return ZepGetClassObject(kClasses, _countof(kClasses), rclsid, riid, ppv);
}

HRESULT CZepBackend_LibraryModule::CanUnloadNow() noexcept { return ComModule::LockCount() == 0 ? S_OK : S_FALSE; }

HRESULT CZepBackend_LibraryModule::RegisterServer() { return ZepRegisterServer(Server(s_hModule)); }

HRESULT CZepBackend_LibraryModule::UnregisterServer() { return ZepUnregisterServer(Server(s_hModule)); }
