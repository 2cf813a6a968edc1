#pragma once
// What a standard user may do with a registry key, read from the key's access list: the tests
// cannot log on as one (and Wine enforces no list), so they evaluate the list as Windows would
// for a token with the groups every interactive standard user has.
#include <windows.h>

#include <string>

namespace installertest
{
// Which entries count: those for the key itself, or those a subkey created later inherits.
enum class AccessFor
{
    Key,
    NewSubkey,
};

// The rights the list grants to Everyone, Users, Authenticated Users and Interactive, in list
// order (a right denied before it is allowed stays denied), generic rights mapped to the key's.
// A missing list grants everything.
ACCESS_MASK StandardUserAccess(PACL pDacl, AccessFor forWhat);

// The same for a key below HKEY_LOCAL_MACHINE (64-bit view), its list read with
// RegGetKeySecurity; false with the Win32 error when the list cannot be read.
bool StandardUserKeyAccess(const std::wstring& path, AccessFor forWhat, ACCESS_MASK& access, DWORD& dwError);
}  // namespace installertest
