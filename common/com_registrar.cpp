#define ATL_INITGUID
#include "common/com_registrar.h"

#include <wrl/client.h>

#include "atliface.h"
#include "common/module_path.h"

using Microsoft::WRL::ComPtr;

HRESULT CComRegistrar::RunScript(HMODULE hModule, UINT nResourceId, bool bRegister, const Replacements& extra)
{
    const std::wstring strModule = ModuleFilePath(hModule);
    if (strModule.empty())
        return E_UNEXPECTED;
    ComPtr<IRegistrar> registrar;
    HRESULT hr = ::CoCreateInstance(CLSID_Registrar, nullptr, CLSCTX_INPROC_SERVER, IID_IRegistrar,
                                    reinterpret_cast<void**>(registrar.GetAddressOf()));
    if (FAILED(hr))
        return hr;
    hr = registrar->AddReplacement(L"MODULE", strModule.c_str());
    for (auto it = extra.begin(); SUCCEEDED(hr) && it != extra.end(); ++it)
        hr = registrar->AddReplacement(it->first.c_str(), it->second.c_str());
    if (FAILED(hr))
        return hr;
    return bRegister ? registrar->ResourceRegister(strModule.c_str(), nResourceId, L"REGISTRY")
                     : registrar->ResourceUnregister(strModule.c_str(), nResourceId, L"REGISTRY");
}
