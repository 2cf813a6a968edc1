// A package for the update client's tests: when started, it appends its own path to the file
// named by QUENTA_TEST_INSTALLER_LOG, so a test can see that it ran and from where. With
// QUENTA_TEST_INSTALLER_HOLD_MS it then runs on that long, as an installer reading its package
// would, and appends "package present" or "package gone".
#include <windows.h>

#include <cstdio>
#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    wchar_t szLog[MAX_PATH] = {};
    if (!::GetEnvironmentVariableW(L"QUENTA_TEST_INSTALLER_LOG", szLog, MAX_PATH))
        return 1;
    wchar_t szSelf[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, szSelf, MAX_PATH);
    FILE* pFile = _wfopen(szLog, L"a");
    if (!pFile)
        return 1;
    fwprintf(pFile, L"%ls\n", szSelf);
    fclose(pFile);
    wchar_t szHold[16] = {};
    if (!::GetEnvironmentVariableW(L"QUENTA_TEST_INSTALLER_HOLD_MS", szHold, 16))
        return 0;
    ::Sleep(static_cast<DWORD>(wcstoul(szHold, nullptr, 10)));
    const bool bPresent = ::GetFileAttributesW(szSelf) != INVALID_FILE_ATTRIBUTES;
    pFile = _wfopen(szLog, L"a");
    if (!pFile)
        return 1;
    fwprintf(pFile, L"%ls\n", bPresent ? L"package present" : L"package gone");
    fclose(pFile);
    return 0;
}
