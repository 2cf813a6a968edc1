#pragma once
#include <windows.h>
#include <msi.h>

#include <string>

#include "common/unique_resource.h"

namespace ondrixtest
{
// Ondrix.dll from beside the test program, with the functions the tests call.
struct COndrix
{
    typedef int(WINAPI* PFN_START_W)(const wchar_t*, const wchar_t*);
    typedef int(WINAPI* PFN_START_A)(const char*, const char*);
    typedef int(WINAPI* PFN_LOCK_W)(const wchar_t*, HANDLE*, BOOL*);
    typedef int(WINAPI* PFN_LOCK_A)(const char*, HANDLE*, BOOL*);
    typedef int(WINAPI* PFN_UNLOCK)(HANDLE);
    typedef UINT(WINAPI* PFN_ACTION)(MSIHANDLE);

    bool Load();
    FARPROC Find(const char* pszName) const { return ::GetProcAddress(m_module.Get(), pszName); }

    UniqueHModule m_module;
};

// Copies the recording stand-in program into folder under the given name; its path.
std::wstring CopyRecorder(const std::wstring& folder, const wchar_t* pszName);
// The command line the stand-in at exePath recorded, once it has; empty after dwTimeoutMs.
std::wstring WaitForRecordedCommandLine(const std::wstring& exePath, DWORD dwTimeoutMs = 10000);
}  // namespace ondrixtest
