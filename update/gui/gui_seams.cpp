#include "update/gui/gui_seams.h"

#include <shellapi.h>

#include "update/gui/gui_activation.h"

namespace
{
int RealMessageBox(HWND hwndOwner, const wchar_t* pszText, const wchar_t* pszCaption, UINT uType)
{
    CGuiActivationScope styles;
    return ::MessageBoxW(hwndOwner, pszText, pszCaption, uType);
}

void RealOpenUrl(const wchar_t* pszUrl) { ::ShellExecuteW(nullptr, L"open", pszUrl, nullptr, nullptr, SW_SHOWNORMAL); }

PFN_ZEP_GUI_MESSAGE_BOX volatile g_pfnMessageBox = &RealMessageBox;
PFN_ZEP_GUI_OPEN_URL volatile g_pfnOpenUrl = &RealOpenUrl;
}  // namespace

PFN_ZEP_GUI_MESSAGE_BOX ZepGuiSetMessageBox(PFN_ZEP_GUI_MESSAGE_BOX pfn)
{
    PFN_ZEP_GUI_MESSAGE_BOX pfnOld = g_pfnMessageBox;
    g_pfnMessageBox = pfn ? pfn : &RealMessageBox;
    return pfnOld;
}

PFN_ZEP_GUI_OPEN_URL ZepGuiSetOpenUrl(PFN_ZEP_GUI_OPEN_URL pfn)
{
    PFN_ZEP_GUI_OPEN_URL pfnOld = g_pfnOpenUrl;
    g_pfnOpenUrl = pfn ? pfn : &RealOpenUrl;
    return pfnOld;
}

int ZepGuiMessageBox(HWND hwndOwner, const wchar_t* pszText, const wchar_t* pszCaption, UINT uType)
{
    return g_pfnMessageBox(hwndOwner, pszText, pszCaption, uType);
}

void ZepGuiOpenUrl(const wchar_t* pszUrl) { g_pfnOpenUrl(pszUrl); }
