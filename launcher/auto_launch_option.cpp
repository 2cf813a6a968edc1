#include "launcher/auto_launch_option.h"

#include "common/product_keys.h"
#include "common/program_path.h"
#include "common/registry.h"
#include "common/watcher_close_message.h"
#include "launcher/tolvik_constants.h"
#include "launcher/tolvik_registry.h"
#include "launcher/tolvik_shell.h"

const UINT WatcherCloseMessage = ::RegisterWindowMessageW(WATCHER_CLOSE_MESSAGE_NAME);

bool CAutoLaunchOption::ReadTicked()
{
    DWORD dwValue = 1;
    return SUCCEEDED(Registry::ReadDword(HKEY_CURRENT_USER, ZEP_USER_PRODUCT_KEY, ZEP_AUTOLAUNCH_VALUE, dwValue)) &&
           dwValue == 0;
}

void CAutoLaunchOption::Store(bool bTicked)
{
    Registry::WriteDword(HKEY_CURRENT_USER, ZEP_USER_PRODUCT_KEY, ZEP_AUTOLAUNCH_VALUE, bTicked ? 0 : 1);
}

void CAutoLaunchOption::ApplyOnClose(bool bTickedNow, ITolvikShell& shell, HWND hwndOwner) const
{
    if (bTickedNow == m_bTickedAtStart)
        return;
    if (bTickedNow)
    {
        shell.Broadcast(WatcherCloseMessage, 0, 0);
        return;
    }
    const std::wstring path = TolvikRegistry::ReadMachineText(TOLVIK_PIRRO_KEY, ZEP_INSTALLED_PATH_VALUE);
    if (!IsStartableProgramPath(path, ZEP_PIRRO_SUBKEY L"\\" ZEP_INSTALLED_PATH_VALUE))
        return;
    shell.Execute(hwndOwner, std::wstring(), path, std::wstring(), std::wstring(), SW_SHOWNORMAL);
}
