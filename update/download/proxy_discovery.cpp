#include "update/download/proxy_discovery.h"

#include <cwchar>

#include "common/file_util.h"
#include "common/string_util.h"
#include "common/unique_resource.h"

namespace
{
const DWORD kMaxProfileFileBytes = 1024 * 1024;
const wchar_t kFirefoxFolder[] = L"\\Application Data\\Mozilla\\Firefox\\";

// Reads a whole (small) file as text in the system's ANSI code page.
bool ReadAnsiTextFile(const std::wstring& strPath, std::wstring& strText)
{
    strText.clear();
    std::string bytes;
    if (ReadWholeFile(strPath, bytes, kMaxProfileFileBytes) != ERROR_SUCCESS)
        return false;
    if (bytes.empty())
        return true;
    const int cch = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (cch <= 0)
        return false;
    strText.resize(static_cast<size_t>(cch));
    ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), &strText[0], cch);
    return true;
}

// Position of the first occurrence of strKey at the start of a line; npos when none.
size_t FindAtLineStart(const std::wstring& strText, const std::wstring& strKey)
{
    size_t nPos = strText.find(strKey);
    while (nPos != std::wstring::npos)
    {
        if (nPos == 0 || strText[nPos - 1] == L'\r' || strText[nPos - 1] == L'\n')
            return nPos;
        nPos = strText.find(strKey, nPos + 1);
    }
    return std::wstring::npos;
}
}  // namespace

int GetDefaultBrowser()
{
    UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, L"http\\shell\\open\\ddeexec\\Application", 0, KEY_READ,
                        key.Receive()) != ERROR_SUCCESS &&
        ::RegOpenKeyExW(HKEY_CLASSES_ROOT, L"htmlfile\\shell\\open\\command", 0, KEY_READ, key.Receive()) !=
            ERROR_SUCCESS)
        return eBrowserUnknown;

    wchar_t szValue[1022 / sizeof(wchar_t) + 1] = {};
    DWORD cbValue = 1022;
    DWORD dwType = 0;
    if (::RegQueryValueExW(key.Get(), nullptr, nullptr, &dwType, reinterpret_cast<BYTE*>(szValue), &cbValue) !=
            ERROR_SUCCESS ||
        dwType != REG_SZ)
        return eBrowserUnknown;
    szValue[cbValue / sizeof(wchar_t)] = L'\0';  // stored data need not end in a terminator

    // Only these spellings are recognised: a command naming "FIREFOX.EXE" is another browser.
    if (wcsstr(szValue, L"iexplore") || wcsstr(szValue, L"IExplore"))
        return eBrowserInternetExplorer;
    if (wcsstr(szValue, L"firefox") || wcsstr(szValue, L"Firefox"))
        return eBrowserFirefox;
    if (wcsstr(szValue, L"opera") || wcsstr(szValue, L"Opera"))
        return eBrowserOpera;
    return eBrowserOther;
}

bool FindProfilePath(const std::wstring& strProfilesIni, bool& bRelative, std::wstring& strPath)
{
    const size_t nRelative = strProfilesIni.find(L"IsRelative=");
    const size_t nPath = strProfilesIni.find(L"Path=");
    if (nRelative == std::wstring::npos || nPath == std::wstring::npos)
        return false;
    bRelative = _wtoi(strProfilesIni.c_str() + nRelative + wcslen(L"IsRelative=")) != 0;
    // Folder names may hold blanks ("Profiles/my profile"): only the line's end ends the path.
    size_t nStart = nPath + wcslen(L"Path=");
    size_t nEnd = strProfilesIni.find_first_of(L"\r\n", nStart);
    if (nEnd == std::wstring::npos)
        nEnd = strProfilesIni.size();
    while (nStart < nEnd && (strProfilesIni[nStart] == L' ' || strProfilesIni[nStart] == L'\t'))
        ++nStart;
    while (nEnd > nStart && (strProfilesIni[nEnd - 1] == L' ' || strProfilesIni[nEnd - 1] == L'\t'))
        --nEnd;
    strPath = strProfilesIni.substr(nStart, nEnd - nStart);
    return true;
}

