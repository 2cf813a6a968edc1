// Drives a running launcher from scripts:
//   tolvik_driver wait <seconds> | command <id> | syscommand <id> | close <seconds>
// Exit code 0 on success, 1 when the window was not found or did not go.
#include <windows.h>

#include <cwchar>
#include <cstdlib>
#include <string>

#include "launcher/single_instance.h"
#include "launcher/tolvik_constants.h"

namespace
{
HWND WaitForWindow(DWORD dwSeconds)
{
    const ULONGLONG ullEnd = ::GetTickCount64() + dwSeconds * 1000ull;
    for (;;)
    {
        HWND hwnd = CSingleInstance::FindMarkedWindow(TOLVIK_APP_NAME);
        if (hwnd != nullptr && ::IsWindowVisible(hwnd))
            return hwnd;
        if (::GetTickCount64() >= ullEnd)
            return nullptr;
        ::Sleep(100);
    }
}
}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
    {
        fwprintf(stderr, L"usage: tolvik_driver wait <s> | command <id> | syscommand <id> | close <s>\n");
        return 2;
    }
    const std::wstring verb = argv[1];
    const DWORD dwArg = static_cast<DWORD>(wcstoul(argv[2], nullptr, 10));
    if (verb == L"wait")
        return WaitForWindow(dwArg) != nullptr ? 0 : 1;

    HWND hwnd = WaitForWindow(5);
    if (hwnd == nullptr)
        return 1;
    if (verb == L"command")
    {
        ::PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(dwArg, BN_CLICKED), 0);
        return 0;
    }
    if (verb == L"syscommand")
    {
        ::PostMessageW(hwnd, WM_SYSCOMMAND, dwArg, 0);
        return 0;
    }
    if (verb == L"close")
    {
        DWORD dwPid = 0;
        ::GetWindowThreadProcessId(hwnd, &dwPid);
        HANDLE hProcess = ::OpenProcess(SYNCHRONIZE, FALSE, dwPid);
        ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
        const DWORD dwWait = hProcess != nullptr ? ::WaitForSingleObject(hProcess, dwArg * 1000) : WAIT_FAILED;
        if (hProcess != nullptr)
            ::CloseHandle(hProcess);
        return dwWait == WAIT_OBJECT_0 ? 0 : 1;
    }
    return 2;
}
