#pragma once
// The version dialog opened from the main window's system menu.
#include <windows.h>
#include <string>

class CAboutDlg
{
public:
    INT_PTR DoModal(HWND hwndParent);

    // The file version of a module's version resource as "%d.%d.%d.%05d"; empty when the
    // module has none.
    static std::wstring FileVersionText(HMODULE hModule);

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
};
