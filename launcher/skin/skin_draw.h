#pragma once
// Drawing helpers of the skinned controls: an off-screen buffer copied to the screen in one
// step, and the parent's background under a control drawn transparently over it.
#include <windows.h>

#include <functional>

#include "common/unique_resource.h"

// A memory DC with a compatible bitmap of the given size; Commit copies it to the target.
class COffscreenDC
{
public:
    COffscreenDC(HDC hdcTarget, int cx, int cy) noexcept;
    // Draws into hbmImage (which must stay alive and not be selected elsewhere).
    COffscreenDC(HDC hdcTarget, HBITMAP hbmImage, int cx, int cy) noexcept;
    ~COffscreenDC();
    COffscreenDC(const COffscreenDC&) = delete;
    COffscreenDC& operator=(const COffscreenDC&) = delete;

    bool IsValid() const noexcept { return m_hdc.IsValid(); }
    HDC GetDC() const noexcept { return m_hdc.Get(); }
    // Copies the whole buffer to (x, y) of the target DC.
    bool Commit(int x = 0, int y = 0) noexcept;

private:
    HDC m_hdcTarget;
    UniqueHBitmap m_hbmOwned;
    UniqueCreatedDC m_hdc;
    HGDIOBJ m_hbmOld = nullptr;
    int m_cx;
    int m_cy;
};

namespace skin
{
// Asks the parent of hwnd to erase its background into hdc, positioned so hdc's (0, 0) is the
// control's top-left corner; fills with crFallback when the parent does not erase.
void PaintParentBackground(HWND hwnd, HDC hdc, COLORREF crFallback);
// Repaints the parent's area under hwnd (and hwnd itself) at once.
void RedrawParentUnder(HWND hwnd);
// Fills rc with a solid colour.
void FillSolid(HDC hdc, const RECT& rc, COLORREF cr) noexcept;
// Size of a bitmap; {0, 0} for nullptr.
SIZE BitmapSize(HBITMAP hbm) noexcept;
// Copies hbm to (x, y) of hdc, leaving pixels of crTransparent out.
bool DrawTransparent(HDC hdc, HBITMAP hbm, int x, int y, COLORREF crTransparent) noexcept;
// Stretches hbm over rc.
bool DrawStretched(HDC hdc, HBITMAP hbm, const RECT& rc) noexcept;
// Answers WM_PAINT: render draws the whole client area into an off-screen buffer, which then
// reaches the window in one copy (render draws on the window itself when no buffer can be made).
void PaintBuffered(HWND hwnd, const std::function<void(HDC)>& render);
}  // namespace skin
