#include "update/gui/marquee_dlg.h"

#include <commctrl.h>

#include "update/gui/res/gui_res_ids.h"

CMarqueeDlg::CMarqueeDlg(const CGuiResources& resources, const ZEP_WINDOW_PLACEMENT& placement, CWindowSlot& slot,
                         UINT uSpeedMs, volatile LONG* plUserCanceled) noexcept
    : CUpdateDialog(IDD_ZEP_MARQUEE, resources, placement),
      m_slot(slot),
      m_uSpeedMs(uSpeedMs),
      m_plUserCanceled(plUserCanceled)
{
}

BOOL CMarqueeDlg::OnInitDialog()
{
    SetControlFont(IDC_ZEP_TITLE, 16);
    const HWND hwndBar = ::GetDlgItem(GetHwnd(), IDC_ZEP_PROGRESS_BAR);
    if (hwndBar)
    {
        ::SetWindowLongPtrW(hwndBar, GWL_STYLE, ::GetWindowLongPtrW(hwndBar, GWL_STYLE) | PBS_MARQUEE);
        ::SendMessageW(hwndBar, PBM_SETMARQUEE, TRUE, m_uSpeedMs);
    }
    DisableSystemClose();
    Place();
    m_slot.Attach(GetHwnd());
    return TRUE;
}

void CMarqueeDlg::OnCommand(WORD wId, WORD, HWND)
{
    if (wId == IDCANCEL && !Ended())
    {
        ::InterlockedExchange(m_plUserCanceled, 1);
        EndOnce(IDCANCEL);
    }
}

bool CMarqueeDlg::OnMessage(UINT uMsg, WPARAM, LPARAM, LRESULT& lResult)
{
    if (uMsg != WM_ZEP_CLOSE)
        return false;
    EndOnce(1);
    lResult = 0;
    return true;
}
