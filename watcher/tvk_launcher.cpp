#include "watcher/tvk_launcher.h"

#include "common/product_keys.h"
#include "common/program_path.h"
#include "watcher/shell_starter.h"
#include "watcher/watcher_registry.h"

void CTvkLauncher::Launch(int nDrive)
{
    if (nDrive < 0 || nDrive > 25)
        return;
    const wchar_t szLetter[2] = {static_cast<wchar_t>(L'A' + nDrive), L'\0'};
    const std::wstring path = CWatcherRegistry::ReadLauncherPath();
    if (!IsStartableProgramPath(path, ZEP_TOLVIK_SUBKEY L"\\" ZEP_INSTALLED_PATH_VALUE))
        return;
    m_shell.Start(path, szLetter);
}
