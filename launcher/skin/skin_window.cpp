#include "launcher/skin/skin_window.h"

#include <commctrl.h>

namespace
{
// Identifies our subclass among others a window may carry.
const UINT_PTR kSubclassId = 0x5A4B494E;  // "ZKIN"
// Finds the object from its window (the comctl32 query for subclass data is not exported by
// name).
const wchar_t kObjectProperty[] = L"TolvikSkinWindow";
}  // namespace

CSkinWindow::~CSkinWindow()
{
    UnsubclassWindow();
}

bool CSkinWindow::SubclassWindow(HWND hwnd)
{
    if (m_hwnd || !hwnd || !::IsWindow(hwnd))
        return false;
    if (!::SetWindowSubclass(hwnd, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this)))
        return false;
    m_hwnd = hwnd;
    ::SetPropW(hwnd, kObjectProperty, this);
    OnSubclassed();
    return true;
}

bool CSkinWindow::SubclassDlgItem(UINT nId, HWND hwndParent)
{
    return SubclassWindow(::GetDlgItem(hwndParent, static_cast<int>(nId)));
}

void CSkinWindow::UnsubclassWindow()
{
    if (!m_hwnd)
        return;
    ::RemoveWindowSubclass(m_hwnd, SubclassProc, kSubclassId);
    ::RemovePropW(m_hwnd, kObjectProperty);
    m_hwnd = nullptr;
}

CSkinWindow* CSkinWindow::FromHandle(HWND hwnd) noexcept
{
    return hwnd ? static_cast<CSkinWindow*>(::GetPropW(hwnd, kObjectProperty)) : nullptr;
}

LRESULT CSkinWindow::WindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return DefProc(uMsg, wParam, lParam);
}

LRESULT CSkinWindow::DefProc(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return ::DefSubclassProc(m_hwnd, uMsg, wParam, lParam);
}

LRESULT CSkinWindow::DefProcHidden(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    const LONG_PTR lStyle = ::GetWindowLongPtrW(m_hwnd, GWL_STYLE);
    if (!(lStyle & WS_VISIBLE))
        return DefProc(uMsg, wParam, lParam);
    ::SetWindowLongPtrW(m_hwnd, GWL_STYLE, lStyle & ~static_cast<LONG_PTR>(WS_VISIBLE));
    const LRESULT lResult = DefProc(uMsg, wParam, lParam);
    // The class procedure may have changed other style bits meanwhile; only restore ours.
    if (::IsWindow(m_hwnd))
        ::SetWindowLongPtrW(m_hwnd, GWL_STYLE, ::GetWindowLongPtrW(m_hwnd, GWL_STYLE) | WS_VISIBLE);
    return lResult;
}

LRESULT CALLBACK CSkinWindow::SubclassProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR, DWORD_PTR dwRefData)
{
    CSkinWindow* pThis = reinterpret_cast<CSkinWindow*>(dwRefData);
    if (uMsg == WM_NCDESTROY)
    {
        ::RemoveWindowSubclass(hwnd, SubclassProc, kSubclassId);
        ::RemovePropW(hwnd, kObjectProperty);
        if (pThis)
            pThis->m_hwnd = nullptr;
        return ::DefSubclassProc(hwnd, uMsg, wParam, lParam);
    }
    if (!pThis || pThis->m_hwnd != hwnd)
        return ::DefSubclassProc(hwnd, uMsg, wParam, lParam);
    try
    {
        return pThis->WindowProc(uMsg, wParam, lParam);
    }
    catch (...)
    {
        return 0;
    }
}
