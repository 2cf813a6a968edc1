#include "launcher/skin/skin_bitmap.h"

bool CSkinBitmap::CreateCompatible(HDC hdc, int cx, int cy) noexcept
{
    Release();
    if (cx <= 0 || cy <= 0)
        return false;
    m_hbm.Reset(::CreateCompatibleBitmap(hdc, cx, cy));
    return m_hbm.IsValid();
}

void CSkinBitmap::Attach(HBITMAP hbm) noexcept
{
    m_hbm.Reset(hbm);
}

void CSkinBitmap::Release() noexcept
{
    m_hbm.Reset();
}
