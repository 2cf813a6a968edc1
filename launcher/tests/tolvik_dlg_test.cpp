#include <gtest/gtest.h>

#include "common/product_keys.h"
#include "common/registry.h"
#include "common/testing/zeptest.h"
#include "launcher/auto_launch_option.h"
#include "launcher/tolvik_constants.h"
#include "launcher/resource.h"
#include "launcher/skin/skin_messages.h"
#include "launcher/tests/tolvik_dlg_fixture.h"

namespace
{
std::wstring TempFolder()
{
    std::wstring folder = zeptest::TestTempDir();
    folder.pop_back();
    return folder;
}
}  // namespace

TEST_F(CTolvikDlgTest, LaysOutTheFixedWindowFromTheInstallersTexts)
{
    WriteInstallation();
    OpenWindow();
    HWND hwnd = Hwnd();
    ASSERT_NE(nullptr, hwnd);

    RECT rcClient = {};
    ::GetClientRect(hwnd, &rcClient);
    EXPECT_EQ(600, rcClient.right);
    EXPECT_EQ(290, rcClient.bottom);
    EXPECT_EQ(reinterpret_cast<HANDLE>(1), ::GetPropW(hwnd, TOLVIK_APP_NAME));

    struct Expected
    {
        UINT nId;
        int x, y;
        const wchar_t* pszText;
    } buttons[] = {
        {IDC_MUSIC, 21, 147, L"ミュージック"},
        {IDC_PHOTO, 133, 147, L"フォト"},
        {IDC_VIDEO, 245, 147, L"ビデオ"},
        {IDC_PODCAST, 357, 147, L"Podcast"},  // no caption stored: the template's stays
        {IDC_DOWNLOAD, 469, 147, L"ダウンロード"},
        {IDC_SETTING, 508, 258, L"設定"},
    };
    for (const Expected& b : buttons)
    {
        const RECT rc = ItemRect(b.nId);
        EXPECT_EQ(b.x, rc.left) << b.nId;
        EXPECT_EQ(b.y, rc.top) << b.nId;
        EXPECT_EQ(b.pszText, ItemText(b.nId)) << b.nId;
        EXPECT_EQ(0, m_pDlg->Button(b.nId)->GetPressedOffset().x);
        EXPECT_EQ(1, m_pDlg->Button(b.nId)->GetPressedOffset().y);
    }
    EXPECT_EQ(106, ItemRect(IDC_MUSIC).right - ItemRect(IDC_MUSIC).left);  // the bitmap's size
    EXPECT_EQ(2, m_pDlg->Button(IDC_SETTING)->GetCaptionTop());
    EXPECT_EQ(100, m_pDlg->Button(IDC_SETTING)->GetFontBase());
    EXPECT_EQ(43, m_pDlg->Button(IDC_MUSIC)->GetCaptionTop());

    const RECT rcDescription = ItemRect(IDC_DESCRIPTION);
    EXPECT_EQ(25, rcDescription.left);
    EXPECT_EQ(24, rcDescription.top);
    EXPECT_EQ(550, rcDescription.right - rcDescription.left);
    EXPECT_EQ(122, rcDescription.bottom - rcDescription.top);
    EXPECT_EQ(L"コンテンツを選んでください。\r\nボタンを押すとソフトウェアが起動します。", ItemText(IDC_DESCRIPTION));
    EXPECT_FALSE(::IsWindowEnabled(Item(IDC_DESCRIPTION)));

    const RECT rcBox = ItemRect(IDC_AUTOLAUNCH);
    EXPECT_EQ(4, rcBox.left);
    EXPECT_EQ(258, rcBox.top);
    EXPECT_EQ(L"プレーヤー接続時に自動で起動しない", ItemText(IDC_AUTOLAUNCH));
    EXPECT_LT(rcBox.right - rcBox.left, 500);  // fitted to its text
    EXPECT_FALSE(m_pDlg->AutoLaunchBox().IsChecked());

    // System menu: ..., version item, separator, Close (Wine may add items of its own after it).
    HMENU hMenu = ::GetSystemMenu(hwnd, FALSE);
    const int cItems = ::GetMenuItemCount(hMenu);
    int nClose = -1;
    for (int i = 0; i < cItems; ++i)
        if (::GetMenuItemID(hMenu, i) == SC_CLOSE)
            nClose = i;
    ASSERT_GE(nClose, 2);
    MENUITEMINFOW mii = {sizeof(mii), MIIM_FTYPE};
    ASSERT_TRUE(::GetMenuItemInfoW(hMenu, nClose - 1, TRUE, &mii));
    EXPECT_TRUE(mii.fType & MFT_SEPARATOR);
    EXPECT_EQ(static_cast<UINT>(IDM_ABOUTBOX), ::GetMenuItemID(hMenu, nClose - 2));
    wchar_t szItem[64] = {};
    ::GetMenuStringW(hMenu, IDM_ABOUTBOX, szItem, 64, MF_BYCOMMAND);
    EXPECT_STREQ(L"バージョン情報(&A)", szItem);
}

