#pragma once
// The operating system's automatic update service, through its published agent objects. The
// calling thread must have COM initialised.
#include <windows.h>

// S_OK with the answer, or the failure of creating, starting or asking the object.
HRESULT IsUpdateInstallerBusy(bool& bBusy);
HRESULT IsRestartRequired(bool& bRequired);
HRESULT PauseAutomaticUpdates();
HRESULT ResumeAutomaticUpdates();
