#pragma once
// The highest serial of a signed information file this machine accepted for a service, kept in
// the service's key below "Auto Update Client" so that an older file served again is refused.
//
// Every user may write the service keys of the machine (the client runs without elevation), so
// another user of the PC could lower the machine's value and have an older file accepted again.
// The same value is therefore also kept below the user's own key, which nobody else can write,
// and the higher of the two is the one a file must reach.
#include <windows.h>

#include <string>

namespace SignatureSerialStore
{
extern const wchar_t kValueName[];

// The service's key, below HKEY_LOCAL_MACHINE and, for the user's own copy, HKEY_CURRENT_USER.
std::wstring ServiceKey(const std::wstring& strService);
// The value kept below one root: 0 when nothing was accepted yet (or it is not a 64-bit number).
ULONGLONG Stored(HKEY hRoot, const std::wstring& strService);
// The higher of the machine's and the user's values.
ULONGLONG Highest(const std::wstring& strService);
// Raises both values to ullSerial where they are lower (S_FALSE: neither was). The first write
// failure is returned after both were tried.
HRESULT Accept(const std::wstring& strService, ULONGLONG ullSerial);
}  // namespace SignatureSerialStore
