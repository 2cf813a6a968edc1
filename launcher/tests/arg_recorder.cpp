// A stand-in for the programs the launcher starts: writes its command line and working folder
// (UTF-8, one per line) to a file beside itself named after it with ".txt" appended.
#include <windows.h>

#include <string>

#include "common/string_util.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    wchar_t szExe[MAX_PATH] = {};
    if (::GetModuleFileNameW(nullptr, szExe, MAX_PATH) == 0)
        return 1;
    wchar_t szDir[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, szDir);
    const std::string text = WideToUtf8(std::wstring(::GetCommandLineW()) + L"\n" + szDir + L"\n");
    const std::wstring out = std::wstring(szExe) + L".txt";
    HANDLE hFile = ::CreateFileW(out.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return 2;
    DWORD cbWritten = 0;
    ::WriteFile(hFile, text.data(), static_cast<DWORD>(text.size()), &cbWritten, nullptr);
    ::CloseHandle(hFile);
    return 0;
}
