#include "update/gui/update_dialog.h"

#include "update/gui/gui_activation.h"
#include "update/gui/window_placement_rule.h"

void ZepPlaceWindow(HWND hwnd, const ZEP_WINDOW_PLACEMENT& placement)
{
    RECT rcWindow = {};
    const bool bHaveRect = ::GetWindowRect(hwnd, &rcWindow) != FALSE;
    const SIZE size = {rcWindow.right - rcWindow.left, rcWindow.bottom - rcWindow.top};
    RECT rcDesktop = {};
    ::GetWindowRect(::GetDesktopWindow(), &rcDesktop);
    POINT ptTopLeft = {0, 0};
    if (placement.bCentreSet)
    {
        if (bHaveRect)
        {
            const int nMargin = 2 * ::GetSystemMetrics(SM_CXSIZEFRAME) + 5;
            ptTopLeft = ZepClampedTopLeft(size, placement.ptCentre, rcDesktop, nMargin);
        }
    }
    else
    {
        RECT rcOver = rcDesktop;
        if (placement.eLocation == eCenterOfWindow && placement.hwndOwner && ::IsWindow(placement.hwndOwner))
            ::GetWindowRect(placement.hwndOwner, &rcOver);
        const POINT ptCentre = {(rcOver.left + rcOver.right) / 2, (rcOver.top + rcOver.bottom) / 2};
        ptTopLeft = ZepClampedTopLeft(size, ptCentre, rcDesktop, 0);
    }
    ::SetWindowPos(hwnd, nullptr, ptTopLeft.x, ptTopLeft.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    // Started by a program without a window of its own, the window would open behind others.
    ::SetForegroundWindow(hwnd);
    ::SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ::SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

CUpdateDialog::CUpdateDialog(UINT nTemplateId, const CGuiResources& resources,
                             const ZEP_WINDOW_PLACEMENT& placement) noexcept
    : CDialogBase(nTemplateId, resources.Instance()), m_resources(resources), m_placement(placement)
{
}

INT_PTR CUpdateDialog::Run()
{
    CGuiActivationScope styles;
    return DoModal(nullptr);
}

void CUpdateDialog::SetControlFont(int nControlId, int nPixels)
{
    const HFONT hDialogFont = reinterpret_cast<HFONT>(::SendMessageW(GetHwnd(), WM_GETFONT, 0, 0));
    LOGFONTW lf = {};
    if (!hDialogFont || ::GetObjectW(hDialogFont, sizeof(lf), &lf) == 0)
        return;
    lf.lfHeight = -nPixels;
    lf.lfWidth = 0;
    lf.lfWeight = FW_NORMAL;
    UniqueHFont font(::CreateFontIndirectW(&lf));
    if (!font)
        return;
    ::SendDlgItemMessageW(GetHwnd(), nControlId, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
    m_fonts.push_back(std::move(font));
}

void CUpdateDialog::SetText(int nControlId, const std::wstring& strText)
{
    ::SetDlgItemTextW(GetHwnd(), nControlId, strText.c_str());
}

void CUpdateDialog::EndOnce(INT_PTR nResult)
{
    if (m_bEnded)
        return;
    m_bEnded = true;
    EndDialog(nResult);
}

void CUpdateDialog::DisableSystemClose()
{
    const HMENU hMenu = ::GetSystemMenu(GetHwnd(), FALSE);
    if (hMenu)
        ::EnableMenuItem(hMenu, SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
}
