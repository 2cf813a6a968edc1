#pragma once
// A button drawn from three state bitmaps with its window text centred over them in white.
#include <windows.h>

#include "launcher/skin/bitmap_cache2.h"
#include "launcher/skin/ex_button.h"

class CEx1PartsButton : public CExButton
{
public:
    static constexpr int kDefaultCaptionTop = 43;
    static constexpr int kDefaultFontBase = 120;

    CEx1PartsButton() noexcept = default;
    ~CEx1PartsButton() override = default;

    // Bitmap resource ids for normal, hover and pressed (through CBitmapCache). The button
    // takes the size of the normal bitmap and is repainted. False when the normal bitmap
    // does not load (the button then keeps its size).
    bool SetBitmaps(UINT nNormalId, UINT nHoverId, UINT nPressedId);
    // Top of the caption's rectangle, in pixels from the button's top.
    void SetCaptionTop(int nTop);
    // Extra shift of the caption while pressed.
    void SetPressedOffset(int nX, int nY);
    // Caption size in tenths of a point at 96 dots per inch (scaled for the screen).
    void SetFontSize(int nBaseTenths);

    int GetCaptionTop() const noexcept { return m_nCaptionTop; }
    int GetFontBase() const noexcept { return m_nFontBase; }
    POINT GetPressedOffset() const noexcept { return m_ptPressedOffset; }

protected:
    void DrawButton(HDC hdc, const RECT& rc, int nState) override;

private:
    UINT m_nBitmapIds[3] = {0, 0, 0};
    int m_nCaptionTop = kDefaultCaptionTop;
    int m_nFontBase = kDefaultFontBase;
    POINT m_ptPressedOffset = {0, 0};
    CBitmapCache2 m_cacheImages;
};
