#include "update/client/package_digest.h"

#include <wincrypt.h>

#include <string>
#include <vector>

#include "common/error_macros.h"
#include "common/string_util.h"
#include "common/unique_resource.h"
#include "update/client/client_method_log.h"
#include "update/client/service_status.h"

namespace
{
HRESULT DigestHex(HANDLE hFile, ALG_ID algId, std::wstring& strHex)
{
    // SHA-256 needs the AES provider; it does MD5 and SHA-1 as well.
    UniqueCryptProv prov;
    RETURN_IF_WIN32_BOOL_FALSE(::CryptAcquireContextW(prov.Receive(), nullptr, nullptr, PROV_RSA_AES,
                                                      CRYPT_VERIFYCONTEXT | CRYPT_MACHINE_KEYSET));
    UniqueCryptHash hash;
    RETURN_IF_WIN32_BOOL_FALSE(::CryptCreateHash(prov.Get(), algId, 0, 0, hash.Receive()));
    LARGE_INTEGER start = {};
    RETURN_IF_WIN32_BOOL_FALSE(::SetFilePointerEx(hFile, start, nullptr, FILE_BEGIN));
    std::vector<BYTE> block(65536);
    for (;;)
    {
        DWORD cbRead = 0;
        RETURN_IF_WIN32_BOOL_FALSE(::ReadFile(hFile, block.data(), static_cast<DWORD>(block.size()), &cbRead, nullptr));
        if (cbRead == 0)
            break;
        RETURN_IF_WIN32_BOOL_FALSE(::CryptHashData(hash.Get(), block.data(), cbRead, 0));
    }
    BYTE digest[64];
    DWORD cbDigest = sizeof(digest);
    RETURN_IF_WIN32_BOOL_FALSE(::CryptGetHashParam(hash.Get(), HP_HASHVAL, digest, &cbDigest, 0));
    strHex = HexLower(digest, cbDigest);
    return S_OK;
}
}  // namespace

HRESULT PackageDigestMatches(HANDLE hFile, const wchar_t* pszMac, bool& bMatches)
{
    bMatches = false;
    const std::wstring strMac = pszMac ? pszMac : L"";
    // An empty MAC vouches for no content.
    if (strMac.empty())
        return S_OK;
    const ALG_ID algId = strMac.size() == 64 ? CALG_SHA_256 : strMac.size() == 32 ? CALG_MD5 : CALG_SHA1;
    std::wstring strHex;
    const HRESULT hr = DigestHex(hFile, algId, strHex);
    if (FAILED(hr))
    {
        // A package whose digest cannot be computed is not vouched for: the same outcome as the
        // download manager's check, and the cause for the log.
        long lResult = ZEP_E_DIGEST_MISMATCH;
        CClientMethodLog log(L"CZepServiceManager::Execute", &lResult);
        log.ErrorPrintf(L"Digest not computed hr 0x%x", hr);
        return ZEP_E_DIGEST_MISMATCH;
    }
    // Case matters: the information file writes lower-case digits.
    bMatches = strHex == strMac;
    return S_OK;
}
