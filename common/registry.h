#pragma once
#include <windows.h>
#include <string>
#include <vector>

// Thin registry reads that report failures as HRESULTs and never close a key by hand.
namespace Registry
{
// Raw value: data and type. HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when key or value is missing.
HRESULT ReadValue(HKEY hRoot, const wchar_t* pszSubKey, const wchar_t* pszName, std::vector<BYTE>& data,
                  DWORD& dwType);
// REG_DWORD only; any other type gives HRESULT_FROM_WIN32(ERROR_DATATYPE_MISMATCH).
HRESULT ReadDword(HKEY hRoot, const wchar_t* pszSubKey, const wchar_t* pszName, DWORD& dwValue);
// REG_SZ or REG_EXPAND_SZ (not expanded); the text ends at the first NUL or at the data's end.
HRESULT ReadString(HKEY hRoot, const wchar_t* pszSubKey, const wchar_t* pszName, std::wstring& value);

HRESULT WriteDword(HKEY hRoot, const wchar_t* pszSubKey, const wchar_t* pszName, DWORD dwValue);
HRESULT WriteString(HKEY hRoot, const wchar_t* pszSubKey, const wchar_t* pszName, const std::wstring& value);
HRESULT WriteValue(HKEY hRoot, const wchar_t* pszSubKey, const wchar_t* pszName, DWORD dwType, const void* pData,
                   DWORD cbData);
// Removes a key and everything below it; S_OK when it did not exist.
HRESULT DeleteTree(HKEY hRoot, const wchar_t* pszSubKey);
}  // namespace Registry
