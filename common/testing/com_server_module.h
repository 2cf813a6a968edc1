#pragma once
// Tests of in-process COM servers: the DLL loaded by path and driven through its exports, and
// what its registration left in the class root.
#include <windows.h>
#include <string>
#include "common/unique_resource.h"

namespace zeptest
{
class CComServerModule
{
public:
    explicit CComServerModule(const std::wstring& strPath);
    bool Loaded() const { return m_module.IsValid(); }
    template <class F>
    F Export(const char* pszName) const
    {
        return reinterpret_cast<F>(::GetProcAddress(m_module.Get(), pszName));
    }
    HRESULT Register() const;
    HRESULT Unregister() const;
    HRESULT CanUnloadNow() const;
    // Through the module's own class factory, as COM would after finding the registration.
    HRESULT Create(REFCLSID clsid, IUnknown* pOuter, REFIID riid, void** ppv) const;

private:
    UniqueHModule m_module;
};

// Below HKEY_CLASSES_ROOT (whatever it points at): whether a key exists, a string value or
// "<missing>".
bool ClassRootKeyExists(const std::wstring& strKey);
std::wstring ReadClassRootString(const std::wstring& strKey, const wchar_t* pszName);
}  // namespace zeptest