int FindProxyType(const std::wstring& strPrefs)
{
    static const wchar_t kTypeKey[] = L"user_pref(\"network.proxy.type\"";
    const size_t nKey = FindAtLineStart(strPrefs, kTypeKey);
    if (nKey == std::wstring::npos)
        return -1;
    const size_t nComma = strPrefs.find(L',', nKey + wcslen(kTypeKey));
    if (nComma == std::wstring::npos)
        return -1;
    return _wtoi(strPrefs.c_str() + nComma + 1);
}

bool FindProxyHostAndPort(const std::wstring& strPrefs, std::wstring& strHost, int& nPort)
{
    static const wchar_t kHostKey[] = L"user_pref(\"network.proxy.http\"";
    static const wchar_t kPortKey[] = L"user_pref(\"network.proxy.http_port\"";

    const size_t nHostKey = FindAtLineStart(strPrefs, kHostKey);
    if (nHostKey == std::wstring::npos)
        return false;
    const size_t nAfterKey = nHostKey + wcslen(kHostKey);
    size_t nLineEnd = strPrefs.find_first_of(L"\r\n", nAfterKey);
    if (nLineEnd == std::wstring::npos)
        nLineEnd = strPrefs.size();
    const size_t nOpen = strPrefs.find(L'"', nAfterKey);
    if (nOpen == std::wstring::npos || nOpen >= nLineEnd)
        return false;
    const size_t nClose = strPrefs.rfind(L'"', nLineEnd - 1);
    if (nClose == std::wstring::npos || nClose <= nOpen)
        return false;

    // JavaScript string escapes, in one pass so that \\" is a backslash and the closing quote.
    const std::wstring strRaw = strPrefs.substr(nOpen + 1, nClose - nOpen - 1);
    strHost.clear();
    for (size_t i = 0; i < strRaw.size(); ++i)
    {
        if (strRaw[i] == L'\\' && i + 1 < strRaw.size() && (strRaw[i + 1] == L'"' || strRaw[i + 1] == L'\\'))
            ++i;
        strHost += strRaw[i];
    }
    // An empty host would make every request fail through a proxy named ":port".
    if (strHost.empty())
        return false;

    const size_t nPortKey = FindAtLineStart(strPrefs, kPortKey);
    if (nPortKey == std::wstring::npos)
        return false;
    const size_t nComma = strPrefs.find(L',', nPortKey + wcslen(kPortKey));
    if (nComma == std::wstring::npos)
        return false;
    nPort = _wtoi(strPrefs.c_str() + nComma + 1);
    return true;
}

HRESULT GetFirefoxProxy(std::wstring& strProxy)
{
    strProxy.clear();
    wchar_t szBase[MAX_PATH + 1] = {};
    const DWORD cchBase = ::GetEnvironmentVariableW(L"USERPROFILE", szBase, MAX_PATH);
    if (cchBase == 0 || cchBase >= MAX_PATH)
        return E_FAIL;

    std::wstring strIni;
    if (!ReadAnsiTextFile(std::wstring(szBase) + kFirefoxFolder + L"profiles.ini", strIni))
        return E_FAIL;
    bool bRelative = false;
    std::wstring strProfile;
    if (!FindProfilePath(strIni, bRelative, strProfile))
        return E_FAIL;

    const std::wstring strPrefsPath =
        bRelative ? std::wstring(szBase) + kFirefoxFolder + strProfile + L"\\prefs.js" : strProfile + L"\\prefs.js";
    std::wstring strPrefs;
    if (!ReadAnsiTextFile(strPrefsPath, strPrefs))
        return E_FAIL;
    // Host and port stay in the preferences after the user switched the proxy off (or to
    // automatic); only a manual setting means that Firefox uses them.
    const int kManualProxy = 1;
    if (FindProxyType(strPrefs) != kManualProxy)
        return E_FAIL;
    std::wstring strHost;
    int nPort = 0;
    if (!FindProxyHostAndPort(strPrefs, strHost, nPort))
        return E_FAIL;
    strProxy = FormatString(L"%s:%d", strHost.c_str(), nPort);
    return S_OK;
}
