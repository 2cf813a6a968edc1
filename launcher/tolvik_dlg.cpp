#include "launcher/tolvik_dlg.h"

#include "launcher/about_dlg.h"
#include "launcher/content_launcher.h"
#include "launcher/download_action.h"
#include "launcher/tolvik_constants.h"
#include "launcher/tolvik_registry.h"
#include "launcher/tolvik_shell.h"
#include "launcher/resource.h"
#include "launcher/resource_string.h"
#include "launcher/select_app_file_dlg.h"
#include "launcher/setting_dlg.h"
#include "launcher/update_client.h"
#include "launcher/settings/launcher_settings.h"
#include "launcher/settings/update_schedule.h"
#include "launcher/skin/skin_draw.h"
#include "launcher/skin/skin_messages.h"

namespace
{
const int kDescriptionWidth = 550;
const int kDescriptionHeight = 122;
const int kDescriptionTop = 24;
const POINT kAutoLaunchPos = {4, 258};
const SIZE kAutoLaunchSize = {500, 22};
const POINT kSettingPos = {508, 258};
const int kSettingCaptionTop = 2;
const int kSettingFontBase = 100;

// The first erase paints the whole client area: the buttons are not drawn yet.
bool g_bErasedOnce = false;
}  // namespace

const CTolvikDlg::ButtonRow CTolvikDlg::kButtonRows[5] = {
    {IDC_MUSIC, TOLVIK_KEY L"\\Music", IDB_MUSIC_NORMAL, IDB_MUSIC_HOVER, IDB_MUSIC_PRESSED, 21, 147},
    {IDC_PHOTO, TOLVIK_KEY L"\\Photo", IDB_PHOTO_NORMAL, IDB_PHOTO_HOVER, IDB_PHOTO_PRESSED, 133, 147},
    {IDC_VIDEO, TOLVIK_KEY L"\\Video", IDB_VIDEO_NORMAL, IDB_VIDEO_HOVER, IDB_VIDEO_PRESSED, 245, 147},
    {IDC_PODCAST, TOLVIK_KEY L"\\Podcast", IDB_PODCAST_NORMAL, IDB_PODCAST_HOVER, IDB_PODCAST_PRESSED, 357, 147},
    {IDC_DOWNLOAD, TOLVIK_DOWNLOAD_KEY, IDB_DOWNLOAD_NORMAL, IDB_DOWNLOAD_HOVER, IDB_DOWNLOAD_PRESSED, 469, 147},
};

CTolvikDlg::CTolvikDlg(CLauncherSettings& settings, const std::wstring& strCmdTail, ITolvikShell& shell)
    : CExDialog(IDD_TOLVIK_DIALOG),
      m_settings(settings),
      m_strCmdTail(strCmdTail),
      m_shell(shell),
      m_placement(IDD_TOLVIK_DIALOG)
{
}

CTolvikDlg::~CTolvikDlg() = default;

CEx1PartsButton* CTolvikDlg::Button(UINT nId)
{
    switch (nId)
    {
    case IDC_MUSIC: return &m_btnMusic;
    case IDC_PHOTO: return &m_btnPhoto;
    case IDC_VIDEO: return &m_btnVideo;
    case IDC_PODCAST: return &m_btnPodcast;
    case IDC_DOWNLOAD: return &m_btnDownload;
    case IDC_SETTING: return &m_btnSetting;
    default: return nullptr;
    }
}

