#pragma once
#include <windows.h>
#include <gdiplus.h>

// Starts GDI+ for the scope's lifetime.
class CGdiplusSession
{
public:
    CGdiplusSession() noexcept
    {
        Gdiplus::GdiplusStartupInput input;
        m_status = Gdiplus::GdiplusStartup(&m_token, &input, nullptr);
    }
    CGdiplusSession(const CGdiplusSession&) = delete;
    CGdiplusSession& operator=(const CGdiplusSession&) = delete;
    ~CGdiplusSession()
    {
        if (m_status == Gdiplus::Ok)
            Gdiplus::GdiplusShutdown(m_token);
    }
    bool Succeeded() const noexcept { return m_status == Gdiplus::Ok; }

private:
    ULONG_PTR m_token = 0;
    Gdiplus::Status m_status;
};
