#include "common/com_server_registration.h"

#include <oleauto.h>

#include <string>

#include "common/module_path.h"
#include "common/unique_resource.h"

namespace
{
bool TypeLibRegistered(const GUID& libId)
{
    wchar_t szLibId[64] = {};
    ::StringFromGUID2(libId, szLibId, _countof(szLibId));
    UniqueHKey key;
    return ::RegOpenKeyExW(HKEY_CLASSES_ROOT, (std::wstring(L"TypeLib\\") + szLibId + L"\\1.0").c_str(), 0, KEY_READ,
                           key.Receive()) == ERROR_SUCCESS;
}
}  // namespace

HRESULT ZepRegisterServer(const ZEP_SERVER_REGISTRATION& server)
{
    CThreadLocaleScope locale(LOCALE_SYSTEM_DEFAULT);
    HRESULT hr = CComRegistrar::RunScript(server.hModule, server.nAppIdScript, true, *server.pReplacements);
    for (size_t i = 0; SUCCEEDED(hr) && i < server.cClassScripts; ++i)
        hr = CComRegistrar::RunScript(server.hModule, server.pClassScripts[i], true, *server.pReplacements);
    if (FAILED(hr))
        return hr;
    const std::wstring strPath = ModuleFilePath(server.hModule);
    ITypeLib* pTypeLib = nullptr;
    hr = ::LoadTypeLibEx(strPath.c_str(), REGKIND_NONE, &pTypeLib);
    if (FAILED(hr))
        return hr;
    hr = ::RegisterTypeLib(pTypeLib, const_cast<OLECHAR*>(strPath.c_str()), nullptr);
    pTypeLib->Release();
    return hr;
}

HRESULT ZepUnregisterServer(const ZEP_SERVER_REGISTRATION& server)
{
    CThreadLocaleScope locale(LOCALE_SYSTEM_DEFAULT);
    HRESULT hrFirst = S_OK;
    auto keep = [&hrFirst](HRESULT hr) {
        if (FAILED(hr) && SUCCEEDED(hrFirst))
            hrFirst = hr;
    };
    for (size_t i = 0; i < server.cClassScripts; ++i)
        keep(CComRegistrar::RunScript(server.hModule, server.pClassScripts[i], false, *server.pReplacements));
    // Systems differ in the error they give for a type library that is not registered.
    const HRESULT hr = ::UnRegisterTypeLib(*server.pLibId, 1, 0, LOCALE_NEUTRAL, SYS_WIN64);
    if (FAILED(hr) && TypeLibRegistered(*server.pLibId))
        keep(hr);
    keep(CComRegistrar::RunScript(server.hModule, server.nAppIdScript, false, *server.pReplacements));
    return hrFirst;
}
