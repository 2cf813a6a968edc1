#pragma once
// The "start the launcher when a player is connected" choice: the per-user AutoLaunch value,
// and what the device watcher is told when the window closes with a changed choice.
#include <windows.h>

class ITolvikShell;

class CAutoLaunchOption
{
public:
    // The box is ticked (do not start automatically) exactly when AutoLaunch is REG_DWORD 0.
    static bool ReadTicked();
    // Written at each click; failures are of no consequence to the user.
    static void Store(bool bTicked);

    void Init(bool bTicked) { m_bTickedAtStart = bTicked; }
    bool TickedAtStart() const { return m_bTickedAtStart; }

    // At close: a newly ticked box stops a running watcher, a newly cleared one starts it (unless
    // its path is empty or too long to be whole).
    void ApplyOnClose(bool bTickedNow, ITolvikShell& shell, HWND hwndOwner) const;

private:
    bool m_bTickedAtStart = false;
};
