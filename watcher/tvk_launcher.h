#pragma once
// Starts the launcher for a drive: the InstalledPath of the launcher's key, with the
// upper-case drive letter as the only argument.
#include <windows.h>
#include <string>

class IShellStarter;

class CTvkLauncher
{
public:
    class CCustomQueryCancelAutoPlay;

    explicit CTvkLauncher(IShellStarter& shell) noexcept : m_shell(shell) {}

    // Drive index 0 = A. A path that is empty, unreadable or too long starts nothing; the result
    // of a start is not examined.
    void Launch(int nDrive);

private:
    IShellStarter& m_shell;
};