INT_PTR CTolvikDlg::RunModal()
{
    HWND hwnd = Create(nullptr);
    if (hwnd == nullptr)
        return -1;
    ::ShowWindow(hwnd, SW_SHOW);
    MSG msg;
    while (::IsWindow(hwnd))
    {
        const BOOL bGot = ::GetMessageW(&msg, nullptr, 0, 0);
        if (bGot == 0)
        {
            // Someone asked the thread to end: close the window, keep the request for the caller.
            ::DestroyWindow(hwnd);
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (bGot == -1)
            break;
        ProcessMessage(msg);
    }
    return IDCANCEL;
}

bool CTolvikDlg::PreTranslateMessage(const MSG& msg)
{
    // No button may be pressed from the keyboard: the skinned buttons only follow the mouse.
    return msg.message == WM_KEYDOWN && (msg.wParam == VK_RETURN || msg.wParam == VK_SPACE);
}

void CTolvikDlg::ProcessMessage(MSG& msg)
{
    if (PreTranslateMessage(msg))
        return;
    HWND hwnd = GetHwnd();
    if (hwnd != nullptr && ::IsDialogMessageW(hwnd, &msg))
        return;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
}

SIZE CTolvikDlg::WindowSize() const
{
    RECT rc = {0, 0, kClientWidth, kClientHeight};
    const DWORD dwStyle = static_cast<DWORD>(::GetWindowLongPtrW(GetHwnd(), GWL_STYLE));
    const DWORD dwExStyle = static_cast<DWORD>(::GetWindowLongPtrW(GetHwnd(), GWL_EXSTYLE));
    ::AdjustWindowRectEx(&rc, dwStyle, FALSE, dwExStyle);
    return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

BOOL CTolvikDlg::OnInitDialog()
{
    CExDialog::OnInitDialog();
    HWND hwnd = GetHwnd();

    m_btnMusic.SubclassDlgItem(IDC_MUSIC, hwnd);
    m_btnPhoto.SubclassDlgItem(IDC_PHOTO, hwnd);
    m_btnVideo.SubclassDlgItem(IDC_VIDEO, hwnd);
    m_btnPodcast.SubclassDlgItem(IDC_PODCAST, hwnd);
    m_btnDownload.SubclassDlgItem(IDC_DOWNLOAD, hwnd);
    m_btnSetting.SubclassDlgItem(IDC_SETTING, hwnd);
    m_chkAutoLaunch.SubclassDlgItem(IDC_AUTOLAUNCH, hwnd);
    m_stDescription.SubclassDlgItem(IDC_DESCRIPTION, hwnd);

    InitSystemMenu();

    const HINSTANCE hInst = ::GetModuleHandleW(nullptr);
    m_hIconBig.Reset(static_cast<HICON>(::LoadImageW(hInst, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                                     ::GetSystemMetrics(SM_CXICON),
                                                     ::GetSystemMetrics(SM_CYICON), 0)));
    m_hIconSmall.Reset(static_cast<HICON>(::LoadImageW(hInst, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                                       ::GetSystemMetrics(SM_CXSMICON),
                                                       ::GetSystemMetrics(SM_CYSMICON), 0)));
    ::SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIconBig.Get()));
    ::SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIconSmall.Get()));
    // A second launcher finds this window by the property and hands the activation over.
    ::SetPropW(hwnd, TOLVIK_APP_NAME, reinterpret_cast<HANDLE>(1));

    InitSizeAndPosition();
    m_hbmBackground.Reset(::LoadBitmapW(hInst, MAKEINTRESOURCEW(IDB_TOLVIK_BACKGROUND)));
    InitDescription();
    InitAutoLaunchBox();
    InitContentButtons();
    InitSettingButton();

    m_placement.Restore(hwnd, WindowSize());
    ::SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ::SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);

    // The first-run dialog holds the update schedule: on a first run the automatic check is
    // decided once the user has made that choice (see WM_TOLVIK_FIRSTRUN).
    if (m_settings.IsFirstRun())
        ::PostMessageW(hwnd, WM_TOLVIK_FIRSTRUN, 0, 0);
    else if (IsUpdateDue())
        ::PostMessageW(hwnd, WM_TOLVIK_CHECKUPDATE, 1, 0);
    return TRUE;
}

void CTolvikDlg::InitSystemMenu()
{
    const std::wstring about = LoadResourceString(IDS_ABOUTBOX);
    HMENU hMenu = ::GetSystemMenu(GetHwnd(), FALSE);
    if (hMenu == nullptr || about.empty())
        return;
    ::InsertMenuW(hMenu, SC_CLOSE, MF_BYCOMMAND | MF_STRING, IDM_ABOUTBOX, about.c_str());
    ::InsertMenuW(hMenu, SC_CLOSE, MF_BYCOMMAND | MF_SEPARATOR, 0, nullptr);
}

