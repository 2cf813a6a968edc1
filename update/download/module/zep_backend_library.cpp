// The exports of ZepBackend_Library.
#include <windows.h>

#include "common/dispatch_impl.h"
#include "update/download/module/zep_backend_module.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID pReserved)
{
    if (dwReason == DLL_PROCESS_ATTACH)
    {
        CZepBackend_LibraryModule::SetModuleHandle(hInstance);
        ::DisableThreadLibraryCalls(hInstance);
    }
    // At process exit the system's libraries may be gone already: nothing is released then.
    else if (dwReason == DLL_PROCESS_DETACH && pReserved == nullptr)
    {
        ZepReleaseModuleTypeLib();
    }
    return TRUE;
}

STDAPI DllCanUnloadNow() { return CZepBackend_LibraryModule::CanUnloadNow(); }

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    return CZepBackend_LibraryModule::GetClassObject(rclsid, riid, ppv);
}

STDAPI DllRegisterServer() { return CZepBackend_LibraryModule::RegisterServer(); }

STDAPI DllUnregisterServer() { return CZepBackend_LibraryModule::UnregisterServer(); }
