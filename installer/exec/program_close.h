#pragma once
// Closing the companion's running programs (the device watcher, the launcher) before the
// installation removes or replaces their files. Both hold a named instance mutex for their whole
// life, so the end of the holder is what the wait watches for.
#include <windows.h>

#include <functional>
#include <string>

enum class ProgramCloseResult
{
    NotRunning,  // no process holds the instance mutex
    Closed,      // the holder ended after it was asked to close
    TimedOut     // it still runs after the wait
};

// The watcher's instance mutex for its program name: "Global\" and the name without folder and
// extension ("C:\...\Pirro.exe" -> "Global\Pirro").
std::wstring WatcherMutexName(const std::wstring& programName);

// When a process holds mutexName: asks it to close and waits up to dwTimeoutMs for that holder
// to end (the mutex is abandoned or closed). askToClose returns whether it found something to
// ask; until it does (a program still starting has no window yet) it is called again now and
// then within the wait.
ProgramCloseResult CloseInstanceHolder(const std::wstring& mutexName, const std::function<bool()>& askToClose,
                                       DWORD dwTimeoutMs);

// The device watcher closes on the launcher's registered close message, broadcast to the desktop.
ProgramCloseResult CloseWatcher(const std::wstring& mutexName, DWORD dwTimeoutMs);

// The launcher closes like any window would: WM_CLOSE to each top-level window carrying the
// property appName (its main window's marker). Its mutex is "Global\" and appName as it stands.
ProgramCloseResult CloseLauncher(const std::wstring& appName, DWORD dwTimeoutMs);
