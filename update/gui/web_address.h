#pragma once
// The web address a notice points to: the only kind of address the update windows open.
#include <windows.h>

// True for a well-formed http or https address with a host.
bool IsWebAddress(const wchar_t* pszUrl);
// Opens pszUrl in the browser when it is a web address; anything else (a file, a share, a
// program, a script address) would be run by the shell, so it is logged and left alone.
void OpenWebAddress(const wchar_t* pszUrl);
