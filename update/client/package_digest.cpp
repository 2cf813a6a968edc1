#include "update/client/package_digest.h"

#include <string>

#include "common/crypt_digest.h"
#include "update/client/client_method_log.h"
#include "update/client/service_status.h"

HRESULT PackageDigestMatches(HANDLE hFile, const wchar_t* pszMac, bool& bMatches)
{
    bMatches = false;
    const std::wstring strMac = pszMac ? pszMac : L"";
    // An empty MAC vouches for no content.
    if (strMac.empty())
        return S_OK;
    std::wstring strHex;
    const HRESULT hr = FileDigestHex(hFile, PackageMacAlgorithm(strMac.size()), strHex);
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
