#include "launcher/skin/ex_title_bar.h"

#include <string>

#include "launcher/skin/skin_draw.h"
#include "launcher/skin/skin_font.h"
#include "launcher/skin/skin_resource_ids.h"

namespace
{
const wchar_t kClassName[] = L"TolvikSkinTitleBar";
const int kIconLeft = 4;
const int kIconTop = 4;
const int kIconSize = 16;
const int kTextGap = 2;
const int kButtonMargin = 4;
const int kButtonTop = 4;
const int kButtonGap = 3;
const int kCaptionFontTenths = 90;
const COLORREF kActiveText = RGB(255, 255, 255);
const COLORREF kInactiveText = RGB(160, 160, 210);

bool RegisterTitleBarClass(WNDPROC pfnWndProc)
{
    WNDCLASSEXW wc = {sizeof(wc)};
    HINSTANCE hInstance = ::GetModuleHandleW(nullptr);
    if (::GetClassInfoExW(hInstance, kClassName, &wc))
        return true;
    wc.cbSize = sizeof(wc);
    wc.style = 0;
    wc.lpfnWndProc = pfnWndProc;
    wc.hInstance = hInstance;
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.lpszClassName = kClassName;
    return ::RegisterClassExW(&wc) != 0;
}

bool ParentHasIcon(HWND hwndDialog)
{
    return ::SendMessageW(hwndDialog, WM_GETICON, ICON_SMALL, 0) != 0 ||
           ::SendMessageW(hwndDialog, WM_GETICON, ICON_BIG, 0) != 0 ||
           ::GetClassLongPtrW(hwndDialog, GCLP_HICONSM) != 0 ||
           ::GetClassLongPtrW(hwndDialog, GCLP_HICON) != 0;
}

std::wstring WindowText(HWND hwnd)
{
    const int nLength = ::GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<size_t>(nLength) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(hwnd, &text[0], static_cast<int>(text.size()))));
    return text;
}
}  // namespace

CExTitleBar::CExTitleBar() noexcept = default;

CExTitleBar::~CExTitleBar()
{
    Destroy();
}

bool CExTitleBar::Create(HWND hwndDialog)
{
    if (m_hwnd || !hwndDialog || !RegisterTitleBarClass(WndProc))
        return false;
    m_hwndDialog = hwndDialog;
    RECT rcClient;
    ::GetClientRect(hwndDialog, &rcClient);
    m_hwnd = ::CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                               rcClient.right, kHeight, hwndDialog,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(-1)),
                               ::GetModuleHandleW(nullptr), this);
    if (!m_hwnd)
        return false;

    const LONG_PTR lStyle = ::GetWindowLongPtrW(hwndDialog, GWL_STYLE);
    if (lStyle & WS_SYSMENU)
    {
        m_pClose.reset(new CCaptionButton(CCaptionButton::eClose));
        if (!m_pClose->Create(m_hwnd, hwndDialog, 0, kButtonTop))
            m_pClose.reset();
        if (lStyle & WS_MINIMIZEBOX)
        {
            m_pMinimize.reset(new CCaptionButton(CCaptionButton::eMinimize));
            if (!m_pMinimize->Create(m_hwnd, hwndDialog, 0, kButtonTop))
                m_pMinimize.reset();
        }
    }
    LayoutButtons();
    return true;
}

void CExTitleBar::Destroy()
{
    if (m_hwnd && ::IsWindow(m_hwnd))
        ::DestroyWindow(m_hwnd);
    m_hwnd = nullptr;
    m_pMinimize.reset();
    m_pClose.reset();
}

void CExTitleBar::Resize(int cx)
{
    if (!m_hwnd)
        return;
    ::SetWindowPos(m_hwnd, nullptr, 0, 0, cx, kHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    LayoutButtons();
    ::InvalidateRect(m_hwnd, nullptr, TRUE);
}

void CExTitleBar::SetActive(bool bActive)
{
    m_bActive = bActive;
    if (m_hwnd)
        ::InvalidateRect(m_hwnd, nullptr, FALSE);
}

void CExTitleBar::LayoutButtons()
{
    RECT rc;
    ::GetClientRect(m_hwnd, &rc);
    const SIZE size = CCaptionButton::ButtonSize();
    int x = rc.right - kButtonMargin;
    for (CCaptionButton* pButton : {m_pClose.get(), m_pMinimize.get()})
    {
        if (!pButton || !pButton->GetHwnd())
            continue;
        x -= size.cx;
        ::SetWindowPos(pButton->GetHwnd(), nullptr, x, kButtonTop, size.cx, size.cy,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        x -= kButtonGap;
    }
}

HICON CExTitleBar::SmallIcon()
{
    if (!ParentHasIcon(m_hwndDialog))
        return nullptr;
    if (!m_hIcon)
    {
        m_hIcon.Reset(static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr),
                                                      MAKEINTRESOURCEW(IDI_SKIN_TITLE_ICON),
                                                      IMAGE_ICON, kIconSize, kIconSize,
                                                      LR_DEFAULTCOLOR)));
    }
    if (m_hIcon)
        return m_hIcon.Get();
    HICON hIcon = reinterpret_cast<HICON>(::SendMessageW(m_hwndDialog, WM_GETICON, ICON_SMALL, 0));
    if (!hIcon)
        hIcon = reinterpret_cast<HICON>(::SendMessageW(m_hwndDialog, WM_GETICON, ICON_BIG, 0));
    return hIcon;
}

