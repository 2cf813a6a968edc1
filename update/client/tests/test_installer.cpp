// A package for the update client's tests: when started, it appends its own path to the file
// named by QUENTA_TEST_INSTALLER_LOG, so a test can see that it ran and from where.
#include <windows.h>

#include <cstdio>

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
    return 0;
}
