#include "update/client/drenlox/drenlox_state.h"

#include <windows.h>
#include <shlobj.h>

std::wstring DrenloxStatePath()
{
    wchar_t szPath[MAX_PATH * 2] = {};
    const DWORD cch = ::GetEnvironmentVariableW(L"DRENLOX_PLAYER_STATE", szPath, _countof(szPath));
    if (cch > 0 && cch < _countof(szPath))
        return szPath;
    wchar_t szData[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, szData)))
        return std::wstring();
    return std::wstring(szData) + L"\\Drenlox Simulator\\player.ini";
}
