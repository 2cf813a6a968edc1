#include "update/info/tool/update_signing_key.h"

#include <bcrypt.h>
#include <wincrypt.h>

#include "common/error_macros.h"
#include "common/file_util.h"
#include "common/string_util.h"
#include "common/unique_resource.h"
#include "update/info/info_signature.h"

namespace
{
const size_t kCoordinateBytes = 32;
// AlgorithmIdentifier { id-ecPublicKey, prime256v1 }.
const BYTE kEcP256Algorithm[] = {0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x02, 0x01,
                                 0x06, 0x08, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x03, 0x01, 0x07};
const BYTE kP256Oid[] = {0x06, 0x08, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x03, 0x01, 0x07};

bool Fail(std::wstring& strProblem, const wchar_t* pszProblem)
{
    strProblem = pszProblem;
    return false;
}

HRESULT FromStatus(NTSTATUS status)
{
    return status >= 0 ? S_OK : HRESULT_FROM_NT(status);
}

// One TLV of a DER buffer: tag, and the value's place.
struct Tlv
{
    BYTE tag = 0;
    size_t pos = 0;
    size_t cb = 0;
};

bool ReadTlv(const std::vector<BYTE>& der, size_t& pos, size_t end, Tlv& tlv)
{
    if (pos + 2 > end)
        return false;
    tlv.tag = der[pos++];
    size_t cb = der[pos++];
    if (cb & 0x80)
    {
        const size_t cLength = cb & 0x7F;
        if (cLength == 0 || cLength > 2 || pos + cLength > end)
            return false;
        cb = 0;
        for (size_t i = 0; i < cLength; ++i)
            cb = (cb << 8) | der[pos++];
    }
    if (cb > end - pos)
        return false;
    tlv.pos = pos;
    tlv.cb = cb;
    pos += cb;
    return true;
}

bool Same(const std::vector<BYTE>& der, const Tlv& tlv, const BYTE* pExpected, size_t cbExpected)
{
    return tlv.cb == cbExpected && memcmp(der.data() + tlv.pos, pExpected, cbExpected) == 0;
}

// ECPrivateKey { version 1, privateKey OCTET STRING(32), [0] parameters OPTIONAL, [1] publicKey }.
bool ParseEcPrivateKey(const std::vector<BYTE>& der, size_t pos, size_t end, std::array<BYTE, 32>& d,
                       EcdsaP256::PublicPoint& point, std::wstring& strProblem)
{
    Tlv seq, version, secret;
    if (!ReadTlv(der, pos, end, seq) || seq.tag != 0x30)
        return Fail(strProblem, L"the EC private key is not a DER sequence");
    pos = seq.pos;
    end = seq.pos + seq.cb;
    if (!ReadTlv(der, pos, end, version) || version.tag != 0x02 || version.cb != 1 || der[version.pos] != 1 ||
        !ReadTlv(der, pos, end, secret) || secret.tag != 0x04 || secret.cb != kCoordinateBytes)
        return Fail(strProblem, L"the EC private key is not a P-256 key");
    memcpy(d.data(), der.data() + secret.pos, kCoordinateBytes);
    bool bPublic = false;
    while (pos < end)
    {
        Tlv field;
        if (!ReadTlv(der, pos, end, field))
            return Fail(strProblem, L"the EC private key is not valid DER");
        if (field.tag == 0xA0)
        {
            size_t inner = field.pos;
            Tlv oid;
            if (!ReadTlv(der, inner, field.pos + field.cb, oid) ||
                !Same(der, Tlv{0, oid.pos - 2, oid.cb + 2}, kP256Oid, sizeof(kP256Oid)))
                return Fail(strProblem, L"the key is not on the curve P-256 (prime256v1)");
        }
        else if (field.tag == 0xA1)
        {
            size_t inner = field.pos;
            Tlv bits;
            if (!ReadTlv(der, inner, field.pos + field.cb, bits) || bits.tag != 0x03 ||
                bits.cb != EcdsaP256::kPointBytes + 1 || der[bits.pos] != 0 || der[bits.pos + 1] != 0x04)
                return Fail(strProblem, L"the key's public point is not an uncompressed P-256 point");
            memcpy(point.data(), der.data() + bits.pos + 1, EcdsaP256::kPointBytes);
            bPublic = true;
        }
    }
    if (!bPublic)
        return Fail(strProblem, L"the key does not carry its public point (write it with openssl)");
    return true;
}

bool PemBody(const std::string& strPem, const char* pszLabel, std::vector<BYTE>& der)
{
    const std::string strBegin = std::string("-----BEGIN ") + pszLabel + "-----";
    const std::string strEnd = std::string("-----END ") + pszLabel + "-----";
    const size_t begin = strPem.find(strBegin);
    if (begin == std::string::npos)
        return false;
    const size_t first = begin + strBegin.size();
    const size_t end = strPem.find(strEnd, first);
    if (end == std::string::npos)
        return false;
    const std::string strBase64 = strPem.substr(first, end - first);
    DWORD cb = 0;
    if (!::CryptStringToBinaryA(strBase64.c_str(), static_cast<DWORD>(strBase64.size()), CRYPT_STRING_BASE64, nullptr,
                                &cb, nullptr, nullptr))
        return false;
    der.resize(cb);
    if (!::CryptStringToBinaryA(strBase64.c_str(), static_cast<DWORD>(strBase64.size()), CRYPT_STRING_BASE64,
                                der.data(), &cb, nullptr, nullptr))
        return false;
    der.resize(cb);
    return true;
}

std::string Pem(const char* pszLabel, const std::vector<BYTE>& der)
{
    const std::string strBase64 = Base64(der);
    std::string strPem = std::string("-----BEGIN ") + pszLabel + "-----\n";
    for (size_t i = 0; i < strBase64.size(); i += 64)
        strPem += strBase64.substr(i, 64) + "\n";
    return strPem + "-----END " + pszLabel + "-----\n";
}

void Append(std::vector<BYTE>& der, std::initializer_list<BYTE> bytes)
{
    der.insert(der.end(), bytes.begin(), bytes.end());
}
}  // namespace

