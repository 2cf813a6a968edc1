#include "common/module_path.h"

std::wstring ModuleFilePath(HMODULE hModule)
{
    std::wstring strPath(MAX_PATH, L'\0');
    for (;;)
    {
        const DWORD cch = ::GetModuleFileNameW(hModule, &strPath[0], static_cast<DWORD>(strPath.size()));
        if (cch == 0)
            return std::wstring();
        if (cch < strPath.size())
        {
            strPath.resize(cch);
            return strPath;
        }
        if (strPath.size() >= 32768)
            return std::wstring();
        strPath.resize(strPath.size() * 2);
    }
}

std::wstring ModuleFolder(HMODULE hModule)
{
    const std::wstring strPath = ModuleFilePath(hModule);
    const size_t nSlash = strPath.find_last_of(L"\\/");
    return nSlash == std::wstring::npos ? std::wstring() : strPath.substr(0, nSlash + 1);
}
