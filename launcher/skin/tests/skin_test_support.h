#pragma once
// Helpers of the skin tests: a 32-bit DIB that windows print into, pixel queries, and the
// message pump.
#include <windows.h>

#include <cstdint>
#include <functional>

#include "common/unique_resource.h"

// Runs queued messages of this thread for up to dwMs milliseconds.
void PumpMessages(DWORD dwMs = 50);

class CDibCapture
{
public:
    CDibCapture(int cx, int cy);
    ~CDibCapture();
    CDibCapture(const CDibCapture&) = delete;
    CDibCapture& operator=(const CDibCapture&) = delete;

    HDC GetDC() const { return m_hdc.Get(); }
    int Width() const { return m_cx; }
    int Height() const { return m_cy; }
    // Asks hwnd to print its client area into the DIB (WM_PRINTCLIENT).
    void PrintClient(HWND hwnd);
    void Fill(COLORREF cr);
    COLORREF Pixel(int x, int y) const;
    // Number of pixels in [x0, x1) x [y0, y1) for which pred holds.
    int Count(int x0, int y0, int x1, int y1, const std::function<bool(COLORREF)>& pred) const;
    // Bounding box of those pixels; empty rectangle when none.
    RECT Bounds(int x0, int y0, int x1, int y1, const std::function<bool(COLORREF)>& pred) const;
    bool SameAs(const CDibCapture& other) const;
    // Writes the image as a 24-bit .bmp file.
    bool Save(const wchar_t* pszPath) const;

private:
    int m_cx;
    int m_cy;
    UniqueHBitmap m_hbm;
    UniqueCreatedDC m_hdc;
    HGDIOBJ m_hbmOld = nullptr;
    uint32_t* m_pBits = nullptr;
};

// Colour predicates.
bool IsNear(COLORREF a, COLORREF b, int nTolerance);
// Bright, nearly neutral: white text (anti-aliasing excluded).
bool IsWhiteInk(COLORREF cr);