std::string Base64(const std::vector<BYTE>& bytes)
{
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string str;
    for (size_t i = 0; i < bytes.size(); i += 3)
    {
        const size_t cb = bytes.size() - i < 3 ? bytes.size() - i : 3;
        const unsigned n = (bytes[i] << 16) | (cb > 1 ? bytes[i + 1] << 8 : 0) | (cb > 2 ? bytes[i + 2] : 0);
        str += kAlphabet[(n >> 18) & 63];
        str += kAlphabet[(n >> 12) & 63];
        str += cb > 1 ? kAlphabet[(n >> 6) & 63] : '=';
        str += cb > 2 ? kAlphabet[n & 63] : '=';
    }
    return str;
}

HRESULT CUpdateSigningKey::SetFromPrivateBlob(const std::vector<BYTE>& blob)
{
    RETURN_HR_IF(E_UNEXPECTED, blob.size() != sizeof(BCRYPT_ECCKEY_BLOB) + 3 * kCoordinateBytes);
    m_public[0] = 0x04;
    memcpy(m_public.data() + 1, blob.data() + sizeof(BCRYPT_ECCKEY_BLOB), 2 * kCoordinateBytes);
    memcpy(m_private.data(), blob.data() + sizeof(BCRYPT_ECCKEY_BLOB) + 2 * kCoordinateBytes, kCoordinateBytes);
    return S_OK;
}

HRESULT CUpdateSigningKey::Generate()
{
    UniqueBCryptAlg alg;
    RETURN_IF_FAILED(FromStatus(::BCryptOpenAlgorithmProvider(alg.Receive(), BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0)));
    UniqueBCryptKey key;
    RETURN_IF_FAILED(FromStatus(::BCryptGenerateKeyPair(alg.Get(), key.Receive(), 256, 0)));
    RETURN_IF_FAILED(FromStatus(::BCryptFinalizeKeyPair(key.Get(), 0)));
    std::vector<BYTE> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 3 * kCoordinateBytes);
    ULONG cb = 0;
    RETURN_IF_FAILED(FromStatus(::BCryptExportKey(key.Get(), nullptr, BCRYPT_ECCPRIVATE_BLOB, blob.data(),
                                                  static_cast<ULONG>(blob.size()), &cb, 0)));
    blob.resize(cb);
    const HRESULT hr = SetFromPrivateBlob(blob);
    SecureZeroMemory(blob.data(), blob.size());
    return hr;
}

