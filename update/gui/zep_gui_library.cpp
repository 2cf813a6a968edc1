// The exports of ZepGUI_Library. Nothing is loaded here: the resource library is loaded on the
// first use of a window, outside the loader lock.
#include <windows.h>

#include "common/dispatch_impl.h"
#include "update/gui/zep_gui_module.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID pReserved)
{
    if (dwReason == DLL_PROCESS_ATTACH)
    {
        CZepGUI_LibraryModule::SetModuleHandle(hInstance);
        ::DisableThreadLibraryCalls(hInstance);
    }
    else if (dwReason == DLL_PROCESS_DETACH && pReserved == nullptr)
    {
        ZepReleaseModuleTypeLib();
    }
    return TRUE;
}

STDAPI DllCanUnloadNow() { return CZepGUI_LibraryModule::CanUnloadNow(); }

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    return CZepGUI_LibraryModule::GetClassObject(rclsid, riid, ppv);
}

STDAPI DllRegisterServer() { return CZepGUI_LibraryModule::RegisterServer(); }

STDAPI DllUnregisterServer() { return CZepGUI_LibraryModule::UnregisterServer(); }
