#include "launcher/skin/tests/skin_test_support.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "common/unique_resource.h"
#include "launcher/skin/skin_draw.h"

void PumpMessages(DWORD dwMs)
{
    const DWORD dwStart = ::GetTickCount();
    do
    {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(5);
    } while (::GetTickCount() - dwStart < dwMs);
}

CDibCapture::CDibCapture(int cx, int cy) : m_cx(cx), m_cy(cy)
{
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = cx;
    bmi.bmiHeader.biHeight = -cy;  // top-down
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* pBits = nullptr;
    HDC hdcScreen = ::GetDC(nullptr);
    m_hbm.Reset(::CreateDIBSection(hdcScreen, &bmi, DIB_RGB_COLORS, &pBits, nullptr, 0));
    m_hdc.Reset(::CreateCompatibleDC(hdcScreen));
    ::ReleaseDC(nullptr, hdcScreen);
    m_pBits = static_cast<uint32_t*>(pBits);
    m_hbmOld = ::SelectObject(m_hdc.Get(), m_hbm.Get());
    Fill(RGB(0, 0, 0));
}

CDibCapture::~CDibCapture()
{
    ::SelectObject(m_hdc.Get(), m_hbmOld);
}

void CDibCapture::PrintClient(HWND hwnd)
{
    ::SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(m_hdc.Get()), PRF_CLIENT);
    ::GdiFlush();
}

void CDibCapture::Fill(COLORREF cr)
{
    const RECT rc = {0, 0, m_cx, m_cy};
    skin::FillSolid(m_hdc.Get(), rc, cr);
    ::GdiFlush();
}

COLORREF CDibCapture::Pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_cx || y >= m_cy)
        return CLR_INVALID;
    const uint32_t v = m_pBits[static_cast<size_t>(y) * m_cx + x];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

int CDibCapture::Count(int x0, int y0, int x1, int y1,
                       const std::function<bool(COLORREF)>& pred) const
{
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (pred(Pixel(x, y)))
                ++n;
    return n;
}

RECT CDibCapture::Bounds(int x0, int y0, int x1, int y1,
                         const std::function<bool(COLORREF)>& pred) const
{
    RECT rc = {x1, y1, x0, y0};
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (pred(Pixel(x, y)))
            {
                rc.left = std::min<LONG>(rc.left, x);
                rc.top = std::min<LONG>(rc.top, y);
                rc.right = std::max<LONG>(rc.right, x + 1);
                rc.bottom = std::max<LONG>(rc.bottom, y + 1);
            }
    if (rc.right <= rc.left)
        return RECT{0, 0, 0, 0};
    return rc;
}

bool CDibCapture::SameAs(const CDibCapture& other) const
{
    if (other.m_cx != m_cx || other.m_cy != m_cy)
        return false;
    for (int y = 0; y < m_cy; ++y)
        for (int x = 0; x < m_cx; ++x)
            if (Pixel(x, y) != other.Pixel(x, y))
                return false;
    return true;
}

bool CDibCapture::Save(const wchar_t* pszPath) const
{
    const int nStride = (m_cx * 3 + 3) & ~3;
    std::vector<BYTE> data(static_cast<size_t>(nStride) * m_cy);
    for (int y = 0; y < m_cy; ++y)
        for (int x = 0; x < m_cx; ++x)
        {
            const COLORREF cr = Pixel(x, y);
            BYTE* p = &data[static_cast<size_t>(m_cy - 1 - y) * nStride + x * 3];
            p[0] = GetBValue(cr);
            p[1] = GetGValue(cr);
            p[2] = GetRValue(cr);
        }
    BITMAPFILEHEADER bfh = {};
    BITMAPINFOHEADER bih = {};
    bfh.bfType = 0x4D42;
    bfh.bfOffBits = sizeof(bfh) + sizeof(bih);
    bfh.bfSize = bfh.bfOffBits + static_cast<DWORD>(data.size());
    bih.biSize = sizeof(bih);
    bih.biWidth = m_cx;
    bih.biHeight = m_cy;
    bih.biPlanes = 1;
    bih.biBitCount = 24;
    UniqueHandle file(::CreateFileW(pszPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file)
        return false;
    DWORD cb = 0;
    return ::WriteFile(file.Get(), &bfh, sizeof(bfh), &cb, nullptr) &&
           ::WriteFile(file.Get(), &bih, sizeof(bih), &cb, nullptr) &&
           ::WriteFile(file.Get(), data.data(), static_cast<DWORD>(data.size()), &cb, nullptr);
}

bool IsNear(COLORREF a, COLORREF b, int nTolerance)
{
    return std::abs(GetRValue(a) - GetRValue(b)) <= nTolerance &&
           std::abs(GetGValue(a) - GetGValue(b)) <= nTolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= nTolerance;
}

bool IsWhiteInk(COLORREF cr)
{
    return GetRValue(cr) >= 225 && GetGValue(cr) >= 225 && GetBValue(cr) >= 225;
}
