#pragma once
// How a download's file name is derived from its URL.
#include <windows.h>
#include <string>

// Longest file name kept; a longer name keeps its tail, where the extension is.
const size_t kMaxDownloadFileName = 80;

// Replaces each character that a file name may not hold (* : < > ? " | ; % ,) and a trailing
// space by an underscore.
std::wstring MakeSafeFileName(const std::wstring& strName);

// The file name under which the URL's body is stored: the last path segment of the canonical,
// decoded URL, cut to its last 80 characters and made safe; "unknown" when that ends up empty.
// E_DL_BAD_TARGET when the URL has neither a slash nor a backslash.
HRESULT DeriveDownloadFileName(const wchar_t* pszUrl, std::wstring& strName);