std::vector<RECT> CExTitleBar::ButtonRects() const
{
    std::vector<RECT> rects;
    for (CCaptionButton* pButton : {m_pClose.get(), m_pMinimize.get()})
    {
        if (!pButton || !pButton->GetHwnd())
            continue;
        RECT rcButton;
        ::GetWindowRect(pButton->GetHwnd(), &rcButton);
        ::MapWindowPoints(nullptr, m_hwnd, reinterpret_cast<POINT*>(&rcButton), 2);
        rects.push_back(rcButton);
    }
    return rects;
}

void CExTitleBar::EraseBackground(HDC hdc)
{
    RECT rc;
    ::GetClientRect(m_hwnd, &rc);
    const int nSaved = ::SaveDC(hdc);
    for (const RECT& rcButton : ButtonRects())
        ::ExcludeClipRect(hdc, rcButton.left, rcButton.top, rcButton.right, rcButton.bottom);
    skin::FillSolid(hdc, rc, kFillColor);
    ::RestoreDC(hdc, nSaved);
}

void CExTitleBar::Render(HDC hdc)
{
    if (!m_hwnd)
        return;
    RECT rc;
    ::GetClientRect(m_hwnd, &rc);
    skin::FillSolid(hdc, rc, kFillColor);

    int xText = kIconLeft;
    if (HICON hIcon = SmallIcon())
    {
        ::DrawIconEx(hdc, kIconLeft, kIconTop, hIcon, kIconSize, kIconSize, 0, nullptr, DI_NORMAL);
        xText = kIconLeft + kIconSize + kTextGap;
    }
    int xRight = rc.right - kButtonMargin;
    for (const RECT& rcButton : ButtonRects())
    {
        if (rcButton.left - kButtonMargin < xRight)
            xRight = rcButton.left - kButtonMargin;
    }

    const std::wstring text = WindowText(m_hwndDialog);
    if (text.empty() || xRight <= xText)
        return;
    Gdiplus::Graphics graphics(hdc);
    CSkinFont::PrepareGraphics(graphics);
    std::unique_ptr<Gdiplus::Font> pFont =
        CSkinFont::Create(L"MS UI Gothic", kCaptionFontTenths, Gdiplus::FontStyleBold);
    if (!pFont)
        return;
    Gdiplus::StringFormat format(Gdiplus::StringFormatFlagsNoWrap);
    format.SetAlignment(Gdiplus::StringAlignmentNear);
    format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
    format.SetTrimming(Gdiplus::StringTrimmingEllipsisCharacter);
    format.SetHotkeyPrefix(Gdiplus::HotkeyPrefixNone);
    const COLORREF crText = m_bActive ? kActiveText : kInactiveText;
    Gdiplus::SolidBrush brush(Gdiplus::Color(255, GetRValue(crText), GetGValue(crText), GetBValue(crText)));
    const Gdiplus::RectF rcText(static_cast<Gdiplus::REAL>(xText), 1.0f,
                                static_cast<Gdiplus::REAL>(xRight - xText),
                                static_cast<Gdiplus::REAL>(rc.bottom - 1));
    graphics.DrawString(text.c_str(), static_cast<INT>(text.size()), pFont.get(), rcText, &format,
                        &brush);
}

LRESULT CALLBACK CExTitleBar::WndProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    CExTitleBar* pThis = nullptr;
    if (uMsg == WM_NCCREATE)
    {
        pThis = static_cast<CExTitleBar*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pThis));
        if (pThis)
            pThis->m_hwnd = hwnd;
    }
    else
    {
        pThis = reinterpret_cast<CExTitleBar*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!pThis)
        return ::DefWindowProcW(hwnd, uMsg, wParam, lParam);
    if (uMsg == WM_NCDESTROY)
    {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        pThis->m_hwnd = nullptr;
        return ::DefWindowProcW(hwnd, uMsg, wParam, lParam);
    }
    try
    {
        return pThis->HandleMessage(uMsg, wParam, lParam);
    }
    catch (...)
    {
        return 0;
    }
}

LRESULT CExTitleBar::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg)
    {
    case WM_NCHITTEST:
        // The dialog answers for the strip (caption and system menu areas).
        return HTTRANSPARENT;
    case WM_ERASEBKGND:
        EraseBackground(reinterpret_cast<HDC>(wParam));
        return 1;
    case WM_PAINT:
        skin::PaintBuffered(m_hwnd, [this](HDC hdc) { Render(hdc); });
        return 0;
    case WM_PRINTCLIENT:
        Render(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_CONTEXTMENU:
        return 0;
    default:
        return ::DefWindowProcW(m_hwnd, uMsg, wParam, lParam);
    }
}
