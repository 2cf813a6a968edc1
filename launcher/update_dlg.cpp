#include "launcher/update_dlg.h"

#include "launcher/resource.h"
#include "launcher/update_client.h"

namespace
{
// Frequency 0, 1, 2 in the order of the radio group.
const UINT kFrequencyIds[] = {IDC_FREQUENCY_EVERY_START, IDC_FREQUENCY_DAILY, IDC_FREQUENCY_WEEKLY};
}  // namespace

CUpdateDlg::CUpdateDlg(ITolvikShell& shell) : CDialogBase(IDD_UPDATE), m_shell(shell) {}

BOOL CUpdateDlg::OnInitDialog()
{
    m_loaded = CUpdatePageSettings::Load();
    HWND hwnd = GetHwnd();
    ::CheckDlgButton(hwnd, IDC_UPDATE_AT_START, m_loaded.m_bCheckAtStart ? BST_CHECKED : BST_UNCHECKED);
    const int nRadio = m_loaded.RadioIndex();
    for (int i = 0; i < 3; ++i)
        ::CheckDlgButton(hwnd, kFrequencyIds[i], i == nRadio ? BST_CHECKED : BST_UNCHECKED);
    EnableFrequencies();
    return TRUE;
}

void CUpdateDlg::EnableFrequencies()
{
    const BOOL bEnable = ::IsDlgButtonChecked(GetHwnd(), IDC_UPDATE_AT_START) == BST_CHECKED;
    for (UINT nId : kFrequencyIds)
        ::EnableWindow(::GetDlgItem(GetHwnd(), nId), bEnable);
}

CUpdatePageSettings CUpdateDlg::Shown() const
{
    CUpdatePageSettings shown = m_loaded;
    HWND hwnd = GetHwnd();
    shown.m_bCheckAtStart = ::IsDlgButtonChecked(hwnd, IDC_UPDATE_AT_START) == BST_CHECKED;
    // A stored value none of the buttons stands for stays as it is until one is picked.
    for (DWORD i = 0; i < 3; ++i)
    {
        if (::IsDlgButtonChecked(hwnd, kFrequencyIds[i]) == BST_CHECKED)
            shown.m_dwFrequency = i;
    }
    return shown;
}

void CUpdateDlg::Save()
{
    if (GetHwnd() != nullptr)
        Shown().Save();
}

void CUpdateDlg::OnCommand(WORD wId, WORD wNotifyCode, HWND /*hwndControl*/)
{
    if (wNotifyCode != BN_CLICKED)
        return;
    if (wId == IDC_UPDATE_AT_START)
        EnableFrequencies();
    else if (wId == IDC_UPDATE_NOW)
        CUpdateClient(m_shell).Start(false, ::GetAncestor(GetHwnd(), GA_ROOT));
}
