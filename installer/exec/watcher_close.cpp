#include "installer/exec/watcher_close.h"

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

WatcherCloseResult CloseWatcher(const std::wstring& mutexName, DWORD dwTimeoutMs)
{
    UniqueHandle mutex(::OpenMutexW(SYNCHRONIZE, FALSE, mutexName.c_str()));
    if (!mutex)
        return WatcherCloseResult::NotRunning;
    const UINT uMsg = ::RegisterWindowMessageW(WATCHER_CLOSE_MESSAGE_NAME);
    if (uMsg != 0)
        ::PostMessageW(HWND_BROADCAST, uMsg, 0, 0);
    // The watcher owns its mutex for its whole life and never releases it: the wait ends when
    // its process does.
    const DWORD dwWait = ::WaitForSingleObject(mutex.Get(), dwTimeoutMs);
    if (dwWait == WAIT_OBJECT_0 || dwWait == WAIT_ABANDONED)
    {
        ::ReleaseMutex(mutex.Get());
        return WatcherCloseResult::Closed;
    }
    return WatcherCloseResult::TimedOut;
}
