#include "update/gui/confirm_dlg.h"

#include "common/string_util.h"
#include "update/gui/res/gui_res_ids.h"
#include "update/gui/update_text_rules.h"
#include "update/gui/web_address.h"

namespace
{
const int kIconWidth = 68;
const int kIconHeight = 60;

const wchar_t* Text(BSTR bstr) { return bstr ? bstr : L""; }
}  // namespace

CConfirmDlg::CConfirmDlg(const CGuiResources& resources, const ZEP_WINDOW_PLACEMENT& placement,
                         const ZEP_UPDATED_INFO& info) noexcept
    : CUpdateDialog(IDD_ZEP_CONFIRM, resources, placement), m_info(info)
{
}

std::wstring CConfirmDlg::TitleText(const CGuiResources& resources, const ZEP_UPDATED_INFO& info)
{
    if (info.m_bInfoOnly)
        return resources.String(IDS_ZEP_TITLE_INFO);
    const std::wstring strFormat = resources.String(info.m_bFirmware ? IDS_ZEP_TITLE_FIRMWARE : IDS_ZEP_TITLE_SOFTWARE);
    return FormatString(strFormat.c_str(), Text(info.m_bstrAppName));
}

std::wstring CConfirmDlg::SizeText(const CGuiResources& resources, ULONG dwSize)
{
    const ZEP_SIZE_LINE line = ZepSizeLine(dwSize);
    const std::wstring strUnit = resources.String(line.nUnitId);
    return FormatString(resources.String(IDS_ZEP_SIZE_LINE).c_str(), static_cast<unsigned int>(line.nValue),
                        strUnit.c_str());
}

BOOL CConfirmDlg::OnInitDialog()
{
    SetControlFont(IDC_ZEP_TITLE, 16);
    SetControlFont(IDC_ZEP_SIZE_LINE, 12);
    SetText(IDC_ZEP_TITLE, TitleText(m_resources, m_info));
    SetText(IDC_ZEP_DETAIL_LABEL, String(IDS_ZEP_DETAIL_LABEL));
    if (!m_info.m_bInfoOnly)
        SetText(IDC_ZEP_SIZE_LINE, SizeText(m_resources, m_info.m_dwSize));
    // The detail comes from the server: line ends as the edit control needs them.
    std::wstring strDetail;
    for (const wchar_t* p = Text(m_info.m_bstrUpdateDetail); *p; ++p)
    {
        if (*p == L'\n' && (strDetail.empty() || strDetail.back() != L'\r'))
            strDetail += L'\r';
        strDetail += *p;
    }
    SetText(IDC_ZEP_DETAIL, strDetail);

    m_icon.Reset(static_cast<HICON>(::LoadImageW(m_resources.Instance(), MAKEINTRESOURCEW(IDI_ZEP_UPDATE), IMAGE_ICON,
                                                 kIconWidth, kIconHeight, 0)));
    const HWND hwndIcon = ::GetDlgItem(GetHwnd(), IDC_ZEP_ICON);
    if (hwndIcon)
        ::SetWindowPos(hwndIcon, nullptr, 0, 0, kIconWidth, kIconHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Place();
    ::SetFocus(::GetDlgItem(GetHwnd(), IDOK));
    return FALSE;
}

void CConfirmDlg::OnCommand(WORD wId, WORD, HWND)
{
    if (wId == IDOK)
    {
        if (m_info.m_bInfoOnly && m_info.m_bstrURL && *m_info.m_bstrURL)
            OpenWebAddress(m_info.m_bstrURL);
        EndOnce(1);
    }
    else if (wId == IDCANCEL)
    {
        EndOnce(0);
    }
}

bool CConfirmDlg::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult)
{
    if (uMsg == WM_DRAWITEM && wParam == IDC_ZEP_ICON)
    {
        DrawIcon(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        lResult = TRUE;
        return true;
    }
    return false;
}

void CConfirmDlg::DrawIcon(const DRAWITEMSTRUCT& item) const
{
    ::FillRect(item.hDC, &item.rcItem, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    if (m_icon)
        ::DrawIconEx(item.hDC, item.rcItem.left, item.rcItem.top, m_icon.Get(), kIconWidth, kIconHeight, 0, nullptr,
                     DI_NORMAL);
}
