#pragma once
// The one window of a kind that may be open, as other threads see it: whether it is open, and
// its handle while it exists. Other threads only post to the window, under the lock, so they
// never reach a window that has been destroyed.
#include <windows.h>

#include "common/critical_section.h"

const UINT WM_ZEP_PROGRESS = WM_APP + 1;  // wParam: percentage
const UINT WM_ZEP_CLOSE = WM_APP + 2;

class CWindowSlot
{
public:
    CWindowSlot() = default;
    CWindowSlot(const CWindowSlot&) = delete;
    CWindowSlot& operator=(const CWindowSlot&) = delete;

    // The show method: false when a window of this kind is open already.
    bool TryOpen();
    // After the window's modal loop has ended.
    void Release();
    bool IsOpen();

    // The window's own thread, as the window starts and ends. A close asked for before the
    // window existed is posted to it as soon as it does.
    void Attach(HWND hwnd);
    void Detach();

    // Other threads. False when no window is open; a progress sent before the window exists
    // is dropped (the next one shows), a close is kept for it.
    bool PostProgress(UINT nPercent);
    bool RequestClose();

private:
    CXCriticalSection m_cs;
    bool m_bOpen = false;
    bool m_bClosePending = false;
    HWND m_hwnd = nullptr;
};
