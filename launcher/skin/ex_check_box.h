#pragma once
// Check box drawn from six bitmaps (unticked / ticked, each normal / hover / pressed) with its
// text beside them, transparently over the parent's background. It keeps the tick itself
// (BM_GETCHECK / BM_SETCHECK), ignores the keyboard, and on a click inside sends WM_COMMAND
// and then WM_TOLVIK_CHECKCHANGED with its id to the parent.
#include <windows.h>

#include "launcher/skin/ex_button.h"

class CExCheckBox : public CExButton
{
public:
    static constexpr int kInitialFontBase = 109;
    static constexpr int kFontBase = 100;
    static constexpr int kTextGap = 5;

    CExCheckBox() noexcept = default;
    ~CExCheckBox() override = default;

    // Loads the six bitmaps (unticked 2000-2002, ticked 2003-2005) from CBitmapCache.
    bool LoadBitmaps();
    // Recomputes the font from the base size (tenths of a point at 96 dots per inch).
    void RecalcFont(int nBaseTenths = kFontBase);
    // Width = bitmap width + 5 + measured text width; the height stays.
    void FitToText();

    bool IsChecked() const noexcept { return m_bChecked; }
    void SetChecked(bool bChecked);
    COLORREF GetTextColor() const noexcept { return m_crText; }
    void SetTextColor(COLORREF crText);
    int GetFontBase() const noexcept { return m_nFontBase; }
    // Width of the window text as drawn, in pixels.
    int MeasureTextWidth();

protected:
    void OnSubclassed() override;
    LRESULT WindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void DrawButton(HDC hdc, const RECT& rc, int nState) override;
    void OnClicked() override;

private:
    HBITMAP StateBitmap(int nState) const noexcept;

    HBITMAP m_hbmStates[6] = {};
    bool m_bChecked = false;
    COLORREF m_crText = RGB(255, 255, 255);
    int m_nFontBase = kInitialFontBase;
};
