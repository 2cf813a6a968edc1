#pragma once
// The main window's position between runs: a WINDOWPLACEMENT record in the per-user
// profile, restored only when enough of the window would stay on the screen.
#include <windows.h>

class CWindowPlacementStore
{
public:
    // nTemplateId names the entry ("%d") inside the application's profile section.
    explicit CWindowPlacementStore(UINT nTemplateId) : m_nTemplateId(nTemplateId) {}

    bool Load(WINDOWPLACEMENT& wp) const;
    void Save(HWND hwnd) const;
    // Applies the stored placement when it passes IsOnScreen; returns whether it did.
    bool Restore(HWND hwnd, SIZE windowSize) const;

    // At least 100 pixels of a window of windowSize at the stored normal position must lie
    // on a screen whose full-screen client area is fullScreen.
    static bool IsOnScreen(const WINDOWPLACEMENT& wp, SIZE windowSize, SIZE fullScreen);

private:
    UINT m_nTemplateId;
};
