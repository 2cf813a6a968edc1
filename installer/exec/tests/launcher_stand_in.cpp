// Stands in for the launcher as the installation sees it: holds the instance mutex
// "Global\<name>" for its whole life and shows a top-level window marked with the property
// <name>. With "stays" it ignores WM_CLOSE, as a launcher that does not let go would; a third
// argument delays the window by that many milliseconds after the mutex, as a launcher still
// starting up has none yet.
// Exit code 0 after closing, 2 on bad arguments or a mutex or window it could not make.
#include <windows.h>

#include <cwchar>
#include <string>

namespace
{
bool g_bStays = false;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg)
    {
    case WM_CLOSE:
        if (!g_bStays)
            ::DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(hwnd, uMsg, wParam, lParam);
    }
}
}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if ((argc != 3 && argc != 4) || (wcscmp(argv[2], L"closes") != 0 && wcscmp(argv[2], L"stays") != 0))
        return 2;
    const std::wstring name = argv[1];
    g_bStays = wcscmp(argv[2], L"stays") == 0;
    // Owned and never released, as the launcher does: its end abandons the mutex.
    const HANDLE hMutex = ::CreateMutexW(nullptr, TRUE, (L"Global\\" + name).c_str());
    if (hMutex == nullptr || ::GetLastError() == ERROR_ALREADY_EXISTS)
        return 2;
    if (argc == 4)
        ::Sleep(static_cast<DWORD>(wcstoul(argv[3], nullptr, 10)));

    WNDCLASSW wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"OndrixLauncherStandIn";
    if (!::RegisterClassW(&wc))
        return 2;
    HWND hwnd = ::CreateWindowExW(0, wc.lpszClassName, name.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 200, 100, nullptr, nullptr, wc.hInstance, nullptr);
    if (hwnd == nullptr)
        return 2;
    ::SetPropW(hwnd, name.c_str(), reinterpret_cast<HANDLE>(1));
    ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
    {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    ::RemovePropW(hwnd, name.c_str());
    return 0;
}
