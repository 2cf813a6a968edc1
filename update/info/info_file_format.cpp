#include "update/info/info_file_format.h"

#include "common/crypt_digest.h"
#include "common/string_util.h"

namespace InfoFileFormat
{
const wchar_t kEncodingTag[] = L"eaid:";
const wchar_t kDigestIdTag[] = L"daid:";
const wchar_t kDigestTag[] = L"digest:";
const wchar_t kEncodingPlainUtf8[] = L"ENC0001";
const wchar_t kDigestNone[] = L"HAS0001";
const wchar_t kDigestMd5[] = L"HAS0002";
const wchar_t kDigestSha1[] = L"HAS0003";

namespace
{
bool IsHeaderSpace(wchar_t ch) noexcept
{
    return ch == L' ' || ch == L'\t' || ch == L'\n' || ch == L'\v' || ch == L'\f' || ch == L'\r';
}

// The line without its tag, trimmed; false when the tag is not in the line.
bool TakeTaggedValue(const std::wstring& strLine, const wchar_t* pszTag, std::wstring& strValue)
{
    const size_t pos = strLine.find(pszTag);
    if (pos == std::wstring::npos)
        return false;
    std::wstring strRest = strLine;
    strRest.erase(pos, wcslen(pszTag));
    strValue = TrimWhiteSpace(strRest);
    return true;
}
}  // namespace

bool FindHeaderEnd(const BYTE* pData, size_t cbData, size_t& cbHeader) noexcept
{
    for (size_t i = 0; i + 1 < cbData; ++i)
    {
        if (pData[i] == '\n' && pData[i + 1] == '\n')
        {
            cbHeader = i + 2;
            return true;
        }
    }
    return false;
}

HRESULT DecodeUtf8Strict(const BYTE* pData, size_t cbData, std::wstring& strText)
{
    strText.clear();
    if (cbData > static_cast<size_t>(INT_MAX))
        return HRESULT_FROM_WIN32(ERROR_ARITHMETIC_OVERFLOW);
    const char* psz = reinterpret_cast<const char*>(pData);
    const int cch = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, psz, static_cast<int>(cbData), nullptr, 0);
    if (cch <= 0)
    {
        const DWORD dwError = ::GetLastError();
        return dwError == ERROR_NO_UNICODE_TRANSLATION ? HRESULT_FROM_WIN32(dwError) : E_FAIL;
    }
    strText.resize(static_cast<size_t>(cch));
    if (::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, psz, static_cast<int>(cbData), &strText[0], cch) != cch)
    {
        strText.clear();
        return HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
    }
    return S_OK;
}

std::wstring TrimWhiteSpace(const std::wstring& str)
{
    size_t first = 0;
    size_t last = str.size();
    while (first < last && IsHeaderSpace(str[first]))
        ++first;
    while (last > first && IsHeaderSpace(str[last - 1]))
        --last;
    return str.substr(first, last - first);
}

bool SplitHeader(const std::wstring& strHeader, HeaderValues& values)
{
    const size_t posLine1 = strHeader.find(L'\n');
    if (posLine1 == std::wstring::npos)
        return false;
    const size_t posLine2 = strHeader.find(L'\n', posLine1 + 1);
    if (posLine2 == std::wstring::npos)
        return false;
    const std::wstring strLine1 = strHeader.substr(0, posLine1);
    const std::wstring strLine2 = strHeader.substr(posLine1 + 1, posLine2 - posLine1 - 1);
    const std::wstring strLine3 = strHeader.substr(posLine2 + 1);
    return TakeTaggedValue(strLine1, kEncodingTag, values.m_strEncodingId) &&
           TakeTaggedValue(strLine2, kDigestIdTag, values.m_strDigestId) &&
           TakeTaggedValue(strLine3, kDigestTag, values.m_strDigest);
}

bool IsHexDigits(const std::wstring& str) noexcept
{
    for (wchar_t ch : str)
    {
        const bool bHex = (ch >= L'0' && ch <= L'9') || (ch >= L'a' && ch <= L'f') || (ch >= L'A' && ch <= L'F');
        if (!bHex)
            return false;
    }
    return true;
}

ALG_ID DigestAlgorithm(const std::wstring& strDigestId)
{
    if (EqualsNoCase(strDigestId, kDigestMd5))
        return CALG_MD5;
    if (EqualsNoCase(strDigestId, kDigestSha1))
        return CALG_SHA1;
    return 0;
}


HRESULT ComputeSaltedDigest(ALG_ID algId, const BYTE* pBody, size_t cbBody, const std::wstring& strServiceId,
                            const std::wstring& strCategory, std::wstring& strDigest)
{
    strDigest.clear();
    std::wstring strBodyDigest;
    HRESULT hr = DigestHex(algId, pBody, cbBody, strBodyDigest);
    if (FAILED(hr))
        return hr;
    const std::string strSalted = WideToUtf8(strBodyDigest + strServiceId + strCategory);
    return DigestHex(algId, reinterpret_cast<const BYTE*>(strSalted.data()), strSalted.size(), strDigest);
}

std::string BuildHeader(const std::wstring& strDigestId, const std::wstring& strDigest)
{
    std::wstring strHeader;
    strHeader += kEncodingTag;
    strHeader += L' ';
    strHeader += kEncodingPlainUtf8;
    strHeader += L'\n';
    strHeader += kDigestIdTag;
    strHeader += L' ';
    strHeader += strDigestId;
    strHeader += L'\n';
    strHeader += kDigestTag;
    if (!strDigest.empty())
    {
        strHeader += L' ';
        strHeader += strDigest;
    }
    strHeader += L"\n\n";
    return WideToUtf8(strHeader);
}
}  // namespace InfoFileFormat
