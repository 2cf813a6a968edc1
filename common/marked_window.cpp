#include "common/marked_window.h"

std::vector<HWND> FindMarkedTopLevelWindows(const wchar_t* pszMarker)
{
    std::vector<HWND> windows;
    for (HWND hwnd = ::GetWindow(::GetDesktopWindow(), GW_CHILD); hwnd != nullptr;
         hwnd = ::GetWindow(hwnd, GW_HWNDNEXT))
    {
        if (::GetPropW(hwnd, pszMarker) != nullptr)
            windows.push_back(hwnd);
    }
    return windows;
}
