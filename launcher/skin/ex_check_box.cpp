#include "launcher/skin/ex_check_box.h"

#include <cmath>
#include <memory>
#include <string>

#include "launcher/skin/bitmap_cache.h"
#include "launcher/skin/skin_draw.h"
#include "launcher/skin/skin_font.h"
#include "launcher/skin/skin_resource_ids.h"

namespace
{
const COLORREF kTextFill = RGB(17, 17, 132);
const COLORREF kTransparentKey = RGB(255, 0, 255);

std::wstring DisplayText(HWND hwnd)
{
    const int nLength = ::GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<size_t>(nLength) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(hwnd, &text[0], static_cast<int>(text.size()))));
    if (!text.empty() && text[0] == L'&')
        text.erase(0, 1);
    return CSkinFont::NormalizeLineBreaks(text);
}

// Alignment from the button's BS_LEFT / BS_RIGHT / BS_CENTER and BS_TOP / BS_BOTTOM /
// BS_VCENTER styles; a check box's text is left-aligned and vertically centred by default.
void ApplyAlignment(LONG_PTR lStyle, Gdiplus::StringFormat& format)
{
    switch (lStyle & BS_CENTER)
    {
    case BS_CENTER:
        format.SetAlignment(Gdiplus::StringAlignmentCenter);
        break;
    case BS_RIGHT:
        format.SetAlignment(Gdiplus::StringAlignmentFar);
        break;
    default:
        format.SetAlignment(Gdiplus::StringAlignmentNear);
        break;
    }
    switch (lStyle & BS_VCENTER)
    {
    case BS_TOP:
        format.SetLineAlignment(Gdiplus::StringAlignmentNear);
        break;
    case BS_BOTTOM:
        format.SetLineAlignment(Gdiplus::StringAlignmentFar);
        break;
    default:
        format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
        break;
    }
    format.SetHotkeyPrefix(Gdiplus::HotkeyPrefixNone);
}
}  // namespace

