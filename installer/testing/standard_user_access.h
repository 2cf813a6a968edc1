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

// The key's access list as text (SDDL), for failure messages; "(unreadable)" when it cannot be read.
std::wstring KeyAccessListText(const std::wstring& path);

// One row of a table of what a standard user must and must not be able to do with a key below
// HKEY_LOCAL_MACHINE (or with a subkey created later).
struct KeyAccessExpectation
{
    const wchar_t* pszKey;  // appended to the table's prefix
    AccessFor forWhat;
    ACCESS_MASK granted;     // every one of these
    ACCESS_MASK notGranted;  // none of these
};

// Checks every row with GoogleTest expectations; a failure names the key, the rights found and
// the key's access list.
void ExpectStandardUserKeyAccess(const std::wstring& prefix, const KeyAccessExpectation* pRows, size_t cRows);
template <size_t N>
void ExpectStandardUserKeyAccess(const std::wstring& prefix, const KeyAccessExpectation (&rows)[N])
{
    ExpectStandardUserKeyAccess(prefix, rows, N);
}
}  // namespace installertest
