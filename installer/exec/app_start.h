#pragma once
// Starting a program of the installation as the installing user, elevated, at the desktop user's
// medium level or at low integrity.
#include <windows.h>

#include <string>

// What the integrity variants ask of the system, so that tests can play an older system or a
// user without administrator rights.
struct StartPlatform
{
    bool (*pfnIsVistaOrLater)();
    bool (*pfnIsAdministrator)();
    // CreateProcessWithTokenW of advapi32.dll, or nullptr where the system has none.
    FARPROC (*pfnFindCreateProcessWithToken)();
};
const StartPlatform& SystemStartPlatform();

// "<program> <parameters>" with exactly one space; false when either is missing or both are
// empty. A program path with a space in it goes in quoted: unquoted, the system would try
// "C:\Program.exe" and every other prefix of the path before the real program.
bool JoinCommandLine(const wchar_t* pszProgram, const wchar_t* pszParameters, std::wstring& commandLine);

bool StartAsCaller(const wchar_t* pszProgram, const wchar_t* pszParameters);
bool StartElevated(const StartPlatform& platform, const wchar_t* pszProgram, const wchar_t* pszParameters);
bool StartAsDesktopUser(const StartPlatform& platform, const wchar_t* pszProgram, const wchar_t* pszParameters);
bool StartAtLowIntegrity(const StartPlatform& platform, const wchar_t* pszProgram, const wchar_t* pszParameters);
