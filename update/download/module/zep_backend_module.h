#pragma once
// The module of ZepBackend_Library: its classes, its registration and its lock count.
#include <windows.h>

class CZepBackend_LibraryModule
{
public:
    static HRESULT GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
    static HRESULT CanUnloadNow() noexcept;
    // Runs the registration scripts and registers the type library, under the system locale.
    static HRESULT RegisterServer();
    static HRESULT UnregisterServer();

    static void SetModuleHandle(HMODULE hModule) noexcept { s_hModule = hModule; }
    static HMODULE ModuleHandle() noexcept { return s_hModule; }

private:
    static HMODULE s_hModule;
};
