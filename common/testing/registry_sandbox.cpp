#include "common/testing/registry_sandbox.h"

#include "common/unique_resource.h"

namespace zeptest
{
const wchar_t kSandboxRoot[] = L"Software\\ZepTestSandbox";

namespace
{
// Machine keys the platform's own components read through the predefined HKLM handle;
// the sandbox carries a copy so that they keep working inside it (CryptoAPI finds its
// providers here).
const wchar_t* const kMachineKeysCopied[] = {
    L"SOFTWARE\\Microsoft\\Cryptography",
};

std::wstring g_scratchKey;  // below the real HKCU; empty when no sandbox is active
bool g_bOverridden = false;

void OverridePredefined(bool on)
{
    if (!on)
    {
        ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        return;
    }
    UniqueHKey hklm, hkcu;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, (g_scratchKey + L"\\HKLM").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      hklm.Receive(), nullptr);
    ::RegCreateKeyExW(HKEY_CURRENT_USER, (g_scratchKey + L"\\HKCU").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      hkcu.Receive(), nullptr);
    for (const wchar_t* pszKey : kMachineKeysCopied)
    {
        UniqueHKey source, target;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, pszKey, 0, KEY_READ, source.Receive()) == ERROR_SUCCESS &&
            ::RegCreateKeyExW(hklm.Get(), pszKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, target.Receive(),
                              nullptr) == ERROR_SUCCESS)
            ::RegCopyTreeW(source.Get(), nullptr, target.Get());
    }
    // HKCU last: the HKLM scratch key is opened through the real HKCU.
    ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, hklm.Get());
    ::RegOverridePredefKey(HKEY_CURRENT_USER, hkcu.Get());
}
}  // namespace

void BeginRegistrySandbox(const std::wstring& name)
{
    if (g_bOverridden)
        EndRegistrySandbox();
    g_scratchKey = std::wstring(kSandboxRoot) + L"\\" + name;
    OverridePredefined(true);
    g_bOverridden = true;
}

void EndRegistrySandbox()
{
    if (!g_bOverridden)
        return;
    OverridePredefined(false);
    g_bOverridden = false;
    ::RegDeleteTreeW(HKEY_CURRENT_USER, g_scratchKey.c_str());
    g_scratchKey.clear();
}

bool IsRegistrySandboxActive() { return g_bOverridden; }

CRegistrySandboxSuspension::CRegistrySandboxSuspension()
{
    if (g_bOverridden)
        OverridePredefined(false);
}

CRegistrySandboxSuspension::~CRegistrySandboxSuspension()
{
    if (g_bOverridden)
        OverridePredefined(true);
}
}  // namespace zeptest
