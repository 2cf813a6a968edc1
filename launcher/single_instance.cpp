#include "launcher/single_instance.h"

#include "common/marked_window.h"

bool CSingleInstance::Acquire(const wchar_t* pszMutexName)
{
    const HANDLE hMutex = ::CreateMutexW(nullptr, TRUE, pszMutexName);
    const DWORD dwError = ::GetLastError();
    m_mutex.Reset(hMutex);
    return !(hMutex != nullptr && dwError == ERROR_ALREADY_EXISTS);
}

HWND CSingleInstance::FindMarkedWindow(const wchar_t* pszMarker)
{
    const std::vector<HWND> windows = FindMarkedTopLevelWindows(pszMarker);
    return windows.empty() ? nullptr : windows.front();
}

void CSingleInstance::Activate(HWND hwnd)
{
    if (::IsIconic(hwnd))
        ::ShowWindow(hwnd, SW_RESTORE);
    HWND hwndPopup = ::GetLastActivePopup(hwnd);
    ::SetForegroundWindow(hwndPopup != nullptr ? hwndPopup : hwnd);
}
