#pragma once
// Where the update windows open: the centre point a parent rectangle gives, and the clamping
// into the desktop.
#include <windows.h>

// The width every update window is placed for.
const int kZepPlacementWidth = 530;

// "left,top,width,height" → rectangle. S_FALSE for a null string; ZEP_E_GUI_INVALIDARG for
// anything but four integers, or an empty rectangle.
HRESULT ZepParseParentRect(const wchar_t* pszRect, RECT* prcParent);

// The centre for a window beside the parent: in the free space left of it when there is room
// for a window, else right of it, else at the desktop's right edge; vertically the middle.
POINT ZepCentreBesideParent(const RECT& rcParent, const RECT& rcDesktop);

// The top-left corner that puts the window's centre on ptCentre, moved inside the desktop so
// that nMargin pixels stay free on every side.
POINT ZepClampedTopLeft(SIZE sizeWindow, POINT ptCentre, const RECT& rcDesktop, int nMargin);