// The first-run dialog holds the update schedule: the automatic check waits for the user's
// choice there, and the dialog's own message loop must not start it early.
TEST_F(CTolvikDlgTest, TheFirstRunChoiceDecidesTheAutomaticCheck)
{
    const struct
    {
        const char* pszName;
        bool bUserSwitchesChecksOff;
        std::vector<std::wstring> requests;
    } kCases[] = {
        {"check kept on", false, {L"settings:mandatory", L"settings:closed", L"update:auto"}},
        {"check switched off in the dialog", true, {L"settings:mandatory", L"settings:closed"}},
    };
    for (const auto& c : kCases)
    {
        SCOPED_TRACE(c.pszName);
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, TOLVIK_KEY L"\\Update");
        ::DeleteFileW((TempFolder() + L"\\TOLVIKSetting.xml").c_str());
        WriteInstallation();  // no settings file: the template's first_exec is "true"
        CTestTolvikDlg& dlg = OpenWindow();
        dlg.m_whileSettingsOpen = [&] {
            Pump();
            if (c.bUserSwitchesChecksOff)
            {
                const BYTE byOff = 0;
                Registry::WriteValue(HKEY_LOCAL_MACHINE, TOLVIK_KEY L"\\Update", L"UpdateStart", REG_BINARY, &byOff, 1);
            }
        };
        Pump();
        EXPECT_EQ(c.requests, dlg.m_requests);
        dlg.m_whileSettingsOpen = nullptr;
        Click(IDC_SETTING);
        EXPECT_EQ(L"settings:closed", dlg.m_requests.back());
        EXPECT_EQ(L"settings:normal", dlg.m_requests[dlg.m_requests.size() - 2]);
        DestroyDialog();
    }
}

TEST_F(CTolvikDlgTest, NoUpdateCheckWhenSwitchedOff)
{
    WriteInstallation();
    const BYTE byOff = 0;
    ASSERT_HRESULT_SUCCEEDED(Registry::WriteValue(HKEY_LOCAL_MACHINE, TOLVIK_KEY L"\\Update", L"UpdateStart",
                                                  REG_BINARY, &byOff, 1));
    CTestTolvikDlg& dlg = OpenWindow();
    Pump();
    EXPECT_EQ((std::vector<std::wstring>{L"settings:mandatory", L"settings:closed"}), dlg.m_requests);
}

