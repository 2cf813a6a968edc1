#include "update/client/installer_packages.h"

#include <cwchar>
#include <cwctype>
#include <vector>

#include "common/error_macros.h"
#include "common/product_keys.h"
#include "common/registry.h"
#include "common/unique_resource.h"
#include "update/client/client_method_log.h"

namespace InstallerPackages
{
const wchar_t kKey[] = ZEP_PRODUCT_KEY L"\\Auto Update Packages";

namespace
{
struct SInstaller
{
    DWORD dwPid;
    ULONGLONG ullCreated;
};

ULONGLONG CreationTime(HANDLE hProcess)
{
    FILETIME created = {}, exited = {}, kernel = {}, user = {};
    if (!::GetProcessTimes(hProcess, &created, &exited, &kernel, &user))
        return 0;
    return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// Digits only, no sign, no blanks, no overflow.
bool ParseNumber(const std::wstring& str, ULONGLONG ullMax, ULONGLONG& ullValue)
{
    if (str.empty() || str.size() > 20)
        return false;
    ullValue = 0;
    for (wchar_t ch : str)
    {
        if (ch < L'0' || ch > L'9')
            return false;
        const ULONGLONG ullDigit = static_cast<ULONGLONG>(ch - L'0');
        if (ullValue > (ullMax - ullDigit) / 10)
            return false;
        ullValue = ullValue * 10 + ullDigit;
    }
    return true;
}

bool ParseIdentities(const std::wstring& strData, std::vector<SInstaller>& installers)
{
    installers.clear();
    size_t nStart = 0;
    while (nStart < strData.size())
    {
        size_t nEnd = strData.find(L';', nStart);
        if (nEnd == std::wstring::npos)
            nEnd = strData.size();
        const std::wstring strOne = strData.substr(nStart, nEnd - nStart);
        const size_t nColon = strOne.find(L':');
        ULONGLONG ullPid = 0, ullCreated = 0;
        if (nColon == std::wstring::npos || !ParseNumber(strOne.substr(0, nColon), 0xFFFFFFFFULL, ullPid) ||
            !ParseNumber(strOne.substr(nColon + 1), ~0ULL, ullCreated) || ullPid == 0 || ullCreated == 0)
            return false;
        installers.push_back({static_cast<DWORD>(ullPid), ullCreated});
        nStart = nEnd + 1;
        if (nEnd < strData.size() && nStart == strData.size())
            return false;  // a trailing separator
    }
    return true;
}

// Ended for certain: no process has the id, or another one does (created at another time), or
// it has exited. A process that cannot be asked may still be reading.
bool HasEnded(const SInstaller& installer)
{
    UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, installer.dwPid));
    if (!process)
        return ::GetLastError() == ERROR_INVALID_PARAMETER;
    const ULONGLONG ullCreated = CreationTime(process.Get());
    if (ullCreated == 0)
        return false;
    if (ullCreated != installer.ullCreated)
        return true;
    DWORD dwExit = STILL_ACTIVE;
    return ::GetExitCodeProcess(process.Get(), &dwExit) && dwExit != STILL_ACTIVE;
}

bool IsFullPath(const std::wstring& strPath)
{
    const bool bDrive = strPath.size() > 3 && std::iswalpha(strPath[0]) && strPath[1] == L':' && strPath[2] == L'\\';
    const bool bShare = strPath.size() > 2 && strPath[0] == L'\\' && strPath[1] == L'\\';
    return bDrive || bShare;
}

std::vector<std::wstring> RecordedPaths(HKEY hKey)
{
    std::vector<std::wstring> paths;
    std::vector<wchar_t> name(32768);
    for (DWORD i = 0;; ++i)
    {
        DWORD cchName = static_cast<DWORD>(name.size());
        const LONG lError = ::RegEnumValueW(hKey, i, name.data(), &cchName, nullptr, nullptr, nullptr, nullptr);
        if (lError == ERROR_NO_MORE_ITEMS)
            break;
        if (lError == ERROR_SUCCESS)
            paths.emplace_back(name.data(), cchName);
    }
    return paths;
}

void Log(const wchar_t* pszFormat, const std::wstring& strPath)
{
    long lIgnored = 0;
    CClientMethodLog log(L"CZepServiceManager::Init", &lIgnored);
    log.TracePrintf(pszFormat, strPath.c_str());
}
}  // namespace

std::wstring ProcessIdentity(HANDLE hProcess)
{
    const DWORD dwPid = hProcess ? ::GetProcessId(hProcess) : 0;
    const ULONGLONG ullCreated = dwPid ? CreationTime(hProcess) : 0;
    if (!dwPid || !ullCreated)
        return std::wstring();
    wchar_t sz[48];
    swprintf(sz, _countof(sz), L"%lu:%llu", static_cast<unsigned long>(dwPid), ullCreated);
    return sz;
}

HRESULT Record(const std::wstring& strPath, HANDLE hInstaller)
{
    RETURN_HR_IF(E_INVALIDARG, !IsFullPath(strPath));
    std::wstring strData;
    std::vector<SInstaller> earlier;
    // An installer started earlier on the same file may still be reading it too.
    if (SUCCEEDED(Registry::ReadString(kRoot, kKey, strPath.c_str(), strData)) &&
        (strData.empty() || !ParseIdentities(strData, earlier)))
        strData.clear();
    const std::wstring strIdentity = ProcessIdentity(hInstaller);
    if (strIdentity.empty())
        strData.clear();  // nothing to wait for: the next run removes it
    else
        strData = strData.empty() ? strIdentity : strData + L";" + strIdentity;
    return Registry::WriteString(kRoot, kKey, strPath.c_str(), strData);
}

void RemoveFinished()
{
    UniqueHKey key;
    if (::RegOpenKeyExW(kRoot, kKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, key.Receive()) != ERROR_SUCCESS)
        return;
    for (const std::wstring& strPath : RecordedPaths(key.Get()))
    {
        std::wstring strData;
        std::vector<SInstaller> installers;
        const bool bReadable = SUCCEEDED(Registry::ReadString(kRoot, kKey, strPath.c_str(), strData)) &&
                               IsFullPath(strPath) && ParseIdentities(strData, installers);
        if (!bReadable)
        {
            Log(L"Package record dropped unread: %s", strPath);
            ::RegDeleteValueW(key.Get(), strPath.c_str());
            continue;
        }
        bool bEnded = true;
        for (const SInstaller& installer : installers)
            bEnded = bEnded && HasEnded(installer);
        if (!bEnded)
            continue;
        const DWORD dwAttributes = ::GetFileAttributesW(strPath.c_str());
        if (dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY))
        {
            ::RegDeleteValueW(key.Get(), strPath.c_str());
            continue;
        }
        // A package something else still holds stays recorded for the next run.
        if (dwAttributes == INVALID_FILE_ATTRIBUTES || ::DeleteFileW(strPath.c_str()))
        {
            Log(L"Package of an ended installer removed: %s", strPath);
            ::RegDeleteValueW(key.Get(), strPath.c_str());
        }
    }
}
}  // namespace InstallerPackages
