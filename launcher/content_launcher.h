#pragma once
// Starting the program chosen for a content kind.
#include <windows.h>
#include <string>

#include "launcher/settings/app_entry.h"

class ITolvikShell;

struct LaunchTarget
{
    HRESULT hrStatus = S_OK;       // failure to resolve the entry's own location
    std::wstring strPath;          // first existing location, or the entry's own path
    std::wstring strParameters;    // with the command-line tail substituted
    std::wstring strErrorMessage;  // shown when nothing can be started, escapes expanded
};

class CContentLauncher
{
public:
    // Locates the entry's program with the command-line tail put into its parameters.
    static LaunchTarget Resolve(const AppEntry& entry, const std::wstring& tail);
    // Starts the target with the shell's default verb, or shows its error message.
    static void Launch(const LaunchTarget& target, ITolvikShell& shell, HWND hwndOwner);
};
