#include "launcher/content_launcher.h"

#include "launcher/tolvik_shell.h"

LaunchTarget CContentLauncher::Resolve(const AppEntry& entry, const std::wstring& tail)
{
    LaunchTarget target;
    target.hrStatus = FindLaunch(entry, tail, target.strPath, target.strParameters);
    target.strErrorMessage = ExpandErrorMessageEscapes(entry.errormsg);
    return target;
}

void CContentLauncher::Launch(const LaunchTarget& target, ITolvikShell& shell, HWND hwndOwner)
{
    if (SUCCEEDED(target.hrStatus) && PathExists(target.strPath))
    {
        // The shell's answer is not examined: the program's own failures are its to report.
        shell.Execute(hwndOwner, std::wstring(), target.strPath, target.strParameters, std::wstring(),
                      SW_SHOWNORMAL);
        return;
    }
    shell.ShowMessage(hwndOwner, target.strErrorMessage, MB_OK);
}
