#pragma once
// Runs a module's registration scripts (REGISTRY resources in the registrar's script format)
// through the system's registrar object, with %NAME% replacements.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

class CComRegistrar
{
public:
    typedef std::vector<std::pair<std::wstring, std::wstring>> Replacements;

    // "MODULE" is always replaced by the module's path; more pairs may be given.
    static HRESULT RunScript(HMODULE hModule, UINT nResourceId, bool bRegister, const Replacements& extra);
};

// Sets the thread's locale for its lifetime and puts the previous one back afterwards.
class CThreadLocaleScope
{
public:
    explicit CThreadLocaleScope(LCID lcid) noexcept : m_lcidSaved(::GetThreadLocale()) { ::SetThreadLocale(lcid); }
    CThreadLocaleScope(const CThreadLocaleScope&) = delete;
    CThreadLocaleScope& operator=(const CThreadLocaleScope&) = delete;
    ~CThreadLocaleScope() { ::SetThreadLocale(m_lcidSaved); }

private:
    LCID m_lcidSaved;
};
