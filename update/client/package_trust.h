#pragma once
// Whether a downloaded PC package may be started: an installer (.msi or .exe) whose code
// signature the system verifies and whose signer is one this build trusts.
#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <vector>

enum class EPackageVerdict
{
    eTrusted,
    eNotAnInstaller,    // neither .msi nor .exe: the shell would run anything it can open
    eSignatureRefused,  // no signature, or one that does not match the file
    eSignerNotPinned,   // a valid signature by a certificate this build does not trust
    eSignerUnreadable,
};

class CPackageTrust
{
public:
    // Trusts the signers compiled into the build.
    CPackageTrust();
    // Trusts the certificates whose SubjectPublicKeyInfo has one of these SHA-256 digests
    // (64 lower-case hex digits each).
    explicit CPackageTrust(std::vector<std::wstring> pins);

    // hFile: the package held open since its size check, so that the bytes verified are the
    // bytes started. hrTrust receives WinVerifyTrust's answer (S_OK when not asked).
    EPackageVerdict Examine(const std::wstring& strPath, HANDLE hFile, HRESULT& hrTrust) const;
    // S_OK for a trusted package; otherwise logs why and returns the result of a wrong digest.
    HRESULT Check(const std::wstring& strPath, HANDLE hFile) const;

private:
    bool IsPinned(PCCERT_CONTEXT pCert) const;

    std::vector<std::wstring> m_pins;
};
