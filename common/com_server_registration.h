#pragma once
// DllRegisterServer and DllUnregisterServer of an in-process server whose registry entries are
// REGISTRY scripts (one for its application identifier, one per class) and whose type library
// is embedded as TYPELIB 1. Both run under the system locale.
#include <windows.h>

#include "common/com_registrar.h"

struct ZEP_SERVER_REGISTRATION
{
    HMODULE hModule;
    UINT nAppIdScript;
    const UINT* pClassScripts;
    size_t cClassScripts;
    const GUID* pLibId;
    const CComRegistrar::Replacements* pReplacements;
};

// The application identifier script, the class scripts, then the type library; the first
// failure is returned.
HRESULT ZepRegisterServer(const ZEP_SERVER_REGISTRATION& server);
// Classes and type library, then the application identifier; goes on after a failure and
// returns the first one. A type library that is not registered is not a failure.
HRESULT ZepUnregisterServer(const ZEP_SERVER_REGISTRATION& server);
