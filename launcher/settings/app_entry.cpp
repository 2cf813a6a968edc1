#include "launcher/settings/app_entry.h"

#include "common/unique_resource.h"
#include "launcher/settings/settings_registry.h"

void AppEntry::SetMainExecInfo(const ExecInfo& info)
{
    path = info.path;
    key = info.key;
    entry = info.entry;
    exe = info.exe;
    param = info.param;
}

bool operator==(const ExecInfo& a, const ExecInfo& b)
{
    return a.path == b.path && a.key == b.key && a.entry == b.entry && a.exe == b.exe && a.param == b.param;
}

bool operator==(const AppEntry& a, const AppEntry& b)
{
    return a.name == b.name && a.errormsg == b.errormsg && a.MainExecInfo() == b.MainExecInfo() &&
           a.alternatives == b.alternatives;
}

static bool IsSeparator(wchar_t ch)
{
    return ch == L'\\' || ch == L'/';
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& file)
{
    size_t nSkip = 0;
    while (nSkip < file.size() && IsSeparator(file[nSkip]))
        ++nSkip;
    if (folder.empty())
        return file.substr(nSkip);
    std::wstring result = folder;
    if (!IsSeparator(result.back()))
        result += L'\\';
    result.append(file, nSkip, std::wstring::npos);
    return result;
}

std::wstring ResolvePath(const ExecInfo& info)
{
    std::wstring base;
    if (!info.path.empty())
    {
        base = info.path;
    }
    else if (!info.key.empty())
    {
        const std::wstring strKey = L"SOFTWARE\\" + info.key;
        UniqueHKey key;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, strKey.c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
            return std::wstring();
        // An empty `entry` names the key's default value.
        if (!SettingsRegistry::ReadTerminatedString(key.Get(), info.entry.empty() ? nullptr : info.entry.c_str(),
                                                    SettingsRegistry::kEntryValueMaxBytes, true, base))
            return std::wstring();
    }
    else
    {
        return std::wstring();
    }
    return info.exe.empty() ? base : JoinPath(base, info.exe);
}

std::wstring SubstituteTail(const std::wstring& param, const std::wstring& tail)
{
    std::wstring result;
    result.reserve(param.size() + tail.size());
    for (size_t i = 0; i < param.size(); ++i)
    {
        if (param[i] == L'%' && i + 1 < param.size())
        {
            if (param[i + 1] == L's')
            {
                result += tail;
                ++i;
                continue;
            }
            if (param[i + 1] == L'%')
            {
                result += L'%';
                ++i;
                continue;
            }
        }
        result += param[i];
    }
    return result;
}

HRESULT ResolveLaunch(const ExecInfo& info, const std::wstring& tail, std::wstring& path, std::wstring& params)
{
    path = ResolvePath(info);
    params = info.param;
    if (!params.empty() && params.find(L"%s") != std::wstring::npos)
        params = tail.empty() ? std::wstring() : SubstituteTail(info.param, tail);
    return S_OK;
}

bool PathExists(const std::wstring& path)
{
    return !path.empty() && ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring FindExecutable(const AppEntry& app)
{
    const std::wstring strMain = ResolvePath(app.MainExecInfo());
    if (PathExists(strMain))
        return strMain;
    for (const ExecInfo& info : app.alternatives)
    {
        std::wstring strPath = ResolvePath(info);
        if (PathExists(strPath))
            return strPath;
    }
    return strMain;
}

HRESULT FindLaunch(const AppEntry& app, const std::wstring& tail, std::wstring& path, std::wstring& params)
{
    const HRESULT hr = ResolveLaunch(app.MainExecInfo(), tail, path, params);
    if (FAILED(hr) || PathExists(path))
        return hr;
    for (const ExecInfo& info : app.alternatives)
    {
        std::wstring strPath;
        std::wstring strParams;
        if (SUCCEEDED(ResolveLaunch(info, tail, strPath, strParams)) && PathExists(strPath))
        {
            path = strPath;
            params = strParams;
            return S_OK;
        }
    }
    return hr;
}

bool RegistryKeyExists(const std::wstring& path)
{
    UniqueHKey key;
    return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.Receive()) == ERROR_SUCCESS;
}

std::wstring ExpandErrorMessageEscapes(const std::wstring& text)
{
    std::wstring result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] == L'\\' && i + 1 < text.size())
        {
            const wchar_t next = text[i + 1];
            if (next == L'n' || next == L'r' || next == L't')
            {
                result += next == L'n' ? L'\n' : next == L'r' ? L'\r' : L'\t';
                ++i;
                continue;
            }
        }
        result += text[i];
    }
    return result;
}
