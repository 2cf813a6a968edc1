#include "installer/exec/program_close.h"

#include <algorithm>

#include "common/marked_window.h"
#include "common/unique_resource.h"
#include "common/watcher_close_message.h"

std::wstring WatcherMutexName(const std::wstring& programName)
{
    std::wstring name = programName;
    const size_t nSlash = name.find_last_of(L"\\/");
    if (nSlash != std::wstring::npos)
        name.erase(0, nSlash + 1);
    const size_t nDot = name.find_last_of(L'.');
    if (nDot != std::wstring::npos)
        name.erase(nDot);
    return L"Global\\" + name;
}

ProgramCloseResult CloseInstanceHolder(const std::wstring& mutexName, const std::function<bool()>& askToClose,
                                       DWORD dwTimeoutMs)
{
    UniqueHandle mutex(::OpenMutexW(SYNCHRONIZE, FALSE, mutexName.c_str()));
    if (!mutex)
        return ProgramCloseResult::NotRunning;
    const DWORD kAskAgainMs = 200;
    const ULONGLONG ullEnd = ::GetTickCount64() + dwTimeoutMs;
    bool bAsked = false;
    for (;;)
    {
        if (!bAsked)
            bAsked = askToClose();
        const ULONGLONG ullNow = ::GetTickCount64();
        const DWORD dwLeft = ullNow < ullEnd ? static_cast<DWORD>(ullEnd - ullNow) : 0;
        // The holder owns its mutex for its whole life and never releases it: the wait ends
        // when its process does.
        const DWORD dwWait = ::WaitForSingleObject(mutex.Get(), bAsked ? dwLeft : std::min(dwLeft, kAskAgainMs));
        if (dwWait == WAIT_OBJECT_0 || dwWait == WAIT_ABANDONED)
        {
            ::ReleaseMutex(mutex.Get());
            return ProgramCloseResult::Closed;
        }
        if (dwWait != WAIT_TIMEOUT || dwLeft == 0 || bAsked)
            return ProgramCloseResult::TimedOut;
    }
}

ProgramCloseResult CloseWatcher(const std::wstring& mutexName, DWORD dwTimeoutMs)
{
    return CloseInstanceHolder(
        mutexName,
        [] {
            const UINT uMsg = ::RegisterWindowMessageW(WATCHER_CLOSE_MESSAGE_NAME);
            return uMsg != 0 && ::PostMessageW(HWND_BROADCAST, uMsg, 0, 0);
        },
        dwTimeoutMs);
}

ProgramCloseResult CloseLauncher(const std::wstring& appName, DWORD dwTimeoutMs)
{
    return CloseInstanceHolder(
        L"Global\\" + appName,
        [&appName] {
            // Posted, not sent: a launcher busy in a modal loop must not hold the installation up
            // beyond the wait. Its main window ends its pop-ups along with itself.
            bool bPosted = false;
            for (HWND hwnd : FindMarkedTopLevelWindows(appName.c_str()))
                bPosted = ::PostMessageW(hwnd, WM_CLOSE, 0, 0) || bPosted;
            return bPosted;
        },
        dwTimeoutMs);
}
