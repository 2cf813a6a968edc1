#include "launcher/settings/settings_registry.h"

#include <cwchar>

#include "common/error_macros.h"
#include "common/string_util.h"
#include "common/unique_resource.h"

namespace SettingsRegistry
{
bool ReadSmallValue(HKEY hKey, const wchar_t* pszName, DWORD cbMax, std::vector<BYTE>& data, DWORD& dwType)
{
    data.assign(cbMax, 0);
    DWORD cb = cbMax;
    dwType = REG_NONE;
    const LONG err = ::RegQueryValueExW(hKey, pszName, nullptr, &dwType, data.data(), &cb);
    if (err != ERROR_SUCCESS)
    {
        data.clear();
        return false;
    }
    data.resize(cb);
    return true;
}

bool ReadTerminatedString(HKEY hKey, const wchar_t* pszName, DWORD cbMax, bool bAllowExpand, std::wstring& value)
{
    value.clear();
    std::vector<BYTE> data;
    DWORD dwType = REG_NONE;
    if (!ReadSmallValue(hKey, pszName, cbMax, data, dwType))
        return false;
    if (dwType != REG_SZ && !(bAllowExpand && dwType == REG_EXPAND_SZ))
        return false;
    if (data.size() < sizeof(wchar_t) || data.size() % sizeof(wchar_t) != 0)
        return false;
    const size_t cch = data.size() / sizeof(wchar_t);
    std::vector<wchar_t> text(cch);
    memcpy(text.data(), data.data(), data.size());
    if (text[cch - 1] != L'\0')
        return false;
    value.assign(text.data(), wcsnlen(text.data(), cch));
    return true;
}

static std::wstring ReadEntryValue(HKEY hKey, const wchar_t* pszName)
{
    std::wstring value;
    ReadTerminatedString(hKey, pszName, kEntryValueMaxBytes, true, value);
    return value;
}

static void ReadExecInfoValues(HKEY hKey, ExecInfo& info)
{
    info.path = ReadEntryValue(hKey, L"path");
    info.key = ReadEntryValue(hKey, L"key");
    info.entry = ReadEntryValue(hKey, L"entry");
    info.exe = ReadEntryValue(hKey, L"exe");
    info.param = ReadEntryValue(hKey, L"param");
}

HRESULT ReadAppEntry(const std::wstring& strKeyPath, AppEntry& entry)
{
    entry = AppEntry();
    UniqueHKey key;
    RETURN_IF_WIN32_ERROR(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, strKeyPath.c_str(), 0, KEY_READ, key.Receive()));
    entry.name = ReadEntryValue(key.Get(), L"name");
    entry.errormsg = ReadEntryValue(key.Get(), L"errormsg");
    ExecInfo main;
    ReadExecInfoValues(key.Get(), main);
    entry.SetMainExecInfo(main);

    for (int n = 0;; ++n)
    {
        const std::wstring strSubKey = FormatString(L"%s\\ExecInfos\\ExecInfo%d", strKeyPath.c_str(), n);
        UniqueHKey alternative;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, strSubKey.c_str(), 0, KEY_READ, alternative.Receive()) !=
            ERROR_SUCCESS)
            break;
        ExecInfo info;
        ReadExecInfoValues(alternative.Get(), info);
        entry.alternatives.push_back(info);
    }
    return S_OK;
}
}  // namespace SettingsRegistry
