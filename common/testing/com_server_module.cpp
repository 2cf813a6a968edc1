#include "common/testing/com_server_module.h"

#include <wrl/client.h>

namespace zeptest
{
namespace
{
typedef HRESULT(STDAPICALLTYPE* PFN_VOID)();
typedef HRESULT(STDAPICALLTYPE* PFN_GET_CLASS_OBJECT)(REFCLSID, REFIID, void**);

HRESULT CallVoidExport(const CComServerModule& module, const char* pszName)
{
    PFN_VOID pfn = module.Export<PFN_VOID>(pszName);
    return pfn ? pfn() : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
}
}  // namespace

CComServerModule::CComServerModule(const std::wstring& strPath) : m_module(::LoadLibraryW(strPath.c_str())) {}

HRESULT CComServerModule::Register() const
{
    return CallVoidExport(*this, "DllRegisterServer");
}

HRESULT CComServerModule::Unregister() const
{
    return CallVoidExport(*this, "DllUnregisterServer");
}

HRESULT CComServerModule::CanUnloadNow() const
{
    return CallVoidExport(*this, "DllCanUnloadNow");
}

HRESULT CComServerModule::Create(REFCLSID clsid, IUnknown* pOuter, REFIID riid, void** ppv) const
{
    PFN_GET_CLASS_OBJECT pfn = Export<PFN_GET_CLASS_OBJECT>("DllGetClassObject");
    if (pfn == nullptr)
        return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    Microsoft::WRL::ComPtr<IClassFactory> factory;
    const HRESULT hr = pfn(clsid, IID_PPV_ARGS(&factory));
    if (FAILED(hr))
        return hr;
    return factory->CreateInstance(pOuter, riid, ppv);
}

bool ClassRootKeyExists(const std::wstring& strKey)
{
    UniqueHKey key;
    return ::RegOpenKeyExW(HKEY_CLASSES_ROOT, strKey.c_str(), 0, KEY_READ, key.Receive()) == ERROR_SUCCESS;
}

std::wstring ReadClassRootString(const std::wstring& strKey, const wchar_t* pszName)
{
    wchar_t szValue[1024] = {};
    DWORD cb = sizeof(szValue) - sizeof(wchar_t);
    if (::RegGetValueW(HKEY_CLASSES_ROOT, strKey.c_str(), pszName, RRF_RT_REG_SZ, nullptr, szValue, &cb) !=
        ERROR_SUCCESS)
        return L"<missing>";
    return szValue;
}
}  // namespace zeptest
