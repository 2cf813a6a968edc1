#pragma once
// Notifications the skinned controls send to their parent window.
#include <windows.h>

// wParam = control id while the pointer is over a button, 0 when it leaves; lParam = the
// button's window.
#define WM_TOLVIK_HOVER (WM_USER + 1)
// wParam = control id of the check box whose tick changed (sent after its WM_COMMAND).
#define WM_TOLVIK_CHECKCHANGED (WM_USER + 100)

// Commands of the title bar's caption buttons.
#define ID_SKIN_CAPTION_MINIMIZE 32771
#define ID_SKIN_CAPTION_CLOSE 32774
