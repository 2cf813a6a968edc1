#include "common/dispatch_impl.h"

#include "common/critical_section.h"
#include "common/module_path.h"

namespace
{
CXCriticalSection g_csTypeLib;
ITypeLib* g_pTypeLib = nullptr;

HMODULE ThisModule() noexcept
{
    HMODULE hModule = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&ThisModule), &hModule);
    return hModule;
}
}  // namespace

HRESULT ZepGetModuleTypeInfo(REFGUID guid, ITypeInfo** ppTypeInfo)
{
    if (!ppTypeInfo)
        return E_POINTER;
    *ppTypeInfo = nullptr;
    CXLock lock(g_csTypeLib);
    if (!g_pTypeLib)
    {
        const std::wstring strPath = ModuleFilePath(ThisModule());
        if (strPath.empty())
            return E_UNEXPECTED;
        const HRESULT hr = ::LoadTypeLibEx(strPath.c_str(), REGKIND_NONE, &g_pTypeLib);
        if (FAILED(hr))
            return hr;
    }
    return g_pTypeLib->GetTypeInfoOfGuid(guid, ppTypeInfo);
}

void ZepReleaseModuleTypeLib() noexcept
{
    CXLock lock(g_csTypeLib);
    if (g_pTypeLib)
    {
        g_pTypeLib->Release();
        g_pTypeLib = nullptr;
    }
}
