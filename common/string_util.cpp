#include "common/string_util.h"

#include <cstdarg>
#include <cwchar>
#include <vector>

std::wstring Utf8ToWide(const char* pData, size_t cbData)
{
    if (cbData == 0)
        return std::wstring();
    const int cch = ::MultiByteToWideChar(CP_UTF8, 0, pData, static_cast<int>(cbData), nullptr, 0);
    if (cch <= 0)
        return std::wstring();
    std::wstring out(static_cast<size_t>(cch), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, pData, static_cast<int>(cbData), &out[0], cch);
    return out;
}

static std::string WideToCodePage(const wchar_t* pData, size_t cchData, UINT codePage)
{
    if (cchData == 0)
        return std::string();
    const int cb = ::WideCharToMultiByte(codePage, 0, pData, static_cast<int>(cchData), nullptr, 0, nullptr, nullptr);
    if (cb <= 0)
        return std::string();
    std::string out(static_cast<size_t>(cb), '\0');
    ::WideCharToMultiByte(codePage, 0, pData, static_cast<int>(cchData), &out[0], cb, nullptr, nullptr);
    return out;
}

std::string WideToUtf8(const wchar_t* pData, size_t cchData)
{
    return WideToCodePage(pData, cchData, CP_UTF8);
}

std::string WideToAnsi(const std::wstring& str, UINT codePage)
{
    return WideToCodePage(str.data(), str.size(), codePage);
}

std::wstring FormatStringV(const wchar_t* pszFormat, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    const int cch = _vscwprintf(pszFormat, copy);
    va_end(copy);
    if (cch <= 0)
        return std::wstring();
    std::wstring out(static_cast<size_t>(cch) + 1, L'\0');
    _vsnwprintf(&out[0], out.size(), pszFormat, args);
    out.resize(static_cast<size_t>(cch));
    return out;
}

std::wstring FormatString(const wchar_t* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    std::wstring out = FormatStringV(pszFormat, args);
    va_end(args);
    return out;
}

bool EqualsNoCase(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                  TRUE) == CSTR_EQUAL;
}

std::wstring ToLower(std::wstring str)
{
    if (!str.empty())
        ::CharLowerBuffW(&str[0], static_cast<DWORD>(str.size()));
    return str;
}

std::wstring ToUpper(std::wstring str)
{
    if (!str.empty())
        ::CharUpperBuffW(&str[0], static_cast<DWORD>(str.size()));
    return str;
}

std::wstring HexLower(const BYTE* pData, size_t cbData)
{
    static const wchar_t kHex[] = L"0123456789abcdef";
    std::wstring str;
    str.reserve(cbData * 2);
    for (size_t i = 0; i < cbData; ++i)
    {
        str += kHex[pData[i] >> 4];
        str += kHex[pData[i] & 0x0F];
    }
    return str;
}
