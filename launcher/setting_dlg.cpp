#include "launcher/setting_dlg.h"

#include <commctrl.h>

#include "launcher/resource.h"
#include "launcher/resource_string.h"
#include "launcher/settings/launcher_settings.h"

CSettingDlg::CSettingDlg(bool bMandatory, CLauncherSettings& settings, ITolvikShell& shell,
                         IAppFileChooser& chooser)
    : CDialogBase(IDD_SETTING),
      m_bMandatory(bMandatory),
      m_settings(settings),
      m_option(settings, bMandatory, shell, chooser),
      m_update(shell)
{
}

HWND CSettingDlg::Tab() const
{
    return ::GetDlgItem(GetHwnd(), IDC_SETTING_TAB);
}

namespace
{
void AddExStyle(HWND hwnd, LONG_PTR style)
{
    ::SetWindowLongPtrW(hwnd, GWL_EXSTYLE, ::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) | style);
}

void InsertTab(HWND hwndTab, int nIndex, UINT nTextId)
{
    std::wstring text = LoadResourceString(nTextId);
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = &text[0];
    ::SendMessageW(hwndTab, TCM_INSERTITEMW, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(&item));
}
}  // namespace

BOOL CSettingDlg::OnInitDialog()
{
    HWND hwnd = GetHwnd();
    if (m_bMandatory)
    {
        ::EnableWindow(::GetDlgItem(hwnd, IDCANCEL), FALSE);
        ::EnableMenuItem(::GetSystemMenu(hwnd, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
    }

    HWND hwndTab = Tab();
    InsertTab(hwndTab, 0, IDS_TAB_APPLICATIONS);
    InsertTab(hwndTab, 1, IDS_TAB_UPDATE);

    RECT rcPage = {};
    ::GetClientRect(hwndTab, &rcPage);
    ::SendMessageW(hwndTab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&rcPage));
    // Keyboard navigation walks from the dialog through the tab control into the pages.
    AddExStyle(hwnd, WS_EX_CONTROLPARENT);
    AddExStyle(hwndTab, WS_EX_CONTROLPARENT);
    for (CDialogBase* pPage : {static_cast<CDialogBase*>(&m_option), static_cast<CDialogBase*>(&m_update)})
    {
        HWND hwndPage = pPage->Create(hwndTab);
        if (hwndPage == nullptr)
            continue;
        ::SetWindowLongPtrW(hwndPage, GWL_STYLE,
                            ::GetWindowLongPtrW(hwndPage, GWL_STYLE) | WS_CLIPSIBLINGS | DS_CONTROL);
        AddExStyle(hwndPage, WS_EX_CONTROLPARENT);
        ::SetWindowPos(hwndPage, HWND_TOP, rcPage.left, rcPage.top, rcPage.right - rcPage.left,
                       rcPage.bottom - rcPage.top, SWP_NOACTIVATE);
    }
    ShowCurrentPage();
    return TRUE;
}

void CSettingDlg::ShowCurrentPage()
{
    const LRESULT nTab = ::SendMessageW(Tab(), TCM_GETCURSEL, 0, 0);
    ::ShowWindow(m_option.GetHwnd(), nTab == 0 ? SW_SHOW : SW_HIDE);
    ::ShowWindow(m_update.GetHwnd(), nTab == 1 ? SW_SHOW : SW_HIDE);
}

void CSettingDlg::OnOK()
{
    m_update.Save();
    AppEntry music, photo, video, podcast;
    m_option.GetSelections(music, photo, video, podcast);
    // Not reported: the user can do nothing about it, and the launcher runs on what it has.
    m_settings.StoreAndSave(music, photo, video, podcast);
    EndDialog(IDOK);
}

void CSettingDlg::OnCommand(WORD wId, WORD /*wNotifyCode*/, HWND /*hwndControl*/)
{
    if (wId == IDOK)
        OnOK();
    else if (wId == IDCANCEL && !m_bMandatory)
        EndDialog(IDCANCEL);
}

bool CSettingDlg::OnMessage(UINT uMsg, WPARAM /*wParam*/, LPARAM lParam, LRESULT& lResult)
{
    if (uMsg == WM_NOTIFY)
    {
        const NMHDR* pHeader = reinterpret_cast<const NMHDR*>(lParam);
        if (pHeader != nullptr && pHeader->idFrom == IDC_SETTING_TAB && pHeader->code == TCN_SELCHANGE)
        {
            ShowCurrentPage();
            lResult = 0;
            return true;
        }
    }
    return false;
}
