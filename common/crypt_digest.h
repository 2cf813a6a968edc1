#pragma once
// Lower-case hexadecimal digests through the system's CryptoAPI, with the AES provider (which
// does MD5, SHA-1 and SHA-256 alike).
#include <windows.h>
#include <wincrypt.h>

#include <string>

// The algorithm a package MAC names by its length: 64 digits SHA-256, 32 MD5, anything else
// SHA-1 (the MACs published before SHA-256 were SHA-1 or MD5).
ALG_ID PackageMacAlgorithm(size_t cchMac);

// The digest of bytes in memory.
HRESULT DigestHex(ALG_ID algId, const BYTE* pData, size_t cbData, std::wstring& strHex);

// The digest of a file's whole content, read through hFile from its start in 1 MiB blocks.
HRESULT FileDigestHex(HANDLE hFile, ALG_ID algId, std::wstring& strHex);
