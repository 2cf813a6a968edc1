#include "watcher/jukebox_detector.h"

#include <windows.h>
#include <psapi.h>

#include "common/string_util.h"
#include "common/unique_resource.h"

namespace
{
const wchar_t kJukeboxFileName[] = L"trembox.exe";
const DWORD kMaxProcesses = 1024;
}  // namespace

bool CJukeboxDetector::IsJukeboxPath(const std::wstring& path)
{
    const std::wstring lower = ToLower(path);
    const size_t slash = lower.find_last_of(L"\\/");
    const std::wstring name = slash == std::wstring::npos ? lower : lower.substr(slash + 1);
    return name == kJukeboxFileName;
}

bool CJukeboxDetector::IsJukeboxRunning()
{
    DWORD ids[kMaxProcesses] = {};
    DWORD cbNeeded = 0;
    if (!::EnumProcesses(ids, sizeof(ids), &cbNeeded))
        return false;
    const DWORD count = cbNeeded / sizeof(DWORD);
    for (DWORD i = 0; i < count; ++i)
    {
        wchar_t szPath[MAX_PATH] = L"<unknown>";
        {
            UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, ids[i]));
            if (process)
            {
                HMODULE hModule = nullptr;
                DWORD cbModules = 0;
                if (::EnumProcessModules(process.Get(), &hModule, sizeof(hModule), &cbModules))
                {
                    if (!::GetModuleFileNameExW(process.Get(), hModule, szPath, MAX_PATH))
                        wcscpy_s(szPath, L"<unknown>");
                }
            }
        }
        if (IsJukeboxPath(szPath))
            return true;
    }
    return false;
}
