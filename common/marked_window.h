#pragma once
// The companion marks a program's main window with a window property named after the program
// (the launcher's "Velomar Launcher"): how a second copy, the installer and tests find it.
#include <windows.h>

#include <vector>

// The top-level windows of the desktop carrying a property named pszMarker, front to back.
std::vector<HWND> FindMarkedTopLevelWindows(const wchar_t* pszMarker);
