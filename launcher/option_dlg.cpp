#include "launcher/option_dlg.h"

#include <shlwapi.h>

#include <vector>

#include "launcher/resource.h"
#include "launcher/resource_string.h"
#include "launcher/select_app_file_dlg.h"
#include "launcher/tolvik_shell.h"
#include "launcher/settings/launcher_settings.h"

namespace
{
const UINT kComboIds[COptionDlg::kKindCount] = {IDC_COMBO_MUSIC, IDC_COMBO_PHOTO, IDC_COMBO_VIDEO,
                                                 IDC_COMBO_PODCAST};
const wchar_t* const kKindNames[COptionDlg::kKindCount] = {LAUNCHER_KIND_MUSIC, LAUNCHER_KIND_PHOTO,
                                                           LAUNCHER_KIND_VIDEO, LAUNCHER_KIND_PODCAST};
// Room kept free at the right of the item text so the shortened path never touches the edge.
const int kItemMargin = 6;

// The message template holds one "%s"; the name goes in as text, never as a format.
std::wstring FormatCannotSelect(const std::wstring& strTemplate, const std::wstring& name)
{
    std::wstring text = strTemplate;
    const size_t nPos = text.find(L"%s");
    if (nPos != std::wstring::npos)
        text.replace(nPos, 2, name);
    return text;
}

int TextWidth(HDC hdc, const std::wstring& text)
{
    SIZE size = {};
    ::GetTextExtentPoint32W(hdc, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}
}  // namespace

COptionDlg::COptionDlg(CLauncherSettings& settings, bool bMandatory, ITolvikShell& shell, IAppFileChooser& chooser)
    : CDialogBase(IDD_OPTION), m_settings(settings), m_bMandatory(bMandatory), m_shell(shell), m_chooser(chooser)
{
    const COptionKindModel::Texts texts = {LoadResourceString(IDS_NOT_INSTALLED), LoadResourceString(IDS_NOT_SELECTED),
                                           LoadResourceString(IDS_CUSTOM)};
    m_strCustom = texts.strCustom;
    m_models.assign(kKindCount, COptionKindModel(texts));
}

UINT COptionDlg::ComboId(size_t nKind)
{
    return nKind < kKindCount ? kComboIds[nKind] : 0;
}

void COptionDlg::GetSelections(AppEntry& music, AppEntry& photo, AppEntry& video, AppEntry& podcast) const
{
    music = m_models[0].Current();
    photo = m_models[1].Current();
    video = m_models[2].Current();
    podcast = m_models[3].Current();
}

BOOL COptionDlg::OnInitDialog()
{
    AppEntry selections[kKindCount];
    m_settings.GetSelections(selections[0], selections[1], selections[2], selections[3]);
    for (size_t i = 0; i < kKindCount; ++i)
    {
        std::vector<AppEntry> candidates;
        // A kind that cannot be enumerated offers just the blank and the custom item.
        m_settings.GetCandidates(kKindNames[i], candidates);
        m_models[i].Init(selections[i], std::move(candidates), m_bMandatory);
        FillCombo(i);
    }
    return TRUE;
}

void COptionDlg::FillCombo(size_t nKind)
{
    HWND hwndCombo = ::GetDlgItem(GetHwnd(), kComboIds[nKind]);
    ::SendMessageW(hwndCombo, CB_RESETCONTENT, 0, 0);
    for (size_t i = 0; i < m_models[nKind].Candidates().size(); ++i)
        SetItem(nKind, i, false);
    ReselectCurrent(nKind);
}

void COptionDlg::SetItem(size_t nKind, size_t nIndex, bool bReplace)
{
    HWND hwndCombo = ::GetDlgItem(GetHwnd(), kComboIds[nKind]);
    const std::wstring text = m_models[nKind].DisplayText(
        nIndex, [this, hwndCombo](const std::wstring& path) { return ShortenToCombo(hwndCombo, path); });
    if (bReplace)
        ::SendMessageW(hwndCombo, CB_DELETESTRING, nIndex, 0);
    const LRESULT nItem = ::SendMessageW(hwndCombo, CB_INSERTSTRING, nIndex, reinterpret_cast<LPARAM>(text.c_str()));
    if (nItem >= 0)
        ::SendMessageW(hwndCombo, CB_SETITEMDATA, static_cast<WPARAM>(nItem), static_cast<LPARAM>(nIndex));
}

void COptionDlg::ReselectCurrent(size_t nKind)
{
    HWND hwndCombo = ::GetDlgItem(GetHwnd(), kComboIds[nKind]);
    const int nIndex = m_models[nKind].SelectedIndex();
    ::SendMessageW(hwndCombo, CB_SETCURSEL, nIndex >= 0 ? static_cast<WPARAM>(nIndex) : static_cast<WPARAM>(-1), 0);
}

std::wstring COptionDlg::ShortenToCombo(HWND hwndCombo, const std::wstring& path) const
{
    COMBOBOXINFO info = {};
    info.cbSize = sizeof(info);
    RECT rcItem = {};
    if (::GetComboBoxInfo(hwndCombo, &info))
        rcItem = info.rcItem;
    else
        ::GetClientRect(hwndCombo, &rcItem);

    HDC hdc = ::GetDC(hwndCombo);
    if (hdc == nullptr)
        return path;
    HFONT hFont = reinterpret_cast<HFONT>(::SendMessageW(hwndCombo, WM_GETFONT, 0, 0));
    HGDIOBJ hOld = hFont != nullptr ? ::SelectObject(hdc, hFont) : nullptr;
    const int cxRoom = (rcItem.right - rcItem.left) - kItemMargin - TextWidth(hdc, m_strCustom + L" ()");
    std::vector<wchar_t> buffer(path.begin(), path.end());
    buffer.resize(path.size() + MAX_PATH, L'\0');
    std::wstring shortened = path;
    if (cxRoom > 0 && ::PathCompactPathW(hdc, buffer.data(), static_cast<UINT>(cxRoom)))
        shortened = buffer.data();
    if (hOld != nullptr)
        ::SelectObject(hdc, hOld);
    ::ReleaseDC(hwndCombo, hdc);
    return shortened;
}

void COptionDlg::OnCommand(WORD wId, WORD wNotifyCode, HWND /*hwndControl*/)
{
    // OK and Cancel belong to the dialog around the page.
    if (wNotifyCode != CBN_SELCHANGE)
        return;
    for (size_t i = 0; i < kKindCount; ++i)
    {
        if (wId == kComboIds[i])
            OnSelectionChange(i);
    }
}

void COptionDlg::OnSelectionChange(size_t nKind)
{
    HWND hwndCombo = ::GetDlgItem(GetHwnd(), kComboIds[nKind]);
    const LRESULT nItem = ::SendMessageW(hwndCombo, CB_GETCURSEL, 0, 0);
    INT_PTR nIndex = -1;
    if (nItem != CB_ERR)
        nIndex = static_cast<INT_PTR>(::SendMessageW(hwndCombo, CB_GETITEMDATA, static_cast<WPARAM>(nItem), 0));

    COptionKindModel& model = m_models[nKind];
    switch (model.Choose(nIndex))
    {
    case COptionKindModel::Choice::kNeedsFile:
    {
        std::wstring strChosen;
        HWND hwndOwner = ::GetAncestor(GetHwnd(), GA_ROOT);
        if (m_chooser.Choose(hwndOwner, FindExecutable(model.Current()), strChosen))
        {
            model.ChooseCustomFile(static_cast<size_t>(nIndex), strChosen);
            SetItem(nKind, static_cast<size_t>(nIndex), true);
        }
        break;
    }
    case COptionKindModel::Choice::kRefused:
        m_shell.ShowMessage(::GetAncestor(GetHwnd(), GA_ROOT),
                            FormatCannotSelect(LoadResourceString(IDS_CANNOT_SELECT),
                                               model.Candidates()[static_cast<size_t>(nIndex)].name),
                            MB_OK);
        break;
    default:
        break;
    }
    ReselectCurrent(nKind);
}
