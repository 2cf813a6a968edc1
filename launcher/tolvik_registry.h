#pragma once
// The launcher's own reads of installer-provided texts (captions, descriptions, the
// Download target) below HKEY_LOCAL_MACHINE.
#include <windows.h>
#include <string>

namespace TolvikRegistry
{
// REG_SZ text of at most 1024 bytes including its terminator; anything else (missing, other
// type, too long, odd length or not terminated) reads as empty.
std::wstring ReadText(HKEY hRoot, const wchar_t* pszSubKey, const wchar_t* pszName);
inline std::wstring ReadMachineText(const wchar_t* pszSubKey, const wchar_t* pszName)
{
    return ReadText(HKEY_LOCAL_MACHINE, pszSubKey, pszName);
}

// Installer texts write a line break as the four characters \r\n.
std::wstring ExpandLineBreaks(const std::wstring& text);
}  // namespace TolvikRegistry
