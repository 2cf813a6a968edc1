#pragma once
// ECDSA over P-256 with SHA-256 through CNG: what the client needs to check a signature, and
// the conversions between the DER form openssl writes and the raw r||s form CNG takes.
#include <windows.h>

#include <array>
#include <string>
#include <vector>

namespace EcdsaP256
{
const size_t kDigestBytes = 32;
const size_t kRawSignatureBytes = 64;
// 0x04, X, Y.
const size_t kPointBytes = 65;
typedef std::array<BYTE, kPointBytes> PublicPoint;
typedef std::array<BYTE, kDigestBytes> Digest;

HRESULT Sha256(const BYTE* pData, size_t cbData, Digest& digest);
// The first 8 bytes of SHA-256 of the point, as 16 lower-case hexadecimal digits.
HRESULT KeyId(const PublicPoint& point, std::wstring& strId);

// SEQUENCE { INTEGER r, INTEGER s } in strict DER, each at most 32 bytes once its sign byte is
// dropped; false for anything else (trailing bytes included).
bool DerToRaw(const std::vector<BYTE>& der, std::array<BYTE, kRawSignatureBytes>& raw);
std::vector<BYTE> RawToDer(const std::array<BYTE, kRawSignatureBytes>& raw);

// S_OK with bValid telling whether the signature holds; a failure when the key cannot be used.
HRESULT Verify(const PublicPoint& point, const Digest& digest, const std::array<BYTE, kRawSignatureBytes>& raw,
               bool& bValid);
}  // namespace EcdsaP256
