#include "launcher/skin/ex1_parts_button.h"

#include <string>

#include "launcher/skin/bitmap_cache.h"
#include "launcher/skin/skin_draw.h"
#include "launcher/skin/skin_font.h"

bool CEx1PartsButton::SetBitmaps(UINT nNormalId, UINT nHoverId, UINT nPressedId)
{
    m_nBitmapIds[eStateNormal] = nNormalId;
    m_nBitmapIds[eStateHover] = nHoverId;
    m_nBitmapIds[eStatePressed] = nPressedId;
    const SIZE size = skin::BitmapSize(CBitmapCache::getBitmap(nNormalId));
    if (GetHwnd() && size.cx > 0)
    {
        ::SetWindowPos(GetHwnd(), nullptr, 0, 0, size.cx, size.cy,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    Repaint();
    return size.cx > 0;
}

void CEx1PartsButton::SetCaptionTop(int nTop)
{
    m_nCaptionTop = nTop;
    Repaint();
}

void CEx1PartsButton::SetPressedOffset(int nX, int nY)
{
    m_ptPressedOffset.x = nX;
    m_ptPressedOffset.y = nY;
    Repaint();
}

void CEx1PartsButton::SetFontSize(int nBaseTenths)
{
    m_nFontBase = nBaseTenths;
    Repaint();
}

void CEx1PartsButton::DrawButton(HDC hdc, const RECT& rc, int nState)
{
    const int cx = rc.right - rc.left;
    const int cy = rc.bottom - rc.top;
    if (cx <= 0 || cy <= 0)
        return;
    if (nState < eStateNormal || nState > eStatePressed)
        nState = eStateNormal;

    CSkinBitmap* pImage = m_cacheImages.getBitmap(nState);
    if (!pImage->CreateCompatible(hdc, cx, cy))
        return;
    {
        COffscreenDC offscreen(hdc, pImage->GetHandle(), cx, cy);
        if (!offscreen.IsValid())
        {
            pImage->Release();
            return;
        }
        HDC hdcDraw = offscreen.GetDC();
        const RECT rcItem = {0, 0, cx, cy};
        HBITMAP hbmState = m_nBitmapIds[nState] ? CBitmapCache::getBitmap(m_nBitmapIds[nState])
                                                : nullptr;
        if (!skin::DrawStretched(hdcDraw, hbmState, rcItem))
            CExButton::DrawButton(hdcDraw, rcItem, nState);

        if (::IsWindowEnabled(GetHwnd()))
        {
            const int nLength = ::GetWindowTextLengthW(GetHwnd());
            std::wstring text(static_cast<size_t>(nLength) + 1, L'\0');
            text.resize(static_cast<size_t>(
                ::GetWindowTextW(GetHwnd(), &text[0], static_cast<int>(text.size()))));
            text = CSkinFont::NormalizeLineBreaks(text);
            if (!text.empty())
            {
                Gdiplus::RectF rcText(0.0f, static_cast<Gdiplus::REAL>(m_nCaptionTop),
                                      static_cast<Gdiplus::REAL>(cx),
                                      static_cast<Gdiplus::REAL>(cy - m_nCaptionTop));
                if (nState == eStatePressed)
                {
                    rcText.X += static_cast<Gdiplus::REAL>(m_ptPressedOffset.x);
                    rcText.Y += static_cast<Gdiplus::REAL>(m_ptPressedOffset.y);
                }
                Gdiplus::Graphics graphics(hdcDraw);
                CSkinFont::PrepareGraphics(graphics);
                std::unique_ptr<Gdiplus::Font> pFont = CSkinFont::CreateScaled(m_nFontBase);
                if (pFont)
                {
                    Gdiplus::StringFormat format;
                    format.SetAlignment(Gdiplus::StringAlignmentCenter);
                    format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
                    format.SetHotkeyPrefix(Gdiplus::HotkeyPrefixHide);
                    Gdiplus::SolidBrush brush(Gdiplus::Color(255, 255, 255, 255));
                    graphics.DrawString(text.c_str(), static_cast<INT>(text.size()), pFont.get(),
                                        rcText, &format, &brush);
                }
            }
        }
        offscreen.Commit(rc.left, rc.top);
    }
    pImage->Release();
}
