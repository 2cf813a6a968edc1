#pragma once
// Points this process's HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER at empty scratch keys below the
// real HKEY_CURRENT_USER, so that code under test can write machine settings freely. Used by the
// test main for every test and by the fault-finding programs in tools/.
#include <windows.h>
#include <string>

namespace zeptest
{
// Where the scratch keys live, below the real HKEY_CURRENT_USER.
extern const wchar_t kSandboxRoot[];

// Creates the scratch keys "<root>\<name>\HKLM" and "...\HKCU" (with a copy of the machine keys
// the platform's own components need) and overrides the predefined keys with them.
void BeginRegistrySandbox(const std::wstring& name);
// Restores the predefined keys and deletes the scratch keys.
void EndRegistrySandbox();
// Whether a sandbox is active.
bool IsRegistrySandboxActive();

// While alive, the predefined keys point at the real registry again (for code that must
// see the prefix's own machine settings).
class CRegistrySandboxSuspension
{
public:
    CRegistrySandboxSuspension();
    ~CRegistrySandboxSuspension();
    CRegistrySandboxSuspension(const CRegistrySandboxSuspension&) = delete;
    CRegistrySandboxSuspension& operator=(const CRegistrySandboxSuspension&) = delete;
};
}  // namespace zeptest