TEST_F(CTolvikDlgTest, DescriptionFollowsThePointer)
{
    WriteInstallation();
    OpenWindow();
    const std::wstring general = ItemText(IDC_DESCRIPTION);

    MoveOver(IDC_MUSIC);
    EXPECT_EQ(L"Music Player の説明", ItemText(IDC_DESCRIPTION));
    EXPECT_TRUE(::IsWindowEnabled(Item(IDC_DESCRIPTION)));

    MoveOver(IDC_PHOTO);
    EXPECT_EQ(L"Photo Viewer の説明", ItemText(IDC_DESCRIPTION));
    EXPECT_TRUE(::IsWindowEnabled(Item(IDC_DESCRIPTION)));

    MoveOver(IDC_DOWNLOAD);
    EXPECT_EQ(L"Download の説明", ItemText(IDC_DESCRIPTION));

    // The pointer leaves: the button reports id 0.
    ::SendMessageW(Item(IDC_DOWNLOAD), WM_MOUSELEAVE, 0, 0);
    Pump();
    EXPECT_EQ(general, ItemText(IDC_DESCRIPTION));
    EXPECT_FALSE(::IsWindowEnabled(Item(IDC_DESCRIPTION)));

    // The Setting button has no text of its own.
    MoveOver(IDC_PODCAST);
    MoveOver(IDC_SETTING);
    EXPECT_EQ(general, ItemText(IDC_DESCRIPTION));
    EXPECT_FALSE(::IsWindowEnabled(Item(IDC_DESCRIPTION)));
}

TEST_F(CTolvikDlgTest, EachButtonStartsItsKindsProgramWithTheTail)
{
    WriteInstallation();
    OpenWindow(L"F:");
    struct Case
    {
        UINT nId;
        const wchar_t* pszExe;
        const wchar_t* pszParameters;
    } cases[] = {
        {IDC_MUSIC, L"music.exe", L"/drive F:"},
        {IDC_PHOTO, L"photo.exe", L""},
        {IDC_VIDEO, L"video.exe", L"F:"},
    };
    for (const Case& c : cases)
    {
        m_shell.m_executed.clear();
        Click(c.nId);
        ASSERT_EQ(1u, m_shell.m_executed.size()) << c.nId;
        const CRecordingShell::ExecuteCall& call = m_shell.m_executed[0];
        EXPECT_EQ(L"", call.verb);
        EXPECT_EQ(TempFolder() + L"\\" + c.pszExe, call.file);
        EXPECT_EQ(c.pszParameters, call.parameters);
        EXPECT_EQ(L"", call.directory);
        EXPECT_EQ(SW_SHOWNORMAL, call.nShowCmd);
    }
    EXPECT_TRUE(m_shell.m_messages.empty());

    // Download with a page set opens the page.
    m_shell.m_executed.clear();
    Click(IDC_DOWNLOAD);
    ASSERT_EQ(1u, m_shell.m_executed.size());
    EXPECT_EQ(L"open", m_shell.m_executed[0].verb);
    EXPECT_EQ(L"http://127.0.0.1/velomar", m_shell.m_executed[0].file);
}

TEST_F(CTolvikDlgTest, WithoutArgumentsParametersNeedingTheTailAreDropped)
{
    WriteInstallation();
    OpenWindow(L"");
    Click(IDC_MUSIC);
    ASSERT_EQ(1u, m_shell.m_executed.size());
    EXPECT_EQ(L"", m_shell.m_executed[0].parameters);
}

TEST_F(CTolvikDlgTest, MissingProgramShowsItsErrorMessage)
{
    WriteInstallation();
    OpenWindow();
    Click(IDC_PODCAST);
    EXPECT_TRUE(m_shell.m_executed.empty());
    ASSERT_EQ(1u, m_shell.m_messages.size());
    EXPECT_EQ(L"Podcast Player がありません。\nインストールしてください。", m_shell.m_messages[0]);
    EXPECT_EQ(static_cast<UINT>(MB_OK), m_shell.m_messageTypes[0]);
}

