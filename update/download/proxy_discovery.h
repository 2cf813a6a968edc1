#pragma once
// Which browser is the user's default, and the HTTP proxy that Firefox would use, for a
// session that is opened without an explicit proxy.
#include <windows.h>
#include <string>

enum eBrowserKind
{
    eBrowserUnknown = 0,
    eBrowserInternetExplorer = 1,
    eBrowserFirefox = 2,
    eBrowserOpera = 3,
    eBrowserOther = 4,
};

// Reads the shell's open command for web pages from HKEY_CLASSES_ROOT.
int GetDefaultBrowser();

// The HTTP proxy of the first Firefox profile below %USERPROFILE%, as "host:port". On any
// failure a negative result and an empty string.
HRESULT GetFirefoxProxy(std::wstring& strProxy);

// The parts of GetFirefoxProxy that work on file contents.
bool FindProfilePath(const std::wstring& strProfilesIni, bool& bRelative, std::wstring& strPath);
bool FindProxyHostAndPort(const std::wstring& strPrefs, std::wstring& strHost, int& nPort);
