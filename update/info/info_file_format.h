#pragma once
// The outer layout of an update information file: header lines, the blank-line separator and
// the salted body digest. Shared by the client's loader and the publishing tool.
#include <windows.h>
#include <wincrypt.h>
#include <string>

namespace InfoFileFormat
{
extern const wchar_t kEncodingTag[];   // "eaid:"
extern const wchar_t kDigestIdTag[];   // "daid:"
extern const wchar_t kDigestTag[];     // "digest:"
extern const wchar_t kEncodingPlainUtf8[];  // "ENC0001"
extern const wchar_t kDigestNone[];    // "HAS0001"
extern const wchar_t kDigestMd5[];     // "HAS0002"
extern const wchar_t kDigestSha1[];    // "HAS0003"

struct HeaderValues
{
    std::wstring m_strEncodingId;
    std::wstring m_strDigestId;
    std::wstring m_strDigest;
};

// Finds the first LF LF pair. On success cbHeader is the header's length including the pair.
bool FindHeaderEnd(const BYTE* pData, size_t cbData, size_t& cbHeader) noexcept;

// Strict UTF-8 to UTF-16: an invalid sequence is HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
// empty input converts to nothing and fails with E_FAIL.
HRESULT DecodeUtf8Strict(const BYTE* pData, size_t cbData, std::wstring& strText);

// The three tagged values of a decoded header; false when a line or its tag is missing.
bool SplitHeader(const std::wstring& strHeader, HeaderValues& values);

std::wstring TrimWhiteSpace(const std::wstring& str);
// True when every character is a hexadecimal digit (also for the empty string).
bool IsHexDigits(const std::wstring& str) noexcept;

// Hash algorithm of a digest identifier (compared without regard to case); 0 for "HAS0001" and
// for unknown identifiers.
ALG_ID DigestAlgorithm(const std::wstring& strDigestId);
// The file's digest: H(hex(H(body)) + service + category), lower-case hexadecimal.
HRESULT ComputeSaltedDigest(ALG_ID algId, const BYTE* pBody, size_t cbBody, const std::wstring& strServiceId,
                            const std::wstring& strCategory, std::wstring& strDigest);

// The header bytes the client expects, separator included.
std::string BuildHeader(const std::wstring& strDigestId, const std::wstring& strDigest);
}  // namespace InfoFileFormat