TEST_F(CTolvikDlgTest, AlternativeLocationIsStartedWhenTheMainOneIsGone)
{
    WriteInstallation();
    const std::wstring key = TOLVIK_KEY L"\\Music";
    ASSERT_HRESULT_SUCCEEDED(
        Registry::WriteString(HKEY_LOCAL_MACHINE, key.c_str(), L"exe", L"gone.exe"));
    for (int n = 0; n < 2; ++n)
    {
        const std::wstring alt = key + L"\\ExecInfos\\ExecInfo" + std::to_wstring(n);
        ASSERT_HRESULT_SUCCEEDED(
            Registry::WriteString(HKEY_LOCAL_MACHINE, alt.c_str(), L"path", TempFolder()));
        ASSERT_HRESULT_SUCCEEDED(Registry::WriteString(HKEY_LOCAL_MACHINE, alt.c_str(), L"exe",
                                                       n == 0 ? L"also-gone.exe" : L"second.exe"));
        ASSERT_HRESULT_SUCCEEDED(Registry::WriteString(HKEY_LOCAL_MACHINE, alt.c_str(), L"param", L"-d %s"));
    }
    MakeProgram(L"second.exe");
    OpenWindow(L"G:");
    Click(IDC_MUSIC);
    ASSERT_EQ(1u, m_shell.m_executed.size());
    EXPECT_EQ(TempFolder() + L"\\second.exe", m_shell.m_executed[0].file);
    EXPECT_EQ(L"-d G:", m_shell.m_executed[0].parameters);
}

TEST_F(CTolvikDlgTest, EnterAndSpaceNeverPressAButton)
{
    WriteInstallation();
    OpenWindow();
    Pump();
    HWND hwndMusic = Item(IDC_MUSIC);
    ::SetFocus(hwndMusic);

    for (WPARAM vk : {VK_RETURN, VK_SPACE})
    {
        MSG down = {hwndMusic, WM_KEYDOWN, vk, 1};
        EXPECT_TRUE(m_pDlg->PreTranslateMessage(down)) << vk;
        ::PostMessageW(hwndMusic, WM_KEYDOWN, vk, 1);
        ::PostMessageW(hwndMusic, WM_KEYUP, vk, 0xC0000001);
        Pump();
    }
    EXPECT_TRUE(m_shell.Quiet());
    EXPECT_TRUE(::IsWindow(Hwnd())) << "Enter must not close the window";

    MSG other = {hwndMusic, WM_KEYDOWN, VK_TAB, 1};
    EXPECT_FALSE(m_pDlg->PreTranslateMessage(other));
    MSG up = {hwndMusic, WM_KEYUP, VK_RETURN, 1};
    EXPECT_FALSE(m_pDlg->PreTranslateMessage(up));

    // Esc closes the window like its close button.
    ::PostMessageW(hwndMusic, WM_KEYDOWN, VK_ESCAPE, 1);
    Pump();
    EXPECT_FALSE(::IsWindow(Hwnd()));
}

TEST_F(CTolvikDlgTest, ClosingTellsTheWatcherOnlyAboutAChangedChoice)
{
    WriteInstallation();
    const std::wstring pirro = L"C:\\Program Files\\Velomar\\Pirro\\Pirro.exe";
    ASSERT_HRESULT_SUCCEEDED(
        Registry::WriteString(HKEY_LOCAL_MACHINE, TOLVIK_PIRRO_KEY, ZEP_INSTALLED_PATH_VALUE, pirro));

    struct Case
    {
        const wchar_t* pszLabel;
        bool bStoredTicked;  // AutoLaunch 0 stored before the start
        int cClicks;
        size_t cBroadcasts;
        size_t cStarts;
    } cases[] = {
        {L"tick", false, 1, 1, 0},
        {L"tick and clear", false, 2, 0, 0},
        {L"clear", true, 1, 0, 1},
        {L"untouched", true, 0, 0, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.pszLabel);
        CAutoLaunchOption::Store(c.bStoredTicked);
        m_shell = CRecordingShell();
        OpenWindow();
        EXPECT_EQ(c.bStoredTicked, m_pDlg->AutoLaunchBox().IsChecked());
        for (int i = 0; i < c.cClicks; ++i)
        {
            Click(IDC_AUTOLAUNCH);
            // Written at each click.
            EXPECT_EQ(m_pDlg->AutoLaunchBox().IsChecked(), CAutoLaunchOption::ReadTicked());
        }
        m_shell.m_executed.clear();
        m_shell.m_broadcasts.clear();
        DestroyDialog();
        ASSERT_EQ(c.cBroadcasts, m_shell.m_broadcasts.size());
        if (c.cBroadcasts)
        {
            EXPECT_EQ(WatcherCloseMessage, m_shell.m_broadcasts[0].uMsg);
        }
        ASSERT_EQ(c.cStarts, m_shell.m_executed.size());
        if (c.cStarts)
        {
            EXPECT_EQ(pirro, m_shell.m_executed[0].file);
            EXPECT_EQ(L"", m_shell.m_executed[0].verb);
            EXPECT_EQ(L"", m_shell.m_executed[0].parameters);
        }
        m_settings.Release();
    }
}

