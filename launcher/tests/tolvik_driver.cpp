// Drives a running launcher from scripts:
//   tolvik_driver wait <seconds> | command <id> | syscommand <id> | close <seconds>
//   tolvik_driver settings-wait <seconds>      the settings dialog is shown
//   tolvik_driver settings-tab <n>             select page n as a click on its tab would
//   tolvik_driver settings-pick <combo> <item> choose an item of a combo on the first page
//   tolvik_driver settings-dropdown <combo> <0|1>  open or close a combo's list
//   tolvik_driver settings-command <id>        press a button of the dialog (1 OK, 2 Cancel)
//   tolvik_driver file-dialog <seconds> <path> answer the program file dialog with path
// Exit code 0 on success, 1 when the window was not found or did not go.
#include <windows.h>

#include <cwchar>
#include <cstdlib>
#include <string>

#include <commctrl.h>

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
struct FindDialog
{
    const wchar_t* pszTitle;
    HWND hwnd;
};

BOOL CALLBACK FindDialogProc(HWND hwnd, LPARAM lParam)
{
    FindDialog* pFind = reinterpret_cast<FindDialog*>(lParam);
    wchar_t szClass[16] = {};
    wchar_t szTitle[128] = {};
    ::GetClassNameW(hwnd, szClass, 16);
    ::GetWindowTextW(hwnd, szTitle, 128);
    if (::IsWindowVisible(hwnd) && wcscmp(szClass, L"#32770") == 0 && wcscmp(szTitle, pFind->pszTitle) == 0)
    {
        pFind->hwnd = hwnd;
        return FALSE;
    }
    return TRUE;
}

// A visible dialog of the launcher's thread with this caption.
HWND WaitForDialog(const wchar_t* pszTitle, DWORD dwSeconds)
{
    const ULONGLONG ullEnd = ::GetTickCount64() + dwSeconds * 1000ull;
    for (;;)
    {
        HWND hwndMain = CSingleInstance::FindMarkedWindow(TOLVIK_APP_NAME);
        if (hwndMain != nullptr)
        {
            FindDialog find = {pszTitle, nullptr};
            ::EnumThreadWindows(::GetWindowThreadProcessId(hwndMain, nullptr), FindDialogProc,
                                reinterpret_cast<LPARAM>(&find));
            if (find.hwnd != nullptr)
                return find.hwnd;
        }
        if (::GetTickCount64() >= ullEnd)
            return nullptr;
        ::Sleep(100);
    }
}

const wchar_t kSettingsTitle[] = L"設定";
const wchar_t kFileDialogTitle[] = L"実行するプログラムの指定";
const UINT kTabId = 1016;

// A control of one of the pages, which are dialogs inside the tab control.
HWND PageItem(HWND hwndSettings, UINT nId)
{
    HWND hwndTab = ::GetDlgItem(hwndSettings, kTabId);
    for (HWND hwndPage = ::FindWindowExW(hwndTab, nullptr, L"#32770", nullptr); hwndPage != nullptr;
         hwndPage = ::FindWindowExW(hwndTab, hwndPage, L"#32770", nullptr))
    {
        if (HWND hwndItem = ::GetDlgItem(hwndPage, nId))
            return hwndItem;
    }
    return nullptr;
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
    if (verb == L"settings-wait")
        return WaitForDialog(kSettingsTitle, dwArg) != nullptr ? 0 : 1;
    if (verb == L"file-dialog" && argc >= 4)
    {
        HWND hwndFile = WaitForDialog(kFileDialogTitle, dwArg);
        if (hwndFile == nullptr)
            return 1;
        // The file name box: an edit in the older template, a combo's edit in the newer one.
        for (UINT nId : {0x480u, 0x47cu})
            ::SetDlgItemTextW(hwndFile, nId, argv[3]);
        ::PostMessageW(hwndFile, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return 0;
    }
    if (verb.compare(0, 9, L"settings-") == 0)
    {
        HWND hwndSettings = WaitForDialog(kSettingsTitle, 5);
        if (hwndSettings == nullptr)
            return 1;
        if (verb == L"settings-tab")
        {
            // Moving the focus of a tab control without buttons selects the tab and notifies
            // the dialog, as a click does.
            ::SendMessageW(::GetDlgItem(hwndSettings, kTabId), TCM_SETCURFOCUS, dwArg, 0);
            return 0;
        }
        if (verb == L"settings-command")
        {
            ::PostMessageW(hwndSettings, WM_COMMAND, MAKEWPARAM(dwArg, BN_CLICKED), 0);
            return 0;
        }
        if ((verb == L"settings-pick" || verb == L"settings-dropdown") && argc >= 4)
        {
            HWND hwndCombo = PageItem(hwndSettings, dwArg);
            if (hwndCombo == nullptr)
                return 1;
            HWND hwndPage = ::GetParent(hwndCombo);
            const WPARAM nItem = wcstoul(argv[3], nullptr, 10);
            if (verb == L"settings-dropdown")
            {
                ::SendMessageW(hwndCombo, CB_SHOWDROPDOWN, nItem != 0, 0);
                return 0;
            }
            ::SendMessageW(hwndCombo, CB_SETCURSEL, nItem, 0);
            // Posted: the page may now open the file dialog and stay in it.
            ::PostMessageW(hwndPage, WM_COMMAND, MAKEWPARAM(dwArg, CBN_SELCHANGE), reinterpret_cast<LPARAM>(hwndCombo));
            return 0;
        }
        return 2;
    }

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