void CExCheckBox::OnSubclassed()
{
    // The system check box stays (its text, focus and style handling are kept); only its
    // painting and its tick are taken over.
    m_bChecked = DefProc(BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool CExCheckBox::LoadBitmaps()
{
    static const UINT kIds[6] = {IDB_CHECK_OFF_NORMAL, IDB_CHECK_OFF_HOVER, IDB_CHECK_OFF_PRESSED,
                                 IDB_CHECK_ON_NORMAL,  IDB_CHECK_ON_HOVER,  IDB_CHECK_ON_PRESSED};
    bool bAll = true;
    for (int i = 0; i < 6; ++i)
    {
        m_hbmStates[i] = CBitmapCache::getBitmap(kIds[i]);
        bAll = bAll && m_hbmStates[i] != nullptr;
    }
    Repaint();
    return bAll;
}

void CExCheckBox::RecalcFont(int nBaseTenths)
{
    m_nFontBase = nBaseTenths;
    Repaint();
}

int CExCheckBox::MeasureTextWidth()
{
    const std::wstring text = DisplayText(GetHwnd());
    if (text.empty())
        return 0;
    HDC hdc = ::GetDC(GetHwnd());
    if (!hdc)
        return 0;
    float fWidth = 0.0f;
    {
        Gdiplus::Graphics graphics(hdc);
        CSkinFont::PrepareGraphics(graphics);
        std::unique_ptr<Gdiplus::Font> pFont = CSkinFont::CreateScaled(m_nFontBase);
        if (pFont)
        {
            Gdiplus::StringFormat format(Gdiplus::StringFormatFlagsNoWrap);
            ApplyAlignment(0, format);
            Gdiplus::RectF rcBounds;
            if (graphics.MeasureString(text.c_str(), static_cast<INT>(text.size()), pFont.get(),
                                       Gdiplus::PointF(0.0f, 0.0f), &format,
                                       &rcBounds) == Gdiplus::Ok)
            {
                fWidth = rcBounds.Width;
            }
        }
    }
    ::ReleaseDC(GetHwnd(), hdc);
    return static_cast<int>(std::ceil(fWidth));
}

void CExCheckBox::FitToText()
{
    if (!GetHwnd())
        return;
    const SIZE sizeBitmap = skin::BitmapSize(m_hbmStates[0]);
    // One pixel more than measured: the drawn text is laid out without wrapping, and GDI+
    // measurement and drawing may round differently.
    const int cx = sizeBitmap.cx + kTextGap + MeasureTextWidth() + 1;
    RECT rc;
    ::GetWindowRect(GetHwnd(), &rc);
    ::SetWindowPos(GetHwnd(), nullptr, 0, 0, cx, rc.bottom - rc.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    skin::RedrawParentUnder(GetHwnd());
}

void CExCheckBox::SetChecked(bool bChecked)
{
    m_bChecked = bChecked;
    Repaint();
}

void CExCheckBox::SetTextColor(COLORREF crText)
{
    m_crText = crText;
    Repaint();
}

HBITMAP CExCheckBox::StateBitmap(int nState) const noexcept
{
    if (nState < eStateNormal || nState > eStatePressed)
        nState = eStateNormal;
    return m_hbmStates[(m_bChecked ? 3 : 0) + nState];
}

LRESULT CExCheckBox::WindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg)
    {
    case BM_GETCHECK:
        return m_bChecked ? BST_CHECKED : BST_UNCHECKED;
    case BM_SETCHECK:
        SetChecked(wParam == BST_CHECKED);
        return 0;
    case WM_SETTEXT:
    case WM_ENABLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    {
        // Drawn over the parent's background: the old text must go with the parent's pixels.
        const LRESULT lResult = DefProcHidden(uMsg, wParam, lParam);
        skin::RedrawParentUnder(GetHwnd());
        return lResult;
    }
    default:
        return CExButton::WindowProc(uMsg, wParam, lParam);
    }
}

void CExCheckBox::DrawButton(HDC hdc, const RECT& rc, int nState)
{
    const int cx = rc.right - rc.left;
    const int cy = rc.bottom - rc.top;
    COffscreenDC offscreen(hdc, cx, cy);
    if (!offscreen.IsValid())
        return;
    HDC hdcDraw = offscreen.GetDC();
    skin::PaintParentBackground(GetHwnd(), hdcDraw, kTextFill);

    HBITMAP hbm = StateBitmap(nState);
    const SIZE sizeBitmap = skin::BitmapSize(hbm);
    if (hbm)
        skin::DrawTransparent(hdcDraw, hbm, 0, (cy - sizeBitmap.cy) / 2, kTransparentKey);

    RECT rcText = {sizeBitmap.cx + kTextGap, 0, cx, cy};
    if (rcText.right > rcText.left)
    {
        skin::FillSolid(hdcDraw, rcText, kTextFill);

        const std::wstring text = DisplayText(GetHwnd());
        if (!text.empty())
        {
            Gdiplus::Graphics graphics(hdcDraw);
            CSkinFont::PrepareGraphics(graphics);
            std::unique_ptr<Gdiplus::Font> pFont = CSkinFont::CreateScaled(m_nFontBase);
            if (pFont)
            {
                Gdiplus::StringFormat format(Gdiplus::StringFormatFlagsNoWrap);
                ApplyAlignment(::GetWindowLongPtrW(GetHwnd(), GWL_STYLE), format);
                Gdiplus::SolidBrush brush(Gdiplus::Color(255, GetRValue(m_crText),
                                                         GetGValue(m_crText), GetBValue(m_crText)));
                const Gdiplus::RectF rcLayout(static_cast<Gdiplus::REAL>(rcText.left), 0.0f,
                                              static_cast<Gdiplus::REAL>(rcText.right - rcText.left),
                                              static_cast<Gdiplus::REAL>(cy));
                graphics.DrawString(text.c_str(), static_cast<INT>(text.size()), pFont.get(),
                                    rcLayout, &format, &brush);
            }
        }
    }
    offscreen.Commit(rc.left, rc.top);
}

void CExCheckBox::OnClicked()
{
    m_bChecked = !m_bChecked;
    Repaint();
    HWND hwnd = GetHwnd();
    HWND hwndParent = ::GetParent(hwnd);
    const int nId = ::GetDlgCtrlID(hwnd);
    if (!hwndParent)
        return;
    ::SendMessageW(hwndParent, WM_COMMAND, MAKEWPARAM(nId, BN_CLICKED), reinterpret_cast<LPARAM>(hwnd));
    if (::IsWindow(hwnd))
        ::SendMessageW(hwndParent, WM_TOLVIK_CHECKCHANGED, static_cast<WPARAM>(nId),
                       reinterpret_cast<LPARAM>(hwnd));
}
