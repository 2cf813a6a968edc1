#include "launcher/skin/SkinBitmap.h"

bool CSkinBitmap::CreateCompatible(HDC hdc, int cx, int cy) noexcept
{
    Release();
    if (cx <= 0 || cy <= 0)
        return false;
    m_hbm = ::CreateCompatibleBitmap(hdc, cx, cy);
    return m_hbm != nullptr;
}

void CSkinBitmap::Attach(HBITMAP hbm) noexcept
{
    if (hbm == m_hbm)
        return;
    Release();
    m_hbm = hbm;
}

void CSkinBitmap::Release() noexcept
{
    if (m_hbm)
    {
        ::DeleteObject(m_hbm);
        m_hbm = nullptr;
    }
}
