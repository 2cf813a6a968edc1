#include "launcher/skin/ex_static.h"

#include <memory>

#include "common/unique_resource.h"

#include "launcher/skin/skin_draw.h"
#include "launcher/skin/skin_font.h"

namespace
{
// Shown where the parent does not paint a background of its own.
const COLORREF kFallbackBackground = RGB(17, 17, 132);
const float kLineSpacing = 1.3f;

Gdiplus::StringAlignment HorizontalAlignment(LONG_PTR lStyle)
{
    switch (lStyle & SS_TYPEMASK)
    {
    case SS_CENTER:
        return Gdiplus::StringAlignmentCenter;
    case SS_RIGHT:
        return Gdiplus::StringAlignmentFar;
    default:
        return Gdiplus::StringAlignmentNear;
    }
}
}  // namespace

CExStatic::CExStatic() noexcept : m_wLangId(::GetSystemDefaultLangID())
{
}

void CExStatic::SetFontSize(int nBaseTenths)
{
    m_nFontBase = nBaseTenths;
    if (GetHwnd())
        ::InvalidateRect(GetHwnd(), nullptr, FALSE);
}

bool CExStatic::UsesLineLayout(LANGID wLangId, const std::wstring& text)
{
    return PRIMARYLANGID(wLangId) == LANG_JAPANESE && text.find(L"\r\n") != std::wstring::npos;
}

std::vector<std::wstring> CExStatic::SplitLines(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    size_t nStart = 0;
    while (nStart <= text.size())
    {
        size_t nEnd = text.find(L"\r\n", nStart);
        if (nEnd == std::wstring::npos)
            nEnd = text.size();
        if (nEnd > nStart)
            lines.push_back(text.substr(nStart, nEnd - nStart));
        nStart = nEnd + 2;
    }
    return lines;
}

std::wstring CExStatic::GetText() const
{
    const int nLength = ::GetWindowTextLengthW(GetHwnd());
    std::wstring text(static_cast<size_t>(nLength) + 1, L'\0');
    text.resize(static_cast<size_t>(
        ::GetWindowTextW(GetHwnd(), &text[0], static_cast<int>(text.size()))));
    return text;
}

LRESULT CExStatic::WindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg)
    {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        skin::PaintBuffered(GetHwnd(), [this](HDC hdc) { Render(hdc); });
        return 0;
    case WM_PRINTCLIENT:
        Render(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_SETTEXT:
    case WM_ENABLE:
    case WM_UPDATEUISTATE:
    {
        // The system static would paint its own text; the skin repaints the whole area
        // (background included) at once instead.
        const LRESULT lResult = DefProcHidden(uMsg, wParam, lParam);
        ::RedrawWindow(GetHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        return lResult;
    }
    default:
        return DefProc(uMsg, wParam, lParam);
    }
}

void CExStatic::Render(HDC hdc)
{
    RECT rc;
    ::GetClientRect(GetHwnd(), &rc);
    skin::PaintParentBackground(GetHwnd(), hdc, kFallbackBackground);
    DrawText(hdc, rc);
}

void CExStatic::DrawText(HDC hdc, const RECT& rc)
{
    const std::wstring text = GetText();
    if (text.empty() || rc.right <= rc.left || rc.bottom <= rc.top)
        return;
    const LONG_PTR lStyle = ::GetWindowLongPtrW(GetHwnd(), GWL_STYLE);
    const COLORREF crText = ::IsWindowEnabled(GetHwnd()) ? kEnabledColor : kDisabledColor;

    std::unique_ptr<Gdiplus::Font> pFont;
    if (m_bGdiplus)
        pFont = CSkinFont::CreateScaled(m_nFontBase);
    if (!pFont)
    {
        // Plain GDI text, also used when GDI+ is not running.
        UniqueHFont font(::CreateFontW(
            -MulDiv(CSkinFont::ScaleSize(m_nFontBase, CSkinFont::ScreenDpi()),
                    ::GetDeviceCaps(hdc, LOGPIXELSY), 720),
            0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
            CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, CSkinFont::SystemFamilyName()));
        HGDIOBJ hOld = ::SelectObject(hdc, font.Get());
        ::SetBkMode(hdc, TRANSPARENT);
        ::SetTextColor(hdc, crText);
        UINT nFormat = DT_WORDBREAK | DT_NOPREFIX;
        nFormat |= (lStyle & SS_TYPEMASK) == SS_CENTER  ? DT_CENTER
                   : (lStyle & SS_TYPEMASK) == SS_RIGHT ? DT_RIGHT
                                                        : DT_LEFT;
        RECT rcCalc = rc;
        ::DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &rcCalc, nFormat | DT_CALCRECT);
        RECT rcDraw = rc;
        rcDraw.top += ((rc.bottom - rc.top) - (rcCalc.bottom - rcCalc.top)) / 2;
        ::DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &rcDraw, nFormat);
        ::SelectObject(hdc, hOld);
        return;
    }

    Gdiplus::Graphics graphics(hdc);
    CSkinFont::PrepareGraphics(graphics);
    Gdiplus::SolidBrush brush(
        Gdiplus::Color(255, GetRValue(crText), GetGValue(crText), GetBValue(crText)));
    const Gdiplus::REAL cx = static_cast<Gdiplus::REAL>(rc.right - rc.left);
    const Gdiplus::REAL cy = static_cast<Gdiplus::REAL>(rc.bottom - rc.top);

    if (UsesLineLayout(m_wLangId, text))
    {
        const std::vector<std::wstring> lines = SplitLines(text);
        const Gdiplus::REAL lineHeight = pFont->GetHeight(&graphics) * kLineSpacing;
        Gdiplus::REAL y = 0.0f;
        if (lStyle & SS_CENTERIMAGE)
            y = (cy - lineHeight * static_cast<Gdiplus::REAL>(lines.size())) / 2.0f;
        Gdiplus::StringFormat format(Gdiplus::StringFormatFlagsNoWrap);
        format.SetAlignment(Gdiplus::StringAlignmentCenter);
        format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
        format.SetTrimming(Gdiplus::StringTrimmingEllipsisCharacter);
        format.SetHotkeyPrefix(Gdiplus::HotkeyPrefixNone);
        for (const std::wstring& line : lines)
        {
            const Gdiplus::RectF rcLine(static_cast<Gdiplus::REAL>(rc.left),
                                        static_cast<Gdiplus::REAL>(rc.top) + y, cx, lineHeight);
            graphics.DrawString(line.c_str(), static_cast<INT>(line.size()), pFont.get(), rcLine,
                                &format, &brush);
            y += lineHeight;
        }
        return;
    }

    const std::wstring whole = CSkinFont::NormalizeLineBreaks(text);
    Gdiplus::StringFormat format;
    format.SetAlignment(HorizontalAlignment(lStyle));
    format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
    format.SetHotkeyPrefix(Gdiplus::HotkeyPrefixNone);
    const Gdiplus::RectF rcLayout(static_cast<Gdiplus::REAL>(rc.left),
                                  static_cast<Gdiplus::REAL>(rc.top), cx, cy);
    graphics.DrawString(whole.c_str(), static_cast<INT>(whole.size()), pFont.get(), rcLayout,
                        &format, &brush);
}
