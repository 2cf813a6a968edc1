#include "update/gui/progress_dlg.h"

#include <commctrl.h>

#include "common/string_util.h"
#include "update/gui/gui_seams.h"
#include "update/gui/res/gui_res_ids.h"
#include "update/gui/update_text_rules.h"

CProgressDlg::CProgressDlg(const CGuiResources& resources, const ZEP_WINDOW_PLACEMENT& placement, EMode eMode,
                           CWindowSlot& slot, volatile LONG* plQuestionOpen, volatile LONG* plUserCanceled) noexcept
    : CUpdateDialog(IDD_ZEP_PROGRESS, resources, placement),
      m_eMode(eMode),
      m_slot(slot),
      m_plQuestionOpen(plQuestionOpen),
      m_plUserCanceled(plUserCanceled)
{
}

std::wstring CProgressDlg::RemainingText(const CGuiResources& resources, ULONGLONG ullElapsedMs, UINT nPercent)
{
    if (nPercent == 0)
        return std::wstring();
    const ZEP_REMAINING_TIME time = ZepRemainingTime(ZepRemainingSeconds(ullElapsedMs, nPercent));
    return FormatString(resources.String(time.nStringId).c_str(), time.nFirst, time.nSecond);
}

BOOL CProgressDlg::OnInitDialog()
{
    SetControlFont(IDC_ZEP_TITLE, 16);
    if (m_eMode == eUpdate)
    {
        SetText(IDC_ZEP_TITLE, String(IDS_ZEP_UPDATE_TITLE));
        DisableSystemClose();
        ::EnableWindow(::GetDlgItem(GetHwnd(), IDCANCEL), FALSE);
    }
    else
    {
        SetText(IDC_ZEP_NOTE, std::wstring());
    }
    m_ullStartMs = ::GetTickCount64();
    SetText(IDC_ZEP_PERCENT, FormatString(String(IDS_ZEP_PERCENT).c_str(), 0));
    SetText(IDC_ZEP_REMAINING, std::wstring());
    ::SendDlgItemMessageW(GetHwnd(), IDC_ZEP_PROGRESS_BAR, PBM_SETRANGE32, 0, 100);
    ::SendDlgItemMessageW(GetHwnd(), IDC_ZEP_PROGRESS_BAR, PBM_SETPOS, 0, 0);
    Place();
    m_slot.Attach(GetHwnd());
    return TRUE;
}

void CProgressDlg::OnCommand(WORD wId, WORD, HWND)
{
    // Escape and the title bar's Close come here as IDCANCEL too.
    if (wId == IDCANCEL && m_eMode == eDownload && !Ended() && !m_bAsking)
        AskCancel();
}

bool CProgressDlg::OnMessage(UINT uMsg, WPARAM wParam, LPARAM, LRESULT& lResult)
{
    switch (uMsg)
    {
    case WM_ZEP_PROGRESS:
        ShowProgress(static_cast<UINT>(wParam));
        lResult = 0;
        return true;
    case WM_ZEP_CLOSE:
        // The question's answer decides first: Yes is the user's cancel, No lets this close.
        if (m_bAsking)
            m_bCloseWaiting = true;
        else
            EndOnce(1);
        lResult = 0;
        return true;
    default:
        return false;
    }
}

void CProgressDlg::ShowProgress(UINT nPercent)
{
    if (m_bCanceled || Ended())
        return;
    SetText(IDC_ZEP_PERCENT, FormatString(String(IDS_ZEP_PERCENT).c_str(), static_cast<int>(nPercent)));
    ::SendDlgItemMessageW(GetHwnd(), IDC_ZEP_PROGRESS_BAR, PBM_SETPOS, nPercent, 0);
    if (m_eMode != eDownload)
        return;
    if (nPercent == 0)
    {
        SetText(IDC_ZEP_REMAINING, std::wstring());
        return;
    }
    // The first step only starts the measurement: before it the time includes the set-up.
    if (!m_bRateKnown)
    {
        m_bRateKnown = true;
        SetText(IDC_ZEP_REMAINING, std::wstring());
        return;
    }
    SetText(IDC_ZEP_REMAINING, RemainingText(m_resources, ::GetTickCount64() - m_ullStartMs, nPercent));
}

void CProgressDlg::AskCancel()
{
    m_bAsking = true;
    ::InterlockedExchange(m_plQuestionOpen, 1);
    const int nAnswer = ZepGuiMessageBox(GetHwnd(), String(IDS_ZEP_CANCEL_QUESTION).c_str(),
                                         String(IDS_ZEP_CAPTION).c_str(), MB_YESNO | MB_ICONWARNING | MB_TOPMOST);
    m_bAsking = false;
    if (nAnswer == IDYES)
    {
        m_bCanceled = true;
        ::InterlockedExchange(m_plUserCanceled, 1);
        ::InterlockedExchange(m_plQuestionOpen, 0);
        EndOnce(IDCANCEL);
        return;
    }
    ::InterlockedExchange(m_plQuestionOpen, 0);
    if (m_bCloseWaiting)
        EndOnce(1);
}
