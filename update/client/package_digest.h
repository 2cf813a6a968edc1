#pragma once
// The digest of a downloaded package, read through a handle the caller already holds (so that
// the bytes digested are the bytes that are then started or copied).
#include <windows.h>

// bMatches: the file's MD5 (a 32-digit MAC) or SHA-1 (any other length) in lower-case hex equals
// pszMac exactly; an empty MAC matches. Reads from the start of the file. A digest that cannot be
// computed (the file cannot be read, the hash provider fails) is 0x8004420A, as for a mismatch.
HRESULT PackageDigestMatches(HANDLE hFile, const wchar_t* pszMac, bool& bMatches);
