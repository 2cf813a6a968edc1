#include "watcher/tvk_launcher.h"

#include "watcher/shell_starter.h"
#include "watcher/watcher_registry.h"

void CTvkLauncher::Launch(int nDrive)
{
    if (nDrive < 0 || nDrive > 25)
        return;
    const wchar_t szLetter[2] = {static_cast<wchar_t>(L'A' + nDrive), L'\0'};
    m_shell.Start(CWatcherRegistry::ReadLauncherPath(), szLetter);
}
