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

// The HTTP proxy of the first Firefox profile below %USERPROFILE%, as "host:port", when that
// profile is set to a manual proxy (network.proxy.type 1). On any failure, and for every other
// proxy setting (none, automatic, the system's), a negative result and an empty string.
HRESULT GetFirefoxProxy(std::wstring& strProxy);

// The parts of GetFirefoxProxy that work on file contents.
// The path is the whole rest of the line after "Path=" (blanks inside it kept).
bool FindProfilePath(const std::wstring& strProfilesIni, bool& bRelative, std::wstring& strPath);
bool FindProxyHostAndPort(const std::wstring& strPrefs, std::wstring& strHost, int& nPort);
// The value of network.proxy.type (at the start of a line); -1 when the preference is absent,
// which means Firefox's default, not a manual proxy.
int FindProxyType(const std::wstring& strPrefs);