TEST_F(CTolvikDlgTest, PlacementIsSavedAtCloseAndRestoredOnlyWhenOnScreen)
{
    WriteInstallation();
    OpenWindow();
    RECT rcCentred = {};
    ::GetWindowRect(Hwnd(), &rcCentred);
    const int cx = rcCentred.right - rcCentred.left;
    const int cy = rcCentred.bottom - rcCentred.top;
    ::SetWindowPos(Hwnd(), nullptr, 40, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    DestroyDialog();
    m_settings.Release();

    OpenWindow();
    RECT rc = {};
    ::GetWindowRect(Hwnd(), &rc);
    EXPECT_EQ(40, rc.left);
    EXPECT_EQ(50, rc.top);
    EXPECT_EQ(cx, rc.right - rc.left);
    EXPECT_EQ(cy, rc.bottom - rc.top);
    DestroyDialog();
    m_settings.Release();

    // Stored on a monitor that is gone: the window stays centred.
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof(wp);
    wp.showCmd = SW_SHOW;
    wp.rcNormalPosition = {2500, 1800, 2500 + cx, 1800 + cy};
    ASSERT_HRESULT_SUCCEEDED(
        Registry::WriteValue(HKEY_CURRENT_USER, TOLVIK_PROFILE_KEY, L"102", REG_BINARY, &wp, sizeof(wp)));
    OpenWindow();
    ::GetWindowRect(Hwnd(), &rc);
    EXPECT_EQ(rcCentred.left, rc.left);
    EXPECT_EQ(rcCentred.top, rc.top);
}

namespace
{
struct AboutSeen
{
    std::wstring title;
    std::wstring version;
    bool bFound = false;
};
AboutSeen g_about;

BOOL CALLBACK FindAbout(HWND hwnd, LPARAM)
{
    wchar_t szClass[16] = {};
    ::GetClassNameW(hwnd, szClass, 16);
    if (wcscmp(szClass, L"#32770") != 0 || ::GetDlgItem(hwnd, IDC_VERSION_TEXT) == nullptr ||
        ::GetDlgItem(hwnd, IDC_MUSIC) != nullptr)
        return TRUE;
    wchar_t szText[128] = {};
    ::GetWindowTextW(hwnd, szText, 128);
    g_about.title = szText;
    ::GetDlgItemTextW(hwnd, IDC_VERSION_TEXT, szText, 128);
    g_about.version = szText;
    g_about.bFound = true;
    ::PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
    return FALSE;
}

void CALLBACK AnswerAbout(HWND, UINT, UINT_PTR, DWORD)
{
    ::EnumThreadWindows(::GetCurrentThreadId(), FindAbout, 0);
}
}  // namespace

TEST_F(CTolvikDlgTest, SystemMenuOpensTheVersionDialog)
{
    WriteInstallation();
    OpenWindow();
    Pump();
    const UINT_PTR uTimer = ::SetTimer(nullptr, 0, 100, AnswerAbout);
    // Runs the version dialog's modal loop until the timer answers it.
    ::SendMessageW(Hwnd(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    ::KillTimer(nullptr, uTimer);
    ASSERT_TRUE(g_about.bFound);
    EXPECT_EQ(L"Velomar Launcher のバージョン情報", g_about.title);
    EXPECT_EQ(L"2.1.0.00300", g_about.version);  // the program's version resource
    EXPECT_TRUE(::IsWindow(Hwnd()));
}
