#pragma once
#include <windows.h>
#include <cstdarg>
#include <string>

// Conversions between the programs' UTF-16 text and on-disk encodings.
// Invalid input converts with replacement characters; use the Win32 calls directly
// where strictness matters.
std::wstring Utf8ToWide(const char* pData, size_t cbData);
inline std::wstring Utf8ToWide(const std::string& str) { return Utf8ToWide(str.data(), str.size()); }
std::string WideToUtf8(const wchar_t* pData, size_t cchData);
inline std::string WideToUtf8(const std::wstring& str) { return WideToUtf8(str.data(), str.size()); }
std::string WideToAnsi(const std::wstring& str, UINT codePage = CP_ACP);

// printf-style formatting into a std::wstring, whatever its length.
std::wstring FormatString(const wchar_t* pszFormat, ...);
std::wstring FormatStringV(const wchar_t* pszFormat, va_list args);

// Bytes as lower-case hexadecimal digits, two a byte (digests, key identifiers).
std::wstring HexLower(const BYTE* pData, size_t cbData);

bool EqualsNoCase(const std::wstring& a, const std::wstring& b);
std::wstring ToLower(std::wstring str);
std::wstring ToUpper(std::wstring str);
