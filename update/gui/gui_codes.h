#pragma once
// Result codes the update windows raise.
#include <windows.h>

// An argument outside its range (a percentage above 100, a display location, a rectangle).
const HRESULT ZEP_E_GUI_INVALIDARG = static_cast<HRESULT>(0x8004120A);
// The user canceled the download window.
const HRESULT ZEP_E_DOWNLOAD_CANCELED = static_cast<HRESULT>(0x80042202);
// The user canceled the marquee window.
const HRESULT ZEP_E_MARQUEE_CANCELED = static_cast<HRESULT>(0x80042203);
// A window of that kind is already open.
const HRESULT ZEP_E_WINDOW_ALREADY_OPEN = static_cast<HRESULT>(0x80042204);
