// The baseline of the start-up benchmark: a program that does nothing but show one dialog from
// its template, in the launcher's font, until it is closed.
#include <windows.h>

#include "launcher/bench/bench_dialog_resource.h"

namespace
{
INT_PTR CALLBACK DialogProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM)
{
    switch (uMsg)
    {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            ::EndDialog(hwnd, LOWORD(wParam));
        return TRUE;
    case WM_CLOSE:
        ::EndDialog(hwnd, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}
}  // namespace

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, PWSTR, int)
{
    ::DialogBoxParamW(hInstance, MAKEINTRESOURCEW(IDD_BENCH_DIALOG), nullptr, DialogProc, 0);
    return 0;
}
