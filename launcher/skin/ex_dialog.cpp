#include "launcher/skin/ex_dialog.h"

#include <windowsx.h>

#include <vector>

#include "common/unique_resource.h"

namespace
{
// The system's request to pop up a window's system menu at a screen position.
const UINT kPopupSystemMenu = 0x313;
const RECT kSysMenuSquare = {4, 4, 20, 20};

void FrameRectangle(HDC hdc, const RECT& rc, COLORREF cr)
{
    UniqueHBrush brush(::CreateSolidBrush(cr));
    if (brush)
        ::FrameRect(hdc, &rc, brush.Get());
}
}  // namespace

CExDialog::CExDialog(UINT nTemplateId, HINSTANCE hInstance) noexcept
    : CDialogBase(nTemplateId, hInstance)
{
}

CExDialog::~CExDialog()
{
    if (m_pTitleBar)
        m_pTitleBar->Destroy();
}

BOOL CExDialog::OnInitDialog()
{
    HWND hwnd = GetHwnd();
    const LONG_PTR lStyle = ::GetWindowLongPtrW(hwnd, GWL_STYLE);
    m_bHadCaption = (lStyle & WS_CAPTION) == WS_CAPTION;
    ::SetWindowLongPtrW(hwnd, GWL_STYLE, lStyle & ~static_cast<LONG_PTR>(WS_CAPTION));
    ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (m_bHadCaption)
    {
        MoveChildrenDown(kTitleBarHeight);
        m_pTitleBar.reset(new CExTitleBar());
        if (!m_pTitleBar->Create(hwnd))
            m_pTitleBar.reset();
    }
    m_bActive = ::GetActiveWindow() == hwnd;
    if (m_pTitleBar)
        m_pTitleBar->SetActive(m_bActive);
    return TRUE;
}

void CExDialog::MoveChildrenDown(int cy)
{
    // Only the dialog's own children: grandchildren move with their parents.
    std::vector<HWND> children;
    for (HWND hwndChild = ::GetWindow(GetHwnd(), GW_CHILD); hwndChild;
         hwndChild = ::GetWindow(hwndChild, GW_HWNDNEXT))
    {
        children.push_back(hwndChild);
    }
    for (HWND hwndChild : children)
    {
        RECT rc;
        ::GetWindowRect(hwndChild, &rc);
        ::MapWindowPoints(nullptr, GetHwnd(), reinterpret_cast<POINT*>(&rc), 2);
        ::SetWindowPos(hwndChild, nullptr, rc.left, rc.top + cy, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void CExDialog::PaintFrame(HDC hdcWindow)
{
    RECT rc;
    ::GetWindowRect(GetHwnd(), &rc);
    ::OffsetRect(&rc, -rc.left, -rc.top);
    FrameRectangle(hdcWindow, rc, kFrameOuter);
    ::InflateRect(&rc, -1, -1);
    FrameRectangle(hdcWindow, rc, kFrameMiddle);
    ::InflateRect(&rc, -1, -1);
    FrameRectangle(hdcWindow, rc, kFrameInner);
}

LRESULT CExDialog::HitTest(POINT ptScreen)
{
    if (!m_pTitleBar || !m_pTitleBar->GetHwnd())
        return HTNOWHERE;
    RECT rcBar;
    ::GetWindowRect(m_pTitleBar->GetHwnd(), &rcBar);
    if (!::PtInRect(&rcBar, ptScreen))
        return HTNOWHERE;
    POINT pt = {ptScreen.x - rcBar.left, ptScreen.y - rcBar.top};
    return ::PtInRect(&kSysMenuSquare, pt) ? HTSYSMENU : HTCAPTION;
}

bool CExDialog::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult)
{
    HWND hwnd = GetHwnd();
    switch (uMsg)
    {
    case WM_NCPAINT:
    {
        HDC hdc = ::GetWindowDC(hwnd);
        if (hdc)
        {
            PaintFrame(hdc);
            ::ReleaseDC(hwnd, hdc);
        }
        lResult = 0;
        return true;
    }
    case WM_NCACTIVATE:
    {
        m_bActive = wParam != FALSE;
        HDC hdc = ::GetWindowDC(hwnd);
        if (hdc)
        {
            PaintFrame(hdc);
            ::ReleaseDC(hwnd, hdc);
        }
        if (m_pTitleBar)
            m_pTitleBar->SetActive(m_bActive);
        // Handled here: the system would draw its own caption over the skin.
        lResult = TRUE;
        return true;
    }
    case WM_NCHITTEST:
    {
        const POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        const LRESULT lHit = HitTest(pt);
        if (lHit == HTNOWHERE)
            return false;
        lResult = lHit;
        return true;
    }
    case WM_NCRBUTTONDOWN:
        if (wParam == HTCAPTION || wParam == HTSYSMENU)
        {
            ::PostMessageW(hwnd, kPopupSystemMenu, 0, lParam);
            lResult = 0;
            return true;
        }
        return false;
    case WM_NCRBUTTONUP:
        // The system would otherwise follow with a context menu of its own.
        if (wParam == HTCAPTION || wParam == HTSYSMENU)
        {
            lResult = 0;
            return true;
        }
        return false;
    case kPopupSystemMenu:
    {
        HMENU hMenu = ::GetSystemMenu(hwnd, FALSE);
        if (hMenu)
        {
            const UINT nCommand = static_cast<UINT>(::TrackPopupMenu(
                hMenu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD,
                GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), 0, hwnd, nullptr));
            if (nCommand)
                ::PostMessageW(hwnd, WM_SYSCOMMAND, nCommand, lParam);
        }
        lResult = 0;
        return true;
    }
    case WM_SIZE:
        if (m_pTitleBar && wParam != SIZE_MINIMIZED)
            m_pTitleBar->Resize(LOWORD(lParam));
        return false;
    case WM_SETTEXT:
    case WM_SETICON:
        if (m_pTitleBar && m_pTitleBar->GetHwnd())
            ::InvalidateRect(m_pTitleBar->GetHwnd(), nullptr, FALSE);
        return false;
    default:
        return false;
    }
}
