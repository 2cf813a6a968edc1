#pragma once
// The language resource library of the update windows: their texts, templates and icon.
#include <windows.h>

#include <string>

#include "common/unique_resource.h"

class CGuiResources
{
public:
    CGuiResources() = default;
    CGuiResources(const CGuiResources&) = delete;
    CGuiResources& operator=(const CGuiResources&) = delete;

    // Loads the library strFileName from strFolder (ending in a backslash). A missing library
    // is HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND).
    HRESULT Load(const std::wstring& strFolder, const std::wstring& strFileName);
    HINSTANCE Instance() const noexcept { return m_module.Get(); }
    // String nId of the library; empty when it has none.
    std::wstring String(UINT nId) const;

    // The process's one copy, loaded from the folder of the module that holds this code on the
    // first call (never while the loader lock is held, so never from DllMain). Its file name is
    // string 1 of that module. Fails again on every call while the library is missing.
    static HRESULT Shared(const CGuiResources** ppResources);
    // The module that holds this code.
    static HMODULE OwnModule() noexcept;

private:
    UniqueHModule m_module;
};
