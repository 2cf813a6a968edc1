#pragma once
// Quenta's start-up: resources, single instance, command line, the services, the end. It never
// opens a window of its own.
#include <windows.h>

#include "common/unique_resource.h"

#define QUENTA_MUTEX_NAME L"Global\\Quenta_G"

class CZepMini_ApplicationApp
{
public:
    // Runs everything; returns false so that no message loop follows.
    bool InitInstance(HINSTANCE hInstance, const wchar_t* pszArguments);
    int ExitInstance();

    // Creates the single-instance mutex; false when another client holds it. One that another
    // user created refuses us access, and counts as held: that user's client is running.
    static bool AcquireSingleInstance(const wchar_t* pszName, UniqueHandle& mutex);

private:
    HMODULE m_hResources = nullptr;
    UniqueHandle m_mutex;
};
