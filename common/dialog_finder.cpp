#include "common/dialog_finder.h"

namespace
{
struct SDialogSearch
{
    DWORD dwProcessId;
    DWORD dwThreadId;
    std::vector<HWND> dialogs;
};

BOOL CALLBACK CollectDialog(HWND hwnd, LPARAM lParam)
{
    SDialogSearch* pSearch = reinterpret_cast<SDialogSearch*>(lParam);
    DWORD dwPid = 0;
    const DWORD dwTid = ::GetWindowThreadProcessId(hwnd, &dwPid);
    if ((pSearch->dwProcessId != 0 && dwPid != pSearch->dwProcessId) ||
        (pSearch->dwThreadId != 0 && dwTid != pSearch->dwThreadId) || !::IsWindowVisible(hwnd))
        return TRUE;
    wchar_t szClass[16] = {};
    ::GetClassNameW(hwnd, szClass, _countof(szClass));
    if (lstrcmpW(szClass, L"#32770") == 0)
        pSearch->dialogs.push_back(hwnd);
    return TRUE;
}
}  // namespace

std::vector<HWND> FindVisibleDialogs(DWORD dwProcessId, DWORD dwThreadId)
{
    // The system's enumeration, front to back, copes with windows that close meanwhile.
    SDialogSearch search = {dwProcessId, dwThreadId, {}};
    ::EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&search));
    return search.dialogs;
}

HWND WaitForThreadDialog(DWORD dwThreadId, DWORD dwTimeoutMs)
{
    const ULONGLONG ullEnd = ::GetTickCount64() + dwTimeoutMs;
    for (;;)
    {
        const std::vector<HWND> dialogs = FindVisibleDialogs(0, dwThreadId);
        if (!dialogs.empty())
            return dialogs.front();
        if (::GetTickCount64() >= ullEnd)
            return nullptr;
        ::Sleep(20);
    }
}
