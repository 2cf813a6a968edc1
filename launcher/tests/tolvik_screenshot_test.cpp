// The main window as the screen shows it: captured from the display and checked for the
// things a person would miss first (a blank or grey window, no text in the description area).
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "common/testing/zeptest.h"
#include "launcher/resource.h"
#include "launcher/skin/ex_static.h"
#include "launcher/tests/tolvik_dlg_fixture.h"

namespace
{
struct CCapture
{
    int cx = 0;
    int cy = 0;
    std::vector<DWORD> pixels;  // top-down 0x00RRGGBB

    COLORREF At(int x, int y) const
    {
        const DWORD p = pixels[static_cast<size_t>(y) * cx + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
};

// Copies a screen rectangle (the window's client area) into a 32-bit top-down DIB.
bool CaptureScreen(HWND hwnd, CCapture& capture)
{
    RECT rc = {};
    ::GetClientRect(hwnd, &rc);
    POINT origin = {0, 0};
    ::ClientToScreen(hwnd, &origin);
    capture.cx = rc.right;
    capture.cy = rc.bottom;
    capture.pixels.assign(static_cast<size_t>(capture.cx) * capture.cy, 0);

    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = capture.cx;
    bmi.bmiHeader.biHeight = -capture.cy;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* pBits = nullptr;
    HDC hdcScreen = ::GetDC(nullptr);
    HBITMAP hbm = ::CreateDIBSection(hdcScreen, &bmi, DIB_RGB_COLORS, &pBits, nullptr, 0);
    HDC hdcMem = ::CreateCompatibleDC(hdcScreen);
    HGDIOBJ hOld = ::SelectObject(hdcMem, hbm);
    const BOOL bOk = ::BitBlt(hdcMem, 0, 0, capture.cx, capture.cy, hdcScreen, origin.x, origin.y, SRCCOPY);
    ::GdiFlush();
    if (bOk)
        memcpy(capture.pixels.data(), pBits, capture.pixels.size() * sizeof(DWORD));
    ::SelectObject(hdcMem, hOld);
    ::DeleteDC(hdcMem);
    ::DeleteObject(hbm);
    ::ReleaseDC(nullptr, hdcScreen);
    return bOk != FALSE;
}

// Keeps the capture beside the test program for a person to look at.
void SaveBmp(const CCapture& capture, const std::wstring& path)
{
    BITMAPFILEHEADER bfh = {};
    BITMAPINFOHEADER bih = {};
    bih.biSize = sizeof(bih);
    bih.biWidth = capture.cx;
    bih.biHeight = -capture.cy;
    bih.biPlanes = 1;
    bih.biBitCount = 32;
    const DWORD cbPixels = static_cast<DWORD>(capture.pixels.size() * sizeof(DWORD));
    bfh.bfType = 0x4D42;
    bfh.bfOffBits = sizeof(bfh) + sizeof(bih);
    bfh.bfSize = bfh.bfOffBits + cbPixels;
    std::string data(reinterpret_cast<const char*>(&bfh), sizeof(bfh));
    data.append(reinterpret_cast<const char*>(&bih), sizeof(bih));
    data.append(reinterpret_cast<const char*>(capture.pixels.data()), cbPixels);
    zeptest::WriteFileBytes(path, data.data(), data.size());
}

bool Near(COLORREF a, COLORREF b, int nTolerance)
{
    return abs(GetRValue(a) - GetRValue(b)) <= nTolerance && abs(GetGValue(a) - GetGValue(b)) <= nTolerance &&
           abs(GetBValue(a) - GetBValue(b)) <= nTolerance;
}
}  // namespace

TEST_F(CTolvikDlgTest, ScreenShowsTheSkinnedWindowWithItsTexts)
{
    WriteInstallation();
    OpenWindow();
    HWND hwnd = Hwnd();
    ::SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    ::UpdateWindow(hwnd);
    // Let the window manager map the window and every control paint.
    for (int i = 0; i < 20; ++i)
    {
        Pump();
        ::Sleep(50);
    }
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump();

    CCapture capture;
    ASSERT_TRUE(CaptureScreen(hwnd, capture));
    SaveBmp(capture, zeptest::ExeDir() + L"tolvik_window_capture.bmp");
    ASSERT_EQ(600, capture.cx);
    ASSERT_EQ(290, capture.cy);

    // A painted skin, not an empty or system-grey window.
    std::set<COLORREF> colours;
    size_t cGrey = 0;
    for (int y = 0; y < capture.cy; ++y)
    {
        for (int x = 0; x < capture.cx; ++x)
        {
            const COLORREF c = capture.At(x, y);
            colours.insert(c);
            if (c == ::GetSysColor(COLOR_BTNFACE))
                ++cGrey;
        }
    }
    EXPECT_GT(colours.size(), 50u);
    EXPECT_LT(cGrey, capture.pixels.size() / 20) << "system-grey pixels";

    // The title strip: its fill colour near the top left, past the icon.
    EXPECT_TRUE(Near(capture.At(300, 3), RGB(15, 15, 133), 8));

    // The general description is drawn greyed (lavender) in the description area.
    const RECT rcText = ItemRect(IDC_DESCRIPTION);
    size_t cTextPixels = 0;
    for (int y = rcText.top; y < rcText.bottom; ++y)
        for (int x = rcText.left; x < rcText.right; ++x)
            if (Near(capture.At(x, y), CExStatic::kDisabledColor, 24))
                ++cTextPixels;
    EXPECT_GT(cTextPixels, 200u) << "no text in the description area";

    // White caption pixels over the Music button.
    const RECT rcMusic = ItemRect(IDC_MUSIC);
    size_t cWhite = 0;
    for (int y = rcMusic.top; y < rcMusic.bottom; ++y)
        for (int x = rcMusic.left; x < rcMusic.right; ++x)
            if (Near(capture.At(x, y), RGB(255, 255, 255), 16))
                ++cWhite;
    EXPECT_GT(cWhite, 30u) << "no caption on the Music button";
}
