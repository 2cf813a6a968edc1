#include "launcher/skin/ex_button.h"

#include <windowsx.h>

#include "launcher/skin/skin_draw.h"

void CExButton::OnSubclassed()
{
    // The class procedure of an owner-drawn button paints nothing itself, so the skin is the
    // only painter whatever the template said.
    const LONG_PTR lStyle = ::GetWindowLongPtrW(GetHwnd(), GWL_STYLE);
    if ((lStyle & BS_TYPEMASK) != BS_OWNERDRAW)
        ::SendMessageW(GetHwnd(), BM_SETSTYLE, (lStyle & ~BS_TYPEMASK) | BS_OWNERDRAW, FALSE);
}

void CExButton::Render(HDC hdc)
{
    RECT rc;
    ::GetClientRect(GetHwnd(), &rc);
    DrawButton(hdc, rc, m_nState);
}

LRESULT CExButton::WindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    const POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (uMsg)
    {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        OnLButtonDown(pt);
        return 0;
    case WM_LBUTTONUP:
        OnLButtonUp(pt);
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(pt);
        return 0;
    case WM_MOUSELEAVE:
        OnMouseLeave();
        return 0;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != GetHwnd())
            OnCaptureLost();
        return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
        if (!ForwardInputToDefault())
            return 0;
        break;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        PaintWindow();
        return 0;
    case WM_PRINTCLIENT:
        Render(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_SETTEXT:
    case WM_ENABLE:
    {
        const LRESULT lResult = DefProcHidden(uMsg, wParam, lParam);
        Repaint();
        return lResult;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE:
    case BM_SETSTATE:
        return DefProcHidden(uMsg, wParam, lParam);
    default:
        break;
    }
    return DefProc(uMsg, wParam, lParam);
}

void CExButton::DrawButton(HDC hdc, const RECT& rc, int nState)
{
    COffscreenDC offscreen(hdc, rc.right - rc.left, rc.bottom - rc.top);
    HDC hdcDraw = offscreen.IsValid() ? offscreen.GetDC() : hdc;
    const COLORREF crFace = nState == eStatePressed ? RGB(12, 12, 96)
                            : nState == eStateHover ? RGB(62, 62, 200)
                                                    : RGB(40, 40, 170);
    const RECT rcFill = {0, 0, rc.right - rc.left, rc.bottom - rc.top};
    skin::FillSolid(hdcDraw, rcFill, crFace);
    if (offscreen.IsValid())
        offscreen.Commit(rc.left, rc.top);
}

void CExButton::OnClicked()
{
    const int nId = ::GetDlgCtrlID(GetHwnd());
    SendToParent(WM_COMMAND, MAKEWPARAM(nId, 0), reinterpret_cast<LPARAM>(GetHwnd()));
}

void CExButton::Repaint()
{
    if (GetHwnd())
        ::InvalidateRect(GetHwnd(), nullptr, FALSE);
}

void CExButton::SendToParent(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    HWND hwndParent = ::GetParent(GetHwnd());
    if (hwndParent)
        ::SendMessageW(hwndParent, uMsg, wParam, lParam);
}

bool CExButton::HitTest(POINT pt) const
{
    RECT rc;
    ::GetClientRect(GetHwnd(), &rc);
    return ::PtInRect(&rc, pt) != FALSE;
}

void CExButton::OnLButtonDown(POINT pt)
{
    if (!HitTest(pt))
        return;
    m_nPrevState = m_nState;
    m_nState = eStatePressed;
    ::SetCapture(GetHwnd());
    Repaint();
}

void CExButton::OnLButtonUp(POINT pt)
{
    m_nPrevState = m_nState;
    m_nState = eStateNormal;
    if (::GetCapture() == GetHwnd())
        ::ReleaseCapture();
    Repaint();
    // A leave notice ignored during the press is asked for again now.
    TrackLeave();
    if (m_nPrevState == eStatePressed && HitTest(pt))
        OnClicked();  // may destroy the window and this object: nothing may follow
}

void CExButton::OnMouseMove(POINT pt)
{
    const bool bInside = HitTest(pt);
    if (m_nState == eStatePressed)
    {
        if (!bInside)
        {
            m_nPrevState = eStatePressed;
            m_nState = eStateHover;
        }
    }
    else if (m_nPrevState == eStatePressed && m_nState == eStateHover)
    {
        // Still held after being dragged out: pressed again only once the pointer is back
        // over the button (pressed and hover must not alternate while it stays outside).
        if (bInside)
            m_nState = eStatePressed;
    }
    else if (bInside)
    {
        m_nPrevState = m_nState;
        m_nState = eStateHover;
        SendToParent(WM_TOLVIK_HOVER, static_cast<WPARAM>(::GetDlgCtrlID(GetHwnd())),
                     reinterpret_cast<LPARAM>(GetHwnd()));
    }
    else
    {
        m_nState = eStateNormal;
    }
    Repaint();
    TrackLeave();
}

void CExButton::OnMouseLeave()
{
    // While the button holds the mouse for a press the pointer may leave and come back; the
    // press must survive that, so the leave is handled once the button is released.
    if (::GetCapture() == GetHwnd())
        return;
    SendToParent(WM_TOLVIK_HOVER, 0, reinterpret_cast<LPARAM>(GetHwnd()));
    m_nPrevState = m_nState;
    m_nState = eStateNormal;
    Repaint();
}

void CExButton::OnCaptureLost()
{
    // Another window took the mouse in the middle of a press (a message box, task switch):
    // the press is abandoned rather than left hanging.
    if (m_nState == eStatePressed || (m_nPrevState == eStatePressed && m_nState == eStateHover))
    {
        m_nPrevState = eStateNormal;
        m_nState = eStateNormal;
        Repaint();
    }
}

void CExButton::TrackLeave()
{
    TRACKMOUSEEVENT tme = {sizeof(tme), TME_LEAVE, GetHwnd(), 0};
    ::TrackMouseEvent(&tme);
}

void CExButton::PaintWindow()
{
    PAINTSTRUCT ps;
    HDC hdc = ::BeginPaint(GetHwnd(), &ps);
    if (hdc)
        Render(hdc);
    ::EndPaint(GetHwnd(), &ps);
}
