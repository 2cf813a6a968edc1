#include "update/client/package_trust.h"

#include <softpub.h>
#include <wintrust.h>

#include <cwctype>

#include "code_signing_pins.h"
#include "common/string_util.h"
#include "common/unique_resource.h"
#include "update/client/client_method_log.h"
#include "update/client/service_status.h"

namespace
{
bool IsInstallerName(const std::wstring& strPath)
{
    const size_t iSlash = strPath.find_last_of(L"\\/");
    const size_t iDot = strPath.find_last_of(L'.');
    if (iDot == std::wstring::npos || (iSlash != std::wstring::npos && iDot < iSlash))
        return false;
    const wchar_t* pszExtension = strPath.c_str() + iDot;
    return _wcsicmp(pszExtension, L".msi") == 0 || _wcsicmp(pszExtension, L".exe") == 0;
}

// SHA-256 of the certificate's SubjectPublicKeyInfo as DER, in lower-case hex; empty on failure.
std::wstring SpkiSha256(PCCERT_CONTEXT pCert)
{
    UniqueLocalMem encoded;
    DWORD cbEncoded = 0;
    if (!::CryptEncodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, &pCert->pCertInfo->SubjectPublicKeyInfo,
                               CRYPT_ENCODE_ALLOC_FLAG, nullptr, encoded.Receive(), &cbEncoded))
        return std::wstring();
    BYTE hash[32];
    DWORD cbHash = sizeof(hash);
    if (!::CryptHashCertificate2(BCRYPT_SHA256_ALGORITHM, 0, nullptr, static_cast<const BYTE*>(encoded.Get()),
                                 cbEncoded, hash, &cbHash))
        return std::wstring();
    return HexLower(hash, cbHash);
}

const wchar_t* Reason(EPackageVerdict verdict)
{
    switch (verdict)
    {
    case EPackageVerdict::eNotAnInstaller: return L"not an installer (.msi or .exe)";
    case EPackageVerdict::eSignatureRefused: return L"code signature missing or not valid";
    case EPackageVerdict::eSignerNotPinned: return L"signed by a certificate this build does not trust";
    case EPackageVerdict::eSignerUnreadable: return L"the signer's certificate could not be read";
    case EPackageVerdict::eTrusted: break;
    }
    return L"trusted";
}
}  // namespace

CPackageTrust::CPackageTrust() : m_pins(std::begin(kCodeSigningPins), std::end(kCodeSigningPins)) {}

CPackageTrust::CPackageTrust(std::vector<std::wstring> pins) : m_pins(std::move(pins)) {}

bool CPackageTrust::IsPinned(PCCERT_CONTEXT pCert) const
{
    const std::wstring strPin = SpkiSha256(pCert);
    if (strPin.empty())
        return false;
    for (const std::wstring& strTrusted : m_pins)
    {
        if (strTrusted == strPin)
            return true;
    }
    return false;
}

EPackageVerdict CPackageTrust::Examine(const std::wstring& strPath, HANDLE hFile, HRESULT& hrTrust) const
{
    hrTrust = S_OK;
    if (!IsInstallerName(strPath))
        return EPackageVerdict::eNotAnInstaller;
    // The digest check left the handle at the end of the file.
    LARGE_INTEGER start = {};
    ::SetFilePointerEx(hFile, start, nullptr, FILE_BEGIN);

    WINTRUST_FILE_INFO file = {sizeof(file)};
    file.pcwszFilePath = strPath.c_str();
    file.hFile = hFile;
    WINTRUST_DATA data = {sizeof(data)};
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    hrTrust = static_cast<HRESULT>(::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data));

    EPackageVerdict verdict = EPackageVerdict::eSignatureRefused;
    if (hrTrust == S_OK)
    {
        // The signer is taken from the verification just made, not read from the file again.
        verdict = EPackageVerdict::eSignerUnreadable;
        CRYPT_PROVIDER_DATA* pProvider = ::WTHelperProvDataFromStateData(data.hWVTStateData);
        CRYPT_PROVIDER_SGNR* pSigner = pProvider ? ::WTHelperGetProvSignerFromChain(pProvider, 0, FALSE, 0) : nullptr;
        if (pSigner && pSigner->csCertChain > 0 && pSigner->pasCertChain && pSigner->pasCertChain[0].pCert)
            verdict = IsPinned(pSigner->pasCertChain[0].pCert) ? EPackageVerdict::eTrusted
                                                               : EPackageVerdict::eSignerNotPinned;
    }
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    return verdict;
}

HRESULT CPackageTrust::Check(const std::wstring& strPath, HANDLE hFile) const
{
    long lResult = S_OK;
    CClientMethodLog log(L"CPackageTrust::Check", &lResult);
    HRESULT hrTrust = S_OK;
    const EPackageVerdict verdict = Examine(strPath, hFile, hrTrust);
    if (verdict == EPackageVerdict::eTrusted)
    {
        log.TracePrintf(L"Code signature is OK");
        return S_OK;
    }
    log.ErrorPrintf(L"Package refused, %s (WinVerifyTrust 0x%x): %s", Reason(verdict), hrTrust, strPath.c_str());
    return lResult = ZEP_E_DIGEST_MISMATCH;
}
