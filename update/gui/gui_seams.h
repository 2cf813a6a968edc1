#pragma once
// What the update windows hand to the system and tests want to see instead: message boxes
// and opening a web address.
#include <windows.h>

typedef int (*PFN_ZEP_GUI_MESSAGE_BOX)(HWND hwndOwner, const wchar_t* pszText, const wchar_t* pszCaption,
                                         UINT uType);
typedef void (*PFN_ZEP_GUI_OPEN_URL)(const wchar_t* pszUrl);

// Replace the real calls (nullptr puts them back); return the previous ones.
PFN_ZEP_GUI_MESSAGE_BOX ZepGuiSetMessageBox(PFN_ZEP_GUI_MESSAGE_BOX pfn);
PFN_ZEP_GUI_OPEN_URL ZepGuiSetOpenUrl(PFN_ZEP_GUI_OPEN_URL pfn);

int ZepGuiMessageBox(HWND hwndOwner, const wchar_t* pszText, const wchar_t* pszCaption, UINT uType);
void ZepGuiOpenUrl(const wchar_t* pszUrl);
