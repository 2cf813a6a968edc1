#pragma once
// Finding the dialogs and message boxes (window class "#32770") a program shows, as tests and
// demo drivers do to answer or photograph the windows of another thread or process.
#include <windows.h>

#include <vector>

// The visible top-level dialogs, front to back, of the process dwProcessId and of the thread
// dwThreadId; 0 leaves either open.
std::vector<HWND> FindVisibleDialogs(DWORD dwProcessId, DWORD dwThreadId);
// The front visible dialog of the thread (a message box sits above its owner) once there is one;
// nullptr when none appeared within dwTimeoutMs.
HWND WaitForThreadDialog(DWORD dwThreadId, DWORD dwTimeoutMs = 10000);