bool CUpdateSigningKey::LoadPem(const std::string& strPem, std::wstring& strProblem)
{
    std::vector<BYTE> der;
    if (PemBody(strPem, "PRIVATE KEY", der))
    {
        // PrivateKeyInfo { version 0, AlgorithmIdentifier, privateKey OCTET STRING }.
        size_t pos = 0;
        Tlv seq, version, algorithm, octets;
        if (!ReadTlv(der, pos, der.size(), seq) || seq.tag != 0x30)
            return Fail(strProblem, L"the PKCS#8 key is not a DER sequence");
        pos = seq.pos;
        const size_t end = seq.pos + seq.cb;
        if (!ReadTlv(der, pos, end, version) || version.tag != 0x02 || !ReadTlv(der, pos, end, algorithm) ||
            !Same(der, Tlv{0, algorithm.pos - 2, algorithm.cb + 2}, kEcP256Algorithm, sizeof(kEcP256Algorithm)))
            return Fail(strProblem, L"the PKCS#8 key is not an EC key on the curve P-256 (prime256v1)");
        if (!ReadTlv(der, pos, end, octets) || octets.tag != 0x04)
            return Fail(strProblem, L"the PKCS#8 key holds no private key");
        if (!ParseEcPrivateKey(der, octets.pos, octets.pos + octets.cb, m_private, m_public, strProblem))
            return false;
    }
    else if (PemBody(strPem, "EC PRIVATE KEY", der))
    {
        if (!ParseEcPrivateKey(der, 0, der.size(), m_private, m_public, strProblem))
            return false;
    }
    else
        return Fail(strProblem, L"no \"PRIVATE KEY\" PEM block (an ECDSA P-256 key in PKCS#8, as openssl genpkey writes)");
    SecureZeroMemory(der.data(), der.size());

    // A key whose halves do not belong together would sign what no client accepts.
    EcdsaP256::Digest probe = {1, 2, 3};
    std::vector<BYTE> signature;
    std::array<BYTE, EcdsaP256::kRawSignatureBytes> raw;
    bool bValid = false;
    if (FAILED(Sign(probe, signature)) || !EcdsaP256::DerToRaw(signature, raw) ||
        FAILED(EcdsaP256::Verify(m_public, probe, raw, bValid)) || !bValid)
        return Fail(strProblem, L"the key's private and public halves do not belong together");
    return true;
}

bool CUpdateSigningKey::LoadPemFile(const std::wstring& strPath, std::wstring& strProblem)
{
    std::string strPem;
    if (ReadWholeFile(strPath, strPem, 64 * 1024) != ERROR_SUCCESS)
    {
        strProblem = L"cannot read " + strPath;
        return false;
    }
    const bool bLoaded = LoadPem(strPem, strProblem);
    SecureZeroMemory(&strPem[0], strPem.size());
    if (!bLoaded)
        strProblem = strPath + L": " + strProblem;
    return bLoaded;
}

std::string CUpdateSigningKey::PrivatePem() const
{
    // PrivateKeyInfo as openssl writes it for a P-256 key.
    std::vector<BYTE> ec;
    Append(ec, {0x30, 0x6b, 0x02, 0x01, 0x01, 0x04, 0x20});
    ec.insert(ec.end(), m_private.begin(), m_private.end());
    Append(ec, {0xa1, 0x44, 0x03, 0x42, 0x00});
    ec.insert(ec.end(), m_public.begin(), m_public.end());
    std::vector<BYTE> der;
    Append(der, {0x30, 0x81, 0x87, 0x02, 0x01, 0x00});
    der.insert(der.end(), kEcP256Algorithm, kEcP256Algorithm + sizeof(kEcP256Algorithm));
    Append(der, {0x04, 0x6d});
    der.insert(der.end(), ec.begin(), ec.end());
    const std::string strPem = Pem("PRIVATE KEY", der);
    SecureZeroMemory(der.data(), der.size());
    SecureZeroMemory(ec.data(), ec.size());
    return strPem;
}

