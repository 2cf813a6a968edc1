#pragma once
// Closing the running device watcher before the installation removes or replaces its program.
#include <windows.h>

#include <string>

enum class WatcherCloseResult
{
    NotRunning,  // no process holds the instance mutex
    Closed,      // the watcher ended after the close message
    TimedOut     // it still runs after the wait
};

// The watcher's instance mutex for its program file name: "Global\" and the name without its
// extension ("Pirro.exe" -> "Global\Pirro"), as the watcher names it itself.
std::wstring WatcherMutexName(const std::wstring& programName);

// Broadcasts the launcher's close message when a process holds mutexName and waits up to
// dwTimeoutMs for that holder to end (the mutex is abandoned or closed).
WatcherCloseResult CloseWatcher(const std::wstring& mutexName, DWORD dwTimeoutMs);
