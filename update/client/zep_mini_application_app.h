#pragma once
// Quenta's start-up: resources, single instance, command line, the services, the end. It never
// opens a window of its own.
#include <windows.h>

#define QUENTA_MUTEX_NAME L"Global\\Quenta_G"

class CZepMini_ApplicationApp
{
public:
    // Runs everything; returns false so that no message loop follows.
    bool InitInstance(HINSTANCE hInstance, const wchar_t* pszArguments);
    int ExitInstance();

private:
    HMODULE m_hResources = nullptr;
    HANDLE m_hMutex = nullptr;
};
