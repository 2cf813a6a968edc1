#include "update/gui/window_slot.h"

bool CWindowSlot::TryOpen()
{
    CXLock lock(m_cs);
    if (m_bOpen)
        return false;
    m_bOpen = true;
    m_bClosePending = false;
    m_hwnd = nullptr;
    return true;
}

void CWindowSlot::Release()
{
    CXLock lock(m_cs);
    m_bOpen = false;
    m_bClosePending = false;
    m_hwnd = nullptr;
}

bool CWindowSlot::IsOpen()
{
    CXLock lock(m_cs);
    return m_bOpen;
}

void CWindowSlot::Attach(HWND hwnd)
{
    CXLock lock(m_cs);
    m_hwnd = hwnd;
    if (m_bClosePending)
    {
        m_bClosePending = false;
        ::PostMessageW(hwnd, WM_ZEP_CLOSE, 0, 0);
    }
}

void CWindowSlot::Detach()
{
    CXLock lock(m_cs);
    m_hwnd = nullptr;
}

bool CWindowSlot::PostProgress(UINT nPercent)
{
    CXLock lock(m_cs);
    if (!m_bOpen)
        return false;
    if (m_hwnd)
        ::PostMessageW(m_hwnd, WM_ZEP_PROGRESS, nPercent, 0);
    return true;
}

bool CWindowSlot::RequestClose()
{
    CXLock lock(m_cs);
    if (!m_bOpen)
        return false;
    if (m_hwnd)
        ::PostMessageW(m_hwnd, WM_ZEP_CLOSE, 0, 0);
    else
        m_bClosePending = true;
    return true;
}
