#include "watcher/watcher_registry.h"

#include <cstring>

#include "common/product_keys.h"
#include "common/unique_resource.h"

LONG CWatcherRegistry::ReadValue(HKEY hRoot, const wchar_t* pszSubKey, const wchar_t* pszName, void* pBuffer,
                                 DWORD cbBuffer, DWORD* pdwType)
{
    UniqueHKey key;
    if (::RegOpenKeyExW(hRoot, pszSubKey, 0, KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS)
        return -1;
    BYTE local[kLocalBufferSize] = {};
    DWORD cbData = sizeof(local);
    DWORD dwType = REG_NONE;
    if (::RegQueryValueExW(key.Get(), pszName, nullptr, &dwType, local, &cbData) != ERROR_SUCCESS)
        return -2;
    if (pBuffer && cbBuffer)
        memcpy(pBuffer, local, cbData < cbBuffer ? cbData : cbBuffer);
    if (pdwType)
        *pdwType = dwType;
    return static_cast<LONG>(cbData);
}

bool CWatcherRegistry::IsAutoLaunchDisabled()
{
    DWORD dwValue = 1;
    DWORD dwType = REG_NONE;
    const LONG cb = ReadValue(HKEY_CURRENT_USER, ZEP_USER_PRODUCT_KEY, ZEP_AUTOLAUNCH_VALUE, &dwValue,
                              sizeof(dwValue), &dwType);
    return cb == static_cast<LONG>(sizeof(DWORD)) && dwType == REG_DWORD && dwValue == 0;
}

std::wstring CWatcherRegistry::ReadLauncherPath()
{
    wchar_t szPath[kInstalledPathBytes / sizeof(wchar_t)] = {};
    DWORD dwType = REG_NONE;
    const LONG cb = ReadValue(HKEY_LOCAL_MACHINE, ZEP_PRODUCT_KEY L"\\" ZEP_TOLVIK_SUBKEY, ZEP_INSTALLED_PATH_VALUE,
                              szPath, sizeof(szPath), &dwType);
    if (cb < 0 || dwType != REG_SZ)
        return std::wstring();
    const size_t cchCopied = (static_cast<DWORD>(cb) < sizeof(szPath) ? static_cast<DWORD>(cb) : sizeof(szPath)) /
                             sizeof(wchar_t);
    size_t cch = 0;
    while (cch < cchCopied && szPath[cch] != L'\0')
        ++cch;
    // A path cut off at the buffer's end would start some other program.
    if (cch == cchCopied && static_cast<DWORD>(cb) > cch * sizeof(wchar_t))
        return std::wstring();
    return std::wstring(szPath, cch);
}
