#pragma once
// The module of ZepGUI_Library: its class, its registration and its lock count.
#include <windows.h>

class CZepGUI_LibraryModule
{
public:
    static HRESULT GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
    static HRESULT CanUnloadNow() noexcept;
    static HRESULT RegisterServer();
    static HRESULT UnregisterServer();

    static void SetModuleHandle(HMODULE hModule) noexcept { s_hModule = hModule; }

private:
    static HMODULE s_hModule;
};
