#include "launcher/settings/AppEntry.h"

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
std::wstring ResolvePath(const ExecInfo&) { return std::wstring(); }
HRESULT ResolveLaunch(const ExecInfo&, const std::wstring&, std::wstring& p, std::wstring& q) { p.clear(); q.clear(); return E_NOTIMPL; }
std::wstring FindExecutable(const AppEntry&) { return std::wstring(); }
HRESULT FindLaunch(const AppEntry&, const std::wstring&, std::wstring& p, std::wstring& q) { p.clear(); q.clear(); return E_NOTIMPL; }
bool RegistryKeyExists(const std::wstring&) { return false; }
std::wstring JoinPath(const std::wstring& a, const std::wstring& b) { return a + b; }
