#include "launcher/skin/skin_draw.h"

COffscreenDC::COffscreenDC(HDC hdcTarget, int cx, int cy) noexcept
    : m_hdcTarget(hdcTarget), m_cx(cx), m_cy(cy)
{
    if (cx <= 0 || cy <= 0)
        return;
    m_hbmOwned.Reset(::CreateCompatibleBitmap(hdcTarget, cx, cy));
    if (!m_hbmOwned)
        return;
    m_hdc.Reset(::CreateCompatibleDC(hdcTarget));
    if (m_hdc)
        m_hbmOld = ::SelectObject(m_hdc.Get(), m_hbmOwned.Get());
}

COffscreenDC::COffscreenDC(HDC hdcTarget, HBITMAP hbmImage, int cx, int cy) noexcept
    : m_hdcTarget(hdcTarget), m_cx(cx), m_cy(cy)
{
    if (!hbmImage)
        return;
    m_hdc.Reset(::CreateCompatibleDC(hdcTarget));
    if (m_hdc)
        m_hbmOld = ::SelectObject(m_hdc.Get(), hbmImage);
}

COffscreenDC::~COffscreenDC()
{
    // The image leaves the DC before either is destroyed.
    if (m_hdc)
        ::SelectObject(m_hdc.Get(), m_hbmOld);
}

bool COffscreenDC::Commit(int x, int y) noexcept
{
    if (!m_hdc)
        return false;
    return ::BitBlt(m_hdcTarget, x, y, m_cx, m_cy, m_hdc.Get(), 0, 0, SRCCOPY) != FALSE;
}

namespace skin
{
void PaintParentBackground(HWND hwnd, HDC hdc, COLORREF crFallback)
{
    RECT rc;
    ::GetClientRect(hwnd, &rc);
    HWND hwndParent = ::GetParent(hwnd);
    if (hwndParent)
    {
        POINT pt = {0, 0};
        ::MapWindowPoints(hwnd, hwndParent, &pt, 1);
        // The parent draws in its own coordinates: shift the origin so its pixel under our
        // top-left corner lands at (0, 0). A clip region keeps its drawing inside our area.
        const int nSaved = ::SaveDC(hdc);
        POINT ptOld;
        ::SetViewportOrgEx(hdc, -pt.x, -pt.y, &ptOld);
        ::IntersectClipRect(hdc, pt.x, pt.y, pt.x + rc.right, pt.y + rc.bottom);
        const LRESULT lErased =
            ::SendMessageW(hwndParent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0);
        ::RestoreDC(hdc, nSaved);
        if (lErased)
            return;
    }
    FillSolid(hdc, rc, crFallback);
}

void FillSolid(HDC hdc, const RECT& rc, COLORREF cr) noexcept
{
    UniqueHBrush brush(::CreateSolidBrush(cr));
    if (brush)
        ::FillRect(hdc, &rc, brush.Get());
}

void RedrawParentUnder(HWND hwnd)
{
    HWND hwndParent = ::GetParent(hwnd);
    if (!hwndParent)
    {
        ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        return;
    }
    RECT rc;
    ::GetWindowRect(hwnd, &rc);
    ::MapWindowPoints(nullptr, hwndParent, reinterpret_cast<POINT*>(&rc), 2);
    ::RedrawWindow(hwndParent, &rc, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

SIZE BitmapSize(HBITMAP hbm) noexcept
{
    SIZE size = {0, 0};
    BITMAP bm;
    if (hbm && ::GetObjectW(hbm, sizeof(bm), &bm) == sizeof(bm))
    {
        size.cx = bm.bmWidth;
        size.cy = bm.bmHeight;
    }
    return size;
}

bool DrawTransparent(HDC hdc, HBITMAP hbm, int x, int y, COLORREF crTransparent) noexcept
{
    const SIZE size = BitmapSize(hbm);
    if (size.cx == 0)
        return false;
    COffscreenDC source(hdc, hbm, size.cx, size.cy);
    if (!source.IsValid())
        return false;
    return ::TransparentBlt(hdc, x, y, size.cx, size.cy, source.GetDC(), 0, 0, size.cx, size.cy,
                            crTransparent) != FALSE;
}

bool DrawStretched(HDC hdc, HBITMAP hbm, const RECT& rc) noexcept
{
    const SIZE size = BitmapSize(hbm);
    if (size.cx == 0)
        return false;
    COffscreenDC source(hdc, hbm, size.cx, size.cy);
    if (!source.IsValid())
        return false;
    HDC hdcMem = source.GetDC();
    BOOL bOk;
    if (size.cx == rc.right - rc.left && size.cy == rc.bottom - rc.top)
        bOk = ::BitBlt(hdc, rc.left, rc.top, size.cx, size.cy, hdcMem, 0, 0, SRCCOPY);
    else
    {
        const int nOldMode = ::SetStretchBltMode(hdc, HALFTONE);
        ::SetBrushOrgEx(hdc, 0, 0, nullptr);
        bOk = ::StretchBlt(hdc, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                           hdcMem, 0, 0, size.cx, size.cy, SRCCOPY);
        ::SetStretchBltMode(hdc, nOldMode);
    }
    return bOk != FALSE;
}

void PaintBuffered(HWND hwnd, const std::function<void(HDC)>& render)
{
    PAINTSTRUCT ps;
    HDC hdc = ::BeginPaint(hwnd, &ps);
    if (hdc)
    {
        RECT rc;
        ::GetClientRect(hwnd, &rc);
        COffscreenDC offscreen(hdc, rc.right, rc.bottom);
        if (offscreen.IsValid())
        {
            render(offscreen.GetDC());
            offscreen.Commit();
        }
        else
        {
            render(hdc);
        }
    }
    ::EndPaint(hwnd, &ps);
}
}  // namespace skin
