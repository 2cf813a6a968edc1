#include "common/registry.h"

#include "common/error_macros.h"
#include "common/unique_resource.h"

namespace Registry
{
HRESULT ReadValue(HKEY hRoot, const wchar_t* pszSubKey, const wchar_t* pszName, std::vector<BYTE>& data,
                  DWORD& dwType)
{
    data.clear();
    dwType = REG_NONE;
    UniqueHKey key;
    LONG err = ::RegOpenKeyExW(hRoot, pszSubKey, 0, KEY_QUERY_VALUE, key.Receive());
    if (err != ERROR_SUCCESS)
        return HResultFromWin32(err);
    for (int attempt = 0; attempt < 4; ++attempt)
    {
        DWORD cb = static_cast<DWORD>(data.size());
        err = ::RegQueryValueExW(key.Get(), pszName, nullptr, &dwType, data.empty() ? nullptr : data.data(), &cb);
        if (err == ERROR_SUCCESS && !data.empty())
        {
            data.resize(cb);
            return S_OK;
        }
        if (err == ERROR_SUCCESS && cb == 0)
            return S_OK;
        if (err != ERROR_SUCCESS && err != ERROR_MORE_DATA)
            return HResultFromWin32(err);
        data.resize(cb);  // the value may grow between the calls: try again
    }
    return HRESULT_FROM_WIN32(ERROR_MORE_DATA);
}

HRESULT ReadDword(HKEY hRoot, const wchar_t* pszSubKey, const wchar_t* pszName, DWORD& dwValue)
{
    std::vector<BYTE> data;
    DWORD dwType = REG_NONE;
    const HRESULT hr = ReadValue(hRoot, pszSubKey, pszName, data, dwType);
    if (FAILED(hr))
        return hr;
    if (dwType != REG_DWORD || data.size() != sizeof(DWORD))
        return HRESULT_FROM_WIN32(ERROR_DATATYPE_MISMATCH);
    memcpy(&dwValue, data.data(), sizeof(DWORD));
    return S_OK;
}

HRESULT ReadString(HKEY hRoot, const wchar_t* pszSubKey, const wchar_t* pszName, std::wstring& value)
{
    value.clear();
    std::vector<BYTE> data;
    DWORD dwType = REG_NONE;
    const HRESULT hr = ReadValue(hRoot, pszSubKey, pszName, data, dwType);
    if (FAILED(hr))
        return hr;
    if (dwType != REG_SZ && dwType != REG_EXPAND_SZ)
        return HRESULT_FROM_WIN32(ERROR_DATATYPE_MISMATCH);
    const wchar_t* psz = reinterpret_cast<const wchar_t*>(data.data());
    const size_t cchMax = data.size() / sizeof(wchar_t);
    size_t cch = 0;
    while (cch < cchMax && psz[cch] != L'\0')
        ++cch;
    value.assign(psz, cch);
    return S_OK;
}

HRESULT WriteValue(HKEY hRoot, const wchar_t* pszSubKey, const wchar_t* pszName, DWORD dwType, const void* pData,
                   DWORD cbData)
{
    UniqueHKey key;
    RETURN_IF_WIN32_ERROR(::RegCreateKeyExW(hRoot, pszSubKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Receive(),
                                            nullptr));
    RETURN_IF_WIN32_ERROR(
        ::RegSetValueExW(key.Get(), pszName, 0, dwType, static_cast<const BYTE*>(pData), cbData));
    return S_OK;
}

HRESULT WriteDword(HKEY hRoot, const wchar_t* pszSubKey, const wchar_t* pszName, DWORD dwValue)
{
    return WriteValue(hRoot, pszSubKey, pszName, REG_DWORD, &dwValue, sizeof(dwValue));
}

HRESULT WriteString(HKEY hRoot, const wchar_t* pszSubKey, const wchar_t* pszName, const std::wstring& value)
{
    return WriteValue(hRoot, pszSubKey, pszName, REG_SZ, value.c_str(),
                      static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

HRESULT DeleteTree(HKEY hRoot, const wchar_t* pszSubKey)
{
    const LONG err = ::RegDeleteTreeW(hRoot, pszSubKey);
    if (err == ERROR_FILE_NOT_FOUND)
        return S_OK;
    RETURN_IF_WIN32_ERROR(err);
    return S_OK;
}
}  // namespace Registry
