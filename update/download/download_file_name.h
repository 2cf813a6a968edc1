#pragma once
// How a download's file name is derived from its URL.
#include <windows.h>
#include <string>

// Longest file name kept; a longer name keeps its tail, where the extension is.
const size_t kMaxDownloadFileName = 80;

// Replaces each character that a file name may not hold (* : < > ? " | ; % ,) and a trailing
// space by an underscore, and puts an underscore before a name that Windows would take for a
// device ("nul", "con.bin", "COM1", "lpt1 .zip"): writing to it would lose the data.
std::wstring MakeSafeFileName(const std::wstring& strName);

// Whether Windows opens a device instead of a file of this name (in any folder): the part
// before the first dot, blanks at its end ignored, is CON, PRN, AUX, NUL, COM1-9, LPT1-9,
// CONIN$ or CONOUT$ in any case.
bool IsReservedDeviceName(const std::wstring& strName);

// The file name under which the URL's body is stored: the last path segment of the canonical,
// decoded URL, cut to its last 80 characters and made safe; "unknown" when that ends up empty.
// E_DL_BAD_TARGET when the URL has neither a slash nor a backslash.
HRESULT DeriveDownloadFileName(const wchar_t* pszUrl, std::wstring& strName);
