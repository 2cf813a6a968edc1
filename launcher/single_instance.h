#pragma once
// One launcher per machine: a named mutex in the global namespace, and the hand-over to the
// copy that already runs.
#include <windows.h>

#include "common/unique_resource.h"

class CSingleInstance
{
public:
    // Creates the mutex, initially owned. Returns false when another process already holds
    // the name; a mutex that cannot be created at all does not stop this copy.
    bool Acquire(const wchar_t* pszMutexName);

    // The first top-level window carrying a property named pszMarker, or NULL.
    static HWND FindMarkedWindow(const wchar_t* pszMarker);
    // Restores the window if minimised and brings its last active pop-up to the front.
    static void Activate(HWND hwnd);

private:
    // Kept until the process ends: releasing it early would let a second copy in.
    UniqueHandle m_mutex;
};
