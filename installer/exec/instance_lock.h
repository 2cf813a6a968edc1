#pragma once
// The machine-wide lock that refuses a second installation while one runs.
#include <windows.h>

// Creates or opens the mutex "Global\<name>" (not owned). bHeld is set when it existed already
// or exists but may not be opened. False only for a null name; hMutex may be null afterwards
// when the mutex could not be created at all.
bool LockInstance(const wchar_t* pszName, HANDLE& hMutex, bool& bHeld);

// The handles LockInstanceCA handed out in this process, so that an unlock closes only one of
// those and never whatever a property's number names here. The installer unloads the library
// after each action (and may load a fresh copy for the next), so the list is kept with the
// process, not in the library. False when it could not be recorded.
bool RememberInstanceLock(HANDLE hMutex);
// Closes hMutex when it is one this process remembered; false otherwise (nothing is closed).
bool ReleaseRememberedInstanceLock(HANDLE hMutex);
// Closes a handle the caller owns, forgetting it if it was remembered.
bool UnlockInstance(HANDLE hMutex);
