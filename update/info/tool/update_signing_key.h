#pragma once
// An ECDSA P-256 private key for signing update information, in the PKCS#8 PEM form openssl
// reads and writes, and the detached signature file it makes. Signing happens on the release
// manager's machine only; the client never holds a private key.
#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "update/info/ecdsa_p256.h"

class CUpdateSigningKey
{
public:
    HRESULT Generate();
    // "PRIVATE KEY" (PKCS#8) or "EC PRIVATE KEY" PEM of a P-256 key that carries its public
    // point; false with the reason otherwise, or when the two halves do not belong together.
    bool LoadPem(const std::string& strPem, std::wstring& strProblem);
    // The same from a file; the reason then names the file.
    bool LoadPemFile(const std::wstring& strPath, std::wstring& strProblem);

    std::string PrivatePem() const;
    std::string PublicPem() const;
    const EcdsaP256::PublicPoint& PublicPoint() const noexcept { return m_public; }
    HRESULT Sign(const EcdsaP256::Digest& digest, std::vector<BYTE>& der) const;

    // The text of info.xml.sig for the exact bytes of an information file.
    HRESULT SignatureFile(const std::string& strInfo, const std::wstring& strCategory,
                          const std::wstring& strService, ULONGLONG ullSerial, const std::wstring& strExpires,
                          std::string& strText) const;

private:
    HRESULT SetFromPrivateBlob(const std::vector<BYTE>& blob);

    std::array<BYTE, 32> m_private = {};
    EcdsaP256::PublicPoint m_public = {};
};

// Standard base64, no line breaks.
std::string Base64(const std::vector<BYTE>& bytes);
