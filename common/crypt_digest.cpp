#include "common/crypt_digest.h"

#include <vector>

#include "common/error_macros.h"
#include "common/string_util.h"
#include "common/unique_resource.h"

namespace
{
// Each read costs a round trip to the system; at 1 MiB they no longer show next to the hashing
// (64 KiB reads made the check of a large package a tenth to a fifth slower).
const DWORD kFileBlockBytes = 1048576;

HRESULT BeginHash(ALG_ID algId, UniqueCryptProv& prov, UniqueCryptHash& hash)
{
    RETURN_IF_WIN32_BOOL_FALSE(::CryptAcquireContextW(prov.Receive(), nullptr, nullptr, PROV_RSA_AES,
                                                      CRYPT_VERIFYCONTEXT | CRYPT_MACHINE_KEYSET));
    RETURN_IF_WIN32_BOOL_FALSE(::CryptCreateHash(prov.Get(), algId, 0, 0, hash.Receive()));
    return S_OK;
}

HRESULT FinishHash(HCRYPTHASH hHash, std::wstring& strHex)
{
    BYTE digest[64];
    DWORD cbDigest = sizeof(digest);
    RETURN_IF_WIN32_BOOL_FALSE(::CryptGetHashParam(hHash, HP_HASHVAL, digest, &cbDigest, 0));
    strHex = HexLower(digest, cbDigest);
    return S_OK;
}
}  // namespace

ALG_ID PackageMacAlgorithm(size_t cchMac)
{
    return cchMac == 64 ? CALG_SHA_256 : cchMac == 32 ? CALG_MD5 : CALG_SHA1;
}

HRESULT DigestHex(ALG_ID algId, const BYTE* pData, size_t cbData, std::wstring& strHex)
{
    strHex.clear();
    UniqueCryptProv prov;
    UniqueCryptHash hash;
    RETURN_IF_FAILED(BeginHash(algId, prov, hash));
    // CryptHashData takes 32-bit lengths.
    while (cbData > 0)
    {
        const DWORD cbChunk = cbData > 0x40000000u ? 0x40000000u : static_cast<DWORD>(cbData);
        RETURN_IF_WIN32_BOOL_FALSE(::CryptHashData(hash.Get(), pData, cbChunk, 0));
        pData += cbChunk;
        cbData -= cbChunk;
    }
    return FinishHash(hash.Get(), strHex);
}

HRESULT FileDigestHex(HANDLE hFile, ALG_ID algId, std::wstring& strHex)
{
    strHex.clear();
    UniqueCryptProv prov;
    UniqueCryptHash hash;
    RETURN_IF_FAILED(BeginHash(algId, prov, hash));
    LARGE_INTEGER start = {};
    RETURN_IF_WIN32_BOOL_FALSE(::SetFilePointerEx(hFile, start, nullptr, FILE_BEGIN));
    std::vector<BYTE> block(kFileBlockBytes);
    for (;;)
    {
        DWORD cbRead = 0;
        RETURN_IF_WIN32_BOOL_FALSE(::ReadFile(hFile, block.data(), kFileBlockBytes, &cbRead, nullptr));
        if (cbRead == 0)
            break;
        RETURN_IF_WIN32_BOOL_FALSE(::CryptHashData(hash.Get(), block.data(), cbRead, 0));
    }
    return FinishHash(hash.Get(), strHex);
}
