// Shows the skinned test window with its controls in their different states, for looking at
// the skin by eye:   skin_preview.exe [capture.bmp [idle]]
// With a file name it captures the window from the screen after a moment and exits; "idle"
// leaves every control in its resting state (general description greyed).
#include <windows.h>

#include <string>

#include "common/gdiplus_session.h"
#include "launcher/skin/tests/skin_test_dialog.h"
#include "launcher/skin/tests/skin_test_support.h"
#include "launcher/skin/tests/skin_test_ids.h"

namespace
{
void SendMouse(HWND hwnd, UINT uMsg, int x, int y)
{
    ::SendMessageW(hwnd, uMsg, uMsg == WM_LBUTTONDOWN ? MK_LBUTTON : 0, MAKELPARAM(x, y));
}
}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    CGdiplusSession gdiplus;
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    const std::wstring capturePath = argc > 1 ? argv[1] : L"";
    const bool bIdle = argc > 2 && std::wstring(argv[2]) == L"idle";
    ::LocalFree(argv);

    CSkinTestDialog dialog(IDD_SKIN_MAIN);
    HWND hwnd = dialog.Create(nullptr);
    if (!hwnd)
        return 1;
    ::SetWindowPos(hwnd, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE);
    ::ShowWindow(hwnd, SW_SHOW);
    ::SetForegroundWindow(hwnd);
    PumpMessages(300);

    // Photo hovered, Video held down, the description showing Photo's text, box ticked.
    if (!bIdle)
    {
    SendMouse(dialog.m_btnContent[1].GetHwnd(), WM_MOUSEMOVE, 20, 20);
    SendMouse(dialog.m_btnContent[2].GetHwnd(), WM_LBUTTONDOWN, 20, 20);
    ::EnableWindow(dialog.m_stcDescription.GetHwnd(), TRUE);
    ::SetWindowTextW(dialog.m_stcDescription.GetHwnd(),
                     L"写真を見たり整理したりするアプリケーションを起動します。\r\n"
                     L"プレーヤーの写真もそのまま開けます。");
    dialog.m_chkAuto.SetChecked(true);
    }
    PumpMessages(500);

    if (capturePath.empty())
    {
        MSG msg;
        while (::IsWindow(hwnd) && ::GetMessageW(&msg, nullptr, 0, 0) > 0)
        {
            if (!::IsDialogMessageW(hwnd, &msg))
            {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
        return 0;
    }

    RECT rc;
    ::GetWindowRect(hwnd, &rc);
    CDibCapture capture(rc.right - rc.left, rc.bottom - rc.top);
    HDC hdcScreen = ::GetDC(nullptr);
    ::BitBlt(capture.GetDC(), 0, 0, capture.Width(), capture.Height(), hdcScreen, rc.left, rc.top,
             SRCCOPY);
    ::ReleaseDC(nullptr, hdcScreen);
    ::ReleaseCapture();
    const bool bSaved = capture.Save(capturePath.c_str());
    ::DestroyWindow(hwnd);
    return bSaved ? 0 : 2;
}
