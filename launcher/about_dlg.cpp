#include "launcher/about_dlg.h"

#include <vector>

#include "common/string_util.h"
#include "launcher/resource.h"

INT_PTR CAboutDlg::DoModal(HWND hwndParent)
{
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUTBOX), hwndParent, DialogProc,
                             reinterpret_cast<LPARAM>(this));
}

std::wstring CAboutDlg::FileVersionText(HMODULE hModule)
{
    wchar_t szPath[MAX_PATH] = {};
    const DWORD cch = ::GetModuleFileNameW(hModule, szPath, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH)
        return std::wstring();
    DWORD dwHandle = 0;
    const DWORD cb = ::GetFileVersionInfoSizeW(szPath, &dwHandle);
    if (cb == 0)
        return std::wstring();
    std::vector<BYTE> data(cb);
    if (!::GetFileVersionInfoW(szPath, 0, cb, data.data()))
        return std::wstring();
    VS_FIXEDFILEINFO* pInfo = nullptr;
    UINT cbInfo = 0;
    if (!::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&pInfo), &cbInfo) || pInfo == nullptr ||
        cbInfo < sizeof(VS_FIXEDFILEINFO))
        return std::wstring();
    return FormatString(L"%d.%d.%d.%05d", HIWORD(pInfo->dwFileVersionMS), LOWORD(pInfo->dwFileVersionMS),
                        HIWORD(pInfo->dwFileVersionLS), LOWORD(pInfo->dwFileVersionLS));
}

INT_PTR CALLBACK CAboutDlg::DialogProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM /*lParam*/)
{
    switch (uMsg)
    {
    case WM_INITDIALOG:
        ::SetDlgItemTextW(hwnd, IDC_VERSION_TEXT, FileVersionText(::GetModuleHandleW(nullptr)).c_str());
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
        {
            ::EndDialog(hwnd, LOWORD(wParam));
            return TRUE;
        }
        break;
    }
    return FALSE;
}
