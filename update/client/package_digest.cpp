#include "update/client/package_digest.h"

#include <wincrypt.h>

#include <string>
#include <vector>

#include "common/error_macros.h"
#include "common/unique_resource.h"
#include "update/client/client_method_log.h"
#include "update/client/service_status.h"

namespace
{
HRESULT DigestHex(HANDLE hFile, ALG_ID algId, std::wstring& strHex)
{
    UniqueCryptProv prov;
    RETURN_IF_WIN32_BOOL_FALSE(::CryptAcquireContextW(prov.Receive(), nullptr, nullptr, PROV_RSA_FULL,
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
    static const wchar_t kHex[] = L"0123456789abcdef";
    strHex.clear();
    for (DWORD i = 0; i < cbDigest; ++i)
    {
        strHex += kHex[digest[i] >> 4];
        strHex += kHex[digest[i] & 0x0F];
    }
    return S_OK;
}
}  // namespace

HRESULT PackageDigestMatches(HANDLE hFile, const wchar_t* pszMac, bool& bMatches)
{
    bMatches = false;
    const std::wstring strMac = pszMac ? pszMac : L"";
    if (strMac.empty())
    {
        bMatches = true;
        return S_OK;
    }
    std::wstring strHex;
    const HRESULT hr = DigestHex(hFile, strMac.size() == 32 ? CALG_MD5 : CALG_SHA1, strHex);
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
