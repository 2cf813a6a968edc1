#pragma once
// The highest serial of a signed information file this machine accepted for a service, kept in
// the service's key below "Auto Update Client" so that an older file served again is refused.
#include <windows.h>

#include <string>

namespace SignatureSerialStore
{
extern const wchar_t kValueName[];

std::wstring ServiceKey(const std::wstring& strService);
// 0 when nothing was accepted yet (or the value is not a 64-bit number).
ULONGLONG Highest(const std::wstring& strService);
// Raises the stored serial to ullSerial; a lower one leaves it alone.
HRESULT Accept(const std::wstring& strService, ULONGLONG ullSerial);
}  // namespace SignatureSerialStore