std::string CUpdateSigningKey::PublicPem() const
{
    std::vector<BYTE> der;
    Append(der, {0x30, 0x59});
    der.insert(der.end(), kEcP256Algorithm, kEcP256Algorithm + sizeof(kEcP256Algorithm));
    Append(der, {0x03, 0x42, 0x00});
    der.insert(der.end(), m_public.begin(), m_public.end());
    return Pem("PUBLIC KEY", der);
}

HRESULT CUpdateSigningKey::Sign(const EcdsaP256::Digest& digest, std::vector<BYTE>& der) const
{
    std::vector<BYTE> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 3 * kCoordinateBytes);
    const BCRYPT_ECCKEY_BLOB header = {BCRYPT_ECDSA_PRIVATE_P256_MAGIC, kCoordinateBytes};
    memcpy(blob.data(), &header, sizeof(header));
    memcpy(blob.data() + sizeof(header), m_public.data() + 1, 2 * kCoordinateBytes);
    memcpy(blob.data() + sizeof(header) + 2 * kCoordinateBytes, m_private.data(), kCoordinateBytes);
    UniqueBCryptAlg alg;
    RETURN_IF_FAILED(FromStatus(::BCryptOpenAlgorithmProvider(alg.Receive(), BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0)));
    UniqueBCryptKey key;
    const NTSTATUS status = ::BCryptImportKeyPair(alg.Get(), nullptr, BCRYPT_ECCPRIVATE_BLOB, key.Receive(),
                                                  blob.data(), static_cast<ULONG>(blob.size()), 0);
    SecureZeroMemory(blob.data(), blob.size());
    RETURN_IF_FAILED(FromStatus(status));
    std::array<BYTE, EcdsaP256::kRawSignatureBytes> raw;
    ULONG cb = 0;
    RETURN_IF_FAILED(FromStatus(::BCryptSignHash(key.Get(), nullptr, const_cast<BYTE*>(digest.data()),
                                                 static_cast<ULONG>(digest.size()), raw.data(),
                                                 static_cast<ULONG>(raw.size()), &cb, 0)));
    RETURN_HR_IF(E_UNEXPECTED, cb != raw.size());
    der = EcdsaP256::RawToDer(raw);
    return S_OK;
}

HRESULT CUpdateSigningKey::SignatureFile(const std::string& strInfo, const std::wstring& strCategory,
                                         const std::wstring& strService, ULONGLONG ullSerial,
                                         const std::wstring& strExpires, std::string& strText) const
{
    EcdsaP256::Digest infoDigest;
    RETURN_IF_FAILED(EcdsaP256::Sha256(reinterpret_cast<const BYTE*>(strInfo.data()), strInfo.size(), infoDigest));
    const std::string strMessage = InfoSignature::Message(strCategory, strService, ullSerial, strExpires,
                                                          HexLower(infoDigest.data(), infoDigest.size()));
    EcdsaP256::Digest digest;
    RETURN_IF_FAILED(EcdsaP256::Sha256(reinterpret_cast<const BYTE*>(strMessage.data()), strMessage.size(), digest));
    std::vector<BYTE> der;
    RETURN_IF_FAILED(Sign(digest, der));
    std::wstring strKeyId;
    RETURN_IF_FAILED(EcdsaP256::KeyId(m_public, strKeyId));
    strText = "key: " + WideToUtf8(strKeyId) + "\nserial: " + std::to_string(ullSerial) +
              "\nexpires: " + WideToUtf8(strExpires) + "\nsignature: " + Base64(der) + "\n";
    return S_OK;
}
