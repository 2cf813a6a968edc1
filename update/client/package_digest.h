#pragma once
// The digest of a downloaded package, read through a handle the caller already holds (so that
// the bytes digested are the bytes that are then started or copied).
#include <windows.h>

// bMatches: the file's digest in lower-case hex equals pszMac exactly: SHA-256 for a 64-digit
// MAC, MD5 for 32 digits, SHA-1 for any other length. An empty MAC never matches: the signed
// information file would then vouch for no content. Reads from the start of the file. A digest
// that cannot be computed (the file cannot be read, the hash provider fails) is 0x8004420A, as
// for a mismatch.
HRESULT PackageDigestMatches(HANDLE hFile, const wchar_t* pszMac, bool& bMatches);
