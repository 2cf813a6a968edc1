#include "launcher/single_instance.h"

bool CSingleInstance::Acquire(const wchar_t* pszMutexName)
{
    const HANDLE hMutex = ::CreateMutexW(nullptr, TRUE, pszMutexName);
    const DWORD dwError = ::GetLastError();
    m_mutex.Reset(hMutex);
    return !(hMutex != nullptr && dwError == ERROR_ALREADY_EXISTS);
}

HWND CSingleInstance::FindMarkedWindow(const wchar_t* pszMarker)
{
    for (HWND hwnd = ::GetWindow(::GetDesktopWindow(), GW_CHILD); hwnd != nullptr;
         hwnd = ::GetWindow(hwnd, GW_HWNDNEXT))
    {
        if (::GetPropW(hwnd, pszMarker) != nullptr)
            return hwnd;
    }
    return nullptr;
}

void CSingleInstance::Activate(HWND hwnd)
{
    if (::IsIconic(hwnd))
        ::ShowWindow(hwnd, SW_RESTORE);
    HWND hwndPopup = ::GetLastActivePopup(hwnd);
    ::SetForegroundWindow(hwndPopup != nullptr ? hwndPopup : hwnd);
}