void CTolvikDlg::InitSizeAndPosition()
{
    HWND hwnd = GetHwnd();
    const SIZE size = WindowSize();
    ::MoveWindow(hwnd, 0, 0, size.cx, size.cy, FALSE);

    RECT rcArea = {};
    HWND hwndOwner = ::GetWindow(hwnd, GW_OWNER);
    if (hwndOwner != nullptr && ::IsWindowVisible(hwndOwner) && !::IsIconic(hwndOwner))
        ::GetWindowRect(hwndOwner, &rcArea);
    else
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &rcArea, 0);
    const int x = rcArea.left + (rcArea.right - rcArea.left - size.cx) / 2;
    const int y = rcArea.top + (rcArea.bottom - rcArea.top - size.cy) / 2;
    ::SetWindowPos(hwnd, nullptr, x > 0 ? x : 0, y > 0 ? y : 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CTolvikDlg::InitDescription()
{
    const std::wstring general =
        TolvikRegistry::ExpandLineBreaks(TolvikRegistry::ReadMachineText(TOLVIK_KEY, L"Description"));
    m_descriptions.SetGeneral(general);
    HWND hwndStatic = m_stDescription.GetHwnd();
    ::SetWindowTextW(hwndStatic, general.c_str());
    ::EnableWindow(hwndStatic, FALSE);
    RECT rcClient = {};
    ::GetClientRect(GetHwnd(), &rcClient);
    ::MoveWindow(hwndStatic, (rcClient.right - kDescriptionWidth) / 2, kDescriptionTop, kDescriptionWidth,
                 kDescriptionHeight, FALSE);
}

void CTolvikDlg::InitAutoLaunchBox()
{
    HWND hwndBox = m_chkAutoLaunch.GetHwnd();
    const std::wstring caption =
        TolvikRegistry::ExpandLineBreaks(TolvikRegistry::ReadMachineText(TOLVIK_AUTO_KEY, L"Caption"));
    ::SetWindowTextW(hwndBox, caption.c_str());
    m_chkAutoLaunch.LoadBitmaps();
    ::MoveWindow(hwndBox, kAutoLaunchPos.x, kAutoLaunchPos.y, kAutoLaunchSize.cx, kAutoLaunchSize.cy, FALSE);
    m_chkAutoLaunch.RecalcFont(CExCheckBox::kFontBase);
    m_chkAutoLaunch.FitToText();

    const bool bTicked = CAutoLaunchOption::ReadTicked();
    m_chkAutoLaunch.SetChecked(bTicked);
    m_autoLaunch.Init(bTicked);
}

void CTolvikDlg::InitContentButtons()
{
    for (const ButtonRow& row : kButtonRows)
    {
        CEx1PartsButton* pButton = Button(row.nId);
        HWND hwndButton = pButton->GetHwnd();
        ::ShowWindow(hwndButton, SW_SHOWNA);
        const std::wstring caption = TolvikRegistry::ReadMachineText(row.pszKey, L"Caption");
        if (!caption.empty())
            ::SetWindowTextW(hwndButton, caption.c_str());
        m_descriptions.SetButtonDescription(
            row.nId, TolvikRegistry::ExpandLineBreaks(TolvikRegistry::ReadMachineText(row.pszKey, L"Description")));
        pButton->SetBitmaps(row.nNormal, row.nHover, row.nPressed);
        ::SetWindowPos(hwndButton, nullptr, row.x, row.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        pButton->SetPressedOffset(0, 1);
    }
}

void CTolvikDlg::InitSettingButton()
{
    HWND hwndButton = m_btnSetting.GetHwnd();
    m_btnSetting.SetBitmaps(IDB_SETTING_NORMAL, IDB_SETTING_HOVER, IDB_SETTING_PRESSED);
    ::SetWindowTextW(hwndButton, LoadResourceString(IDS_SETTING_CAPTION).c_str());
    m_btnSetting.SetCaptionTop(kSettingCaptionTop);
    m_btnSetting.SetPressedOffset(0, 1);
    m_btnSetting.SetFontSize(kSettingFontBase);
    ::SetWindowPos(hwndButton, nullptr, kSettingPos.x, kSettingPos.y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CTolvikDlg::OnCommand(WORD wId, WORD /*wNotifyCode*/, HWND /*hwndControl*/)
{
    switch (wId)
    {
    case IDC_MUSIC:
    case IDC_PHOTO:
    case IDC_VIDEO:
    case IDC_PODCAST:
        LaunchKind(wId);
        break;
    case IDC_DOWNLOAD:
        CDownloadAction::FromRegistry().Run(m_strCmdTail, m_shell, GetHwnd());
        break;
    case IDC_SETTING:
        OnOpenSettings(false);
        break;
    case IDCANCEL:
        EndDialog(IDCANCEL);
        break;
    default:
        // IDOK does nothing: Enter must not close the launcher.
        break;
    }
}

void CTolvikDlg::LaunchKind(UINT nId)
{
    AppEntry music, photo, video, podcast;
    m_settings.GetSelections(music, photo, video, podcast);
    const AppEntry& entry = nId == IDC_MUSIC ? music : nId == IDC_PHOTO ? photo : nId == IDC_VIDEO ? video : podcast;
    CContentLauncher::Launch(CContentLauncher::Resolve(entry, m_strCmdTail), m_shell, GetHwnd());
}

void CTolvikDlg::OnHover(UINT nId)
{
    CDescriptionSwitcher::Change change;
    if (!m_descriptions.OnHover(nId, change))
        return;
    HWND hwndStatic = m_stDescription.GetHwnd();
    ::EnableWindow(hwndStatic, change.bEnabled ? TRUE : FALSE);
    ::SetWindowTextW(hwndStatic, change.text.c_str());
}

void CTolvikDlg::OnOpenSettings(bool bMandatory)
{
    CSelectAppFileDlg fileDialog;
    CSettingDlg(bMandatory, m_settings, m_shell, fileDialog).DoModal(GetHwnd());
}

void CTolvikDlg::OnCheckUpdate(bool bAutomatic)
{
    CUpdateClient(m_shell).Start(bAutomatic, GetHwnd());
}

bool CTolvikDlg::EraseBackground(HDC hdc)
{
    if (g_bErasedOnce)
    {
        static const UINT kButtonIds[] = {IDC_MUSIC, IDC_PHOTO, IDC_VIDEO, IDC_PODCAST, IDC_DOWNLOAD, IDC_SETTING};
        for (UINT nId : kButtonIds)
        {
            HWND hwndButton = ::GetDlgItem(GetHwnd(), nId);
            if (hwndButton == nullptr || !::IsWindowVisible(hwndButton))
                continue;
            RECT rc;
            ::GetWindowRect(hwndButton, &rc);
            ::MapWindowPoints(nullptr, GetHwnd(), reinterpret_cast<POINT*>(&rc), 2);
            ::ExcludeClipRect(hdc, rc.left, rc.top, rc.right, rc.bottom);
        }
    }
    g_bErasedOnce = true;

    BITMAP bm = {};
    if (!m_hbmBackground || !::GetObjectW(m_hbmBackground.Get(), sizeof(bm), &bm))
        return false;
    const RECT rcImage = {0, 0, bm.bmWidth, bm.bmHeight};
    return skin::DrawStretched(hdc, m_hbmBackground.Get(), rcImage);
}

void CTolvikDlg::PaintIconic()
{
    PAINTSTRUCT ps;
    HDC hdc = ::BeginPaint(GetHwnd(), &ps);
    ::SendMessageW(GetHwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0);
    RECT rc;
    ::GetClientRect(GetHwnd(), &rc);
    const int cx = ::GetSystemMetrics(SM_CXICON);
    const int cy = ::GetSystemMetrics(SM_CYICON);
    ::DrawIcon(hdc, (rc.right - cx + 1) / 2, (rc.bottom - cy + 1) / 2, m_hIconBig.Get());
    ::EndPaint(GetHwnd(), &ps);
}

bool CTolvikDlg::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult)
{
    switch (uMsg)
    {
    case WM_TOLVIK_FIRSTRUN:
        OnOpenSettings(true);
        if (IsUpdateDue())
            ::PostMessageW(GetHwnd(), WM_TOLVIK_CHECKUPDATE, 1, 0);
        lResult = 0;
        return true;
    case WM_TOLVIK_CHECKUPDATE:
        OnCheckUpdate(wParam != 0);
        lResult = 0;
        return true;
    case WM_TOLVIK_HOVER:
        OnHover(LOWORD(wParam));
        lResult = 0;
        return true;
    case WM_TOLVIK_CHECKCHANGED:
        CAutoLaunchOption::Store(m_chkAutoLaunch.IsChecked());
        lResult = 0;
        return true;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == IDM_ABOUTBOX)
        {
            CAboutDlg().DoModal(GetHwnd());
            lResult = 0;
            return true;
        }
        return CExDialog::OnMessage(uMsg, wParam, lParam, lResult);
    case WM_ERASEBKGND:
        if (!EraseBackground(reinterpret_cast<HDC>(wParam)))
            return false;
        lResult = TRUE;
        return true;
    case WM_PAINT:
        if (!::IsIconic(GetHwnd()))
            return false;
        PaintIconic();
        lResult = 0;
        return true;
    case WM_QUERYDRAGICON:
        lResult = reinterpret_cast<LRESULT>(m_hIconBig.Get());
        return true;
    case WM_ENDSESSION:
        if (wParam)
            CloseSteps();
        lResult = 0;
        return true;
    default:
        return CExDialog::OnMessage(uMsg, wParam, lParam, lResult);
    }
}

void CTolvikDlg::OnDestroy()
{
    CloseSteps();
}

void CTolvikDlg::CloseSteps()
{
    // The session end and the window's destruction may both arrive: the watcher must be
    // started or stopped once.
    if (m_bClosed)
        return;
    m_bClosed = true;
    HWND hwnd = GetHwnd();
    m_autoLaunch.ApplyOnClose(m_chkAutoLaunch.IsChecked(), m_shell, hwnd);
    m_placement.Save(hwnd);
    ::RemovePropW(hwnd, TOLVIK_APP_NAME);
}
