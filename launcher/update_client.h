#pragma once
// Starting the update client: the argument text that lists what it is to check, where it lives,
// who may start it, and the start itself (hidden, through the shell, never waited for).
#include <windows.h>

#include <string>

#include "common/product_keys.h"

class ITolvikShell;

// Below HKLM: the product version handed to the client, and the key the client leaves once the
// user has accepted the jukebox notice (its block is then left out).
#define TOLVIK_VERSION_KEY ZEP_PRODUCT_KEY L"\\Version"
#define TOLVIK_JUKEBOX_DONE_KEY ZEP_PRODUCT_KEY L"\\Auto Update END\\MDInfo"

class CUpdateClient
{
public:
    // " /M AUTO " or " /M MANUAL ", then the firmware block, the jukebox block when asked for
    // and the launcher block with strVersion; values go in as they are, without quoting.
    static std::wstring BuildArguments(bool bAutomatic, bool bWithJukebox, const std::wstring& strVersion);
    // The client beside the launcher: strInstalledPath up to its last backslash, then
    // "\UpdateChecker\Quenta.exe".
    static std::wstring ClientPath(const std::wstring& strInstalledPath);
    // Only Windows XP and Server 2003 refuse a limited user; later systems ask for elevation
    // themselves.
    static bool RestrictionApplies(DWORD dwPlatformId, DWORD dwMajor, DWORD dwMinor);

    explicit CUpdateClient(ITolvikShell& shell) : m_shell(shell) {}

    // Starts the client when this user may. On success the start time becomes the schedule's
    // UpdateTime; a manual start tells the user why it failed, an automatic one stays silent
    // and is tried again at the next launcher start. Returns true when it was started.
    bool Start(bool bAutomatic, HWND hwndOwner);

private:
    static bool IsRestrictedUser();

    ITolvikShell& m_shell;
};
