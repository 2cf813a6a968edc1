#include "update/gui/gui_resources.h"

#include "common/critical_section.h"
#include "common/module_path.h"
#include "update/gui/resource.h"

namespace
{
CXCriticalSection g_csShared;
CGuiResources* g_pShared = nullptr;

std::wstring LoadModuleString(HINSTANCE hInstance, UINT nId)
{
    const wchar_t* pText = nullptr;
    const int cch = ::LoadStringW(hInstance, nId, reinterpret_cast<wchar_t*>(&pText), 0);
    return cch > 0 && pText ? std::wstring(pText, static_cast<size_t>(cch)) : std::wstring();
}
}  // namespace

HRESULT CGuiResources::Load(const std::wstring& strFolder, const std::wstring& strFileName)
{
    if (strFolder.empty() || strFileName.empty())
        return E_INVALIDARG;
    // Only the named file: never a library of that name found along the search path.
    HMODULE hModule = ::LoadLibraryExW((strFolder + strFileName).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!hModule)
    {
        const DWORD dwError = ::GetLastError();
        return dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND || dwError == ERROR_SUCCESS
                   ? HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)
                   : HRESULT_FROM_WIN32(dwError);
    }
    m_module.Reset(hModule);
    return S_OK;
}

std::wstring CGuiResources::String(UINT nId) const
{
    return m_module ? LoadModuleString(m_module.Get(), nId) : std::wstring();
}

HMODULE CGuiResources::OwnModule() noexcept
{
    HMODULE hModule = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&CGuiResources::OwnModule), &hModule);
    return hModule;
}

HRESULT CGuiResources::Shared(const CGuiResources** ppResources)
{
    if (!ppResources)
        return E_POINTER;
    *ppResources = nullptr;
    CXLock lock(g_csShared);
    if (!g_pShared)
    {
        const HMODULE hOwn = OwnModule();
        std::wstring strName = LoadModuleString(hOwn, IDS_ZEPGUI_RESOURCE_LIBRARY);
        if (strName.empty())
            strName = L"ZepGUI_LibraryRes.dll";
        CGuiResources* pResources = new (std::nothrow) CGuiResources;
        if (!pResources)
            return E_OUTOFMEMORY;
        const HRESULT hr = pResources->Load(ModuleFolder(hOwn), strName);
        if (FAILED(hr))
        {
            delete pResources;
            return hr;
        }
        // Kept for the process's life: windows of any thread may still use it at unload.
        g_pShared = pResources;
    }
    *ppResources = g_pShared;
    return S_OK;
}
