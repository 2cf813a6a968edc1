#include "update/info/ecdsa_p256.h"

#include <bcrypt.h>

#include "common/error_macros.h"
#include "common/string_util.h"
#include "common/unique_resource.h"

namespace EcdsaP256
{
namespace
{
const size_t kCoordinateBytes = 32;

HRESULT FromStatus(NTSTATUS status)
{
    return status >= 0 ? S_OK : HRESULT_FROM_NT(status);
}

// Opening a provider costs far more than the work a check does with it, so each is opened once
// per process and kept (CNG algorithm handles may be shared between threads).
HRESULT Provider(const wchar_t* pszAlgorithm, BCRYPT_ALG_HANDLE& hAlg)
{
    struct SProvider
    {
        explicit SProvider(const wchar_t* pszName)
        {
            status = ::BCryptOpenAlgorithmProvider(alg.Receive(), pszName, nullptr, 0);
        }
        UniqueBCryptAlg alg;
        NTSTATUS status;
    };
    static const SProvider sha256(BCRYPT_SHA256_ALGORITHM);
    static const SProvider ecdsa(BCRYPT_ECDSA_P256_ALGORITHM);
    const SProvider& provider = wcscmp(pszAlgorithm, BCRYPT_SHA256_ALGORITHM) == 0 ? sha256 : ecdsa;
    hAlg = provider.alg.Get();
    return FromStatus(provider.status);
}

// One DER length (short form, or 0x81 followed by one byte); false when it does not fit.
bool ReadLength(const std::vector<BYTE>& der, size_t& pos, size_t& cbLength)
{
    if (pos >= der.size())
        return false;
    const BYTE first = der[pos++];
    if (first < 0x80)
    {
        cbLength = first;
        return true;
    }
    if (first != 0x81 || pos >= der.size() || der[pos] < 0x80)
        return false;
    cbLength = der[pos++];
    return true;
}

bool ReadInteger(const std::vector<BYTE>& der, size_t& pos, BYTE* pOut)
{
    size_t cb = 0;
    if (pos >= der.size() || der[pos++] != 0x02 || !ReadLength(der, pos, cb) || cb == 0 || cb > der.size() - pos)
        return false;
    const BYTE* p = der.data() + pos;
    pos += cb;
    // Negative numbers, and a sign byte that is not needed, are not DER for r or s.
    if ((p[0] & 0x80) != 0 || (cb > 1 && p[0] == 0 && (p[1] & 0x80) == 0))
        return false;
    if (p[0] == 0 && cb > 1)
    {
        ++p;
        --cb;
    }
    if (cb > kCoordinateBytes)
        return false;
    memset(pOut, 0, kCoordinateBytes);
    memcpy(pOut + kCoordinateBytes - cb, p, cb);
    return true;
}

void AppendInteger(std::vector<BYTE>& der, const BYTE* p)
{
    size_t skip = 0;
    while (skip + 1 < kCoordinateBytes && p[skip] == 0)
        ++skip;
    const bool bSign = (p[skip] & 0x80) != 0;
    der.push_back(0x02);
    der.push_back(static_cast<BYTE>(kCoordinateBytes - skip + (bSign ? 1 : 0)));
    if (bSign)
        der.push_back(0);
    der.insert(der.end(), p + skip, p + kCoordinateBytes);
}
}  // namespace

HRESULT Sha256(const BYTE* pData, size_t cbData, Digest& digest)
{
    if (cbData > 0xFFFFFFFFu)
        return E_INVALIDARG;
    BCRYPT_ALG_HANDLE hAlg = nullptr;
    RETURN_IF_FAILED(Provider(BCRYPT_SHA256_ALGORITHM, hAlg));
    UniqueBCryptHash hash;
    RETURN_IF_FAILED(FromStatus(::BCryptCreateHash(hAlg, hash.Receive(), nullptr, 0, nullptr, 0, 0)));
    RETURN_IF_FAILED(
        FromStatus(::BCryptHashData(hash.Get(), const_cast<BYTE*>(pData), static_cast<ULONG>(cbData), 0)));
    RETURN_IF_FAILED(FromStatus(::BCryptFinishHash(hash.Get(), digest.data(), kDigestBytes, 0)));
    return S_OK;
}

HRESULT KeyId(const PublicPoint& point, std::wstring& strId)
{
    Digest digest;
    RETURN_IF_FAILED(Sha256(point.data(), point.size(), digest));
    strId = HexLower(digest.data(), 8);
    return S_OK;
}

bool DerToRaw(const std::vector<BYTE>& der, std::array<BYTE, kRawSignatureBytes>& raw)
{
    size_t pos = 0;
    size_t cbSequence = 0;
    if (der.empty() || der[pos++] != 0x30 || !ReadLength(der, pos, cbSequence) || cbSequence != der.size() - pos)
        return false;
    return ReadInteger(der, pos, raw.data()) && ReadInteger(der, pos, raw.data() + kCoordinateBytes) &&
           pos == der.size();
}

std::vector<BYTE> RawToDer(const std::array<BYTE, kRawSignatureBytes>& raw)
{
    std::vector<BYTE> body;
    AppendInteger(body, raw.data());
    AppendInteger(body, raw.data() + kCoordinateBytes);
    std::vector<BYTE> der = {0x30};
    if (body.size() >= 0x80)
        der.push_back(0x81);
    der.push_back(static_cast<BYTE>(body.size()));
    der.insert(der.end(), body.begin(), body.end());
    return der;
}

HRESULT Verify(const PublicPoint& point, const Digest& digest, const std::array<BYTE, kRawSignatureBytes>& raw,
               bool& bValid)
{
    bValid = false;
    RETURN_HR_IF(E_INVALIDARG, point[0] != 0x04);
    std::vector<BYTE> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 2 * kCoordinateBytes);
    BCRYPT_ECCKEY_BLOB header = {BCRYPT_ECDSA_PUBLIC_P256_MAGIC, kCoordinateBytes};
    memcpy(blob.data(), &header, sizeof(header));
    memcpy(blob.data() + sizeof(header), point.data() + 1, 2 * kCoordinateBytes);
    BCRYPT_ALG_HANDLE hAlg = nullptr;
    RETURN_IF_FAILED(Provider(BCRYPT_ECDSA_P256_ALGORITHM, hAlg));
    UniqueBCryptKey key;
    RETURN_IF_FAILED(FromStatus(::BCryptImportKeyPair(hAlg, nullptr, BCRYPT_ECCPUBLIC_BLOB, key.Receive(),
                                                      blob.data(), static_cast<ULONG>(blob.size()), 0)));
    const NTSTATUS status = ::BCryptVerifySignature(key.Get(), nullptr, const_cast<BYTE*>(digest.data()),
                                                    kDigestBytes, const_cast<BYTE*>(raw.data()), kRawSignatureBytes, 0);
    bValid = status == 0;
    return S_OK;
}
}  // namespace EcdsaP256
