#include "update/gui/zep_gui_module.h"

#include "common/com_object.h"
#include "common/com_server_registration.h"
#include "update/gui/resource.h"
#include "update/gui/zep_auto_update_gui.h"
#include "zep_gui_library.h"

HMODULE CZepGUI_LibraryModule::s_hModule = nullptr;

namespace
{
const wchar_t kAppId[] = L"{ACB16F99-37BA-4AB2-AA5D-3437470C4689}";

const ZEP_CLASS_ENTRY kClasses[] = {
    {&CLSID_ZepAutoUpdateGUI, &ZepCreateAggregatable<CZepAutoUpdateGUI>},
};

const UINT kClassScripts[] = {IDR_ZEPAUTOUPDATEGUI};

ZEP_SERVER_REGISTRATION Server(HMODULE hModule)
{
    static const CComRegistrar::Replacements replacements = {{L"APPID", kAppId}};
    return {hModule, IDR_ZEPGUI_LIBRARY, kClassScripts, _countof(kClassScripts), &LIBID_ZepGUI_LibraryLib,
            &replacements};
}
}  // namespace

HRESULT CZepGUI_LibraryModule::GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv)
{
    return ZepGetClassObject(kClasses, _countof(kClasses), rclsid, riid, ppv);
}

HRESULT CZepGUI_LibraryModule::CanUnloadNow() noexcept { return ComModule::LockCount() == 0 ? S_OK : S_FALSE; }

HRESULT CZepGUI_LibraryModule::RegisterServer() { return ZepRegisterServer(Server(s_hModule)); }

HRESULT CZepGUI_LibraryModule::UnregisterServer() { return ZepUnregisterServer(Server(s_hModule)); }
