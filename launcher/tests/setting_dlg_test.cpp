// The settings dialog driven hidden: first run, choosing programs (custom, refused, cancelled),
// the update page, and what OK and Cancel leave on disk and in the registry.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "common/com_init.h"
#include "common/gdiplus_session.h"
#include "common/registry.h"
#include "common/testing/zeptest.h"
#include "launcher/resource.h"
#include "launcher/select_app_file_dlg.h"
#include "launcher/setting_dlg.h"
#include "launcher/tolvik_constants.h"
#include "launcher/tolvik_dlg.h"
#include "launcher/tests/recording_shell.h"
#include "launcher/settings/launcher_settings.h"
#include "launcher/settings/settings_paths.h"
#include "launcher/settings/settings_registry.h"
#include "launcher/settings/update_schedule.h"
#include "launcher/settings/tests/settings_test_util.h"

using namespace settingstest;

namespace
{
const wchar_t* const kKindKeys[] = {LAUNCHER_MUSIC_KEY, LAUNCHER_PHOTO_KEY, LAUNCHER_VIDEO_KEY, LAUNCHER_PODCAST_KEY};
const wchar_t* const kKindNames[] = {L"music", L"photo", L"video", L"podcast"};

class CFakeChooser : public IAppFileChooser
{
public:
    bool Choose(HWND, const std::wstring& strInitialFile, std::wstring& strChosen) override
    {
        m_initialFiles.push_back(strInitialFile);
        if (m_strAnswer.empty())
            return false;
        strChosen = m_strAnswer;
        return true;
    }
    std::wstring m_strAnswer;  // empty: the user cancels
    std::vector<std::wstring> m_initialFiles;
};

// What the settings dialog looked like when it came up inside the main window, answered with a
// button from a timer that its modal loop serves.
struct CSeenDialog
{
    UINT nAnswer = IDOK;
    int nSeen = 0;
    bool bCancelEnabled = false;
};
CSeenDialog* g_pSeen = nullptr;

BOOL CALLBACK FindSettingsDialog(HWND hwnd, LPARAM lParam)
{
    wchar_t szTitle[32] = {};
    ::GetWindowTextW(hwnd, szTitle, 32);
    if (::IsWindowVisible(hwnd) && wcscmp(szTitle, L"設定") == 0)
    {
        *reinterpret_cast<HWND*>(lParam) = hwnd;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK AnswerSettings(HWND, UINT, UINT_PTR, DWORD)
{
    HWND hwnd = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), FindSettingsDialog, reinterpret_cast<LPARAM>(&hwnd));
    if (hwnd == nullptr || g_pSeen == nullptr)
        return;
    ++g_pSeen->nSeen;
    g_pSeen->bCancelEnabled = ::IsWindowEnabled(::GetDlgItem(hwnd, IDCANCEL)) != FALSE;
    ::PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(g_pSeen->nAnswer, BN_CLICKED), 0);
}

class SettingDlgTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_com.Succeeded());
        m_strDir = zeptest::TestTempDir();
        m_strDir.pop_back();
        SetLauncherDataFolderOverride(m_strDir + L"\\data");
    }
    void TearDown() override
    {
        m_pDlg.reset();
        Pump();
        m_settings.Release();
        SetLauncherDataFolderOverride(std::wstring());
    }

    // Every kind defaults to "<Kind> Player" (present when bInstalled), and offers it, an
    // "Other Player" that is not installed, and the custom template.
    void Install(bool bInstalled)
    {
        ASSERT_TRUE(zeptest::WriteFileBytes(m_strDir + L"\\player.exe", "MZ", 2));
        for (size_t i = 0; i < 4; ++i)
        {
            const std::wstring key = kKindKeys[i];
            const std::wstring name = std::wstring(kKindNames[i]) + L" Player";
            AppEntry player = MakeEntry(name, m_strDir, bInstalled ? L"player.exe" : L"gone.exe");
            WriteRegistryEntry(key, player);
            WriteRegistryEntry(key + L"\\A", player);
            WriteRegistryEntry(key + L"\\B", MakeEntry(L"Other Player", m_strDir, L"other.exe"));
            AppEntry custom = MakeEntry(L"Custom");
            custom.errormsg = L"custom program missing";
            WriteRegistryEntry(key + L"\\C", custom);
        }
    }

    CSettingDlg& Open(bool bMandatory)
    {
        m_settings.Load();
        m_pDlg.reset(new CSettingDlg(bMandatory, m_settings, m_shell, m_chooser));
        EXPECT_NE(nullptr, m_pDlg->Create(nullptr));
        return *m_pDlg;
    }

    void Pump()
    {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }

    HWND Dlg() const { return m_pDlg->GetHwnd(); }
    HWND OptionItem(UINT nId) const { return ::GetDlgItem(m_pDlg->OptionPage().GetHwnd(), nId); }
    HWND UpdateItem(UINT nId) const { return ::GetDlgItem(m_pDlg->UpdatePage().GetHwnd(), nId); }
    HWND Combo(size_t nKind) const { return OptionItem(COptionDlg::ComboId(nKind)); }

    int Selected(size_t nKind) const { return static_cast<int>(::SendMessageW(Combo(nKind), CB_GETCURSEL, 0, 0)); }
    std::wstring ItemText(size_t nKind, int nItem) const
    {
        wchar_t sz[1024] = {};
        ::SendMessageW(Combo(nKind), CB_GETLBTEXT, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(sz));
        return sz;
    }
    int ItemCount(size_t nKind) const { return static_cast<int>(::SendMessageW(Combo(nKind), CB_GETCOUNT, 0, 0)); }

    // What the user does with the mouse: select an item, which notifies the page.
    void Pick(size_t nKind, int nItem)
    {
        ::SendMessageW(Combo(nKind), CB_SETCURSEL, static_cast<WPARAM>(nItem), 0);
        ::SendMessageW(m_pDlg->OptionPage().GetHwnd(), WM_COMMAND,
                       MAKEWPARAM(COptionDlg::ComboId(nKind), CBN_SELCHANGE), reinterpret_cast<LPARAM>(Combo(nKind)));
        Pump();
    }
    void Command(UINT nId)
    {
        ::SendMessageW(Dlg(), WM_COMMAND, MAKEWPARAM(nId, BN_CLICKED), 0);
        Pump();
    }

    std::wstring SettingsFile() const { return m_strDir + L"\\data\\TOLVIKSetting.xml"; }

    CComInitScope m_com;
    std::wstring m_strDir;
    CLauncherSettings m_settings;
    CRecordingShell m_shell;
    CFakeChooser m_chooser;
    std::unique_ptr<CSettingDlg> m_pDlg;
};
}  // namespace

TEST_F(SettingDlgTest, FirstRunWithNothingInstalledCanOnlyBeLeftWithOkAndStoresNotSelected)
{
    Install(false);
    CSettingDlg& dlg = Open(true);
    ASSERT_TRUE(m_settings.IsFirstRun());

    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(Dlg(), IDCANCEL)));
    EXPECT_TRUE(::GetMenuState(::GetSystemMenu(Dlg(), FALSE), SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED);
    for (size_t i = 0; i < 4; ++i)
    {
        SCOPED_TRACE(kKindNames[i]);
        EXPECT_EQ(0, Selected(i));
        EXPECT_EQ(L" ", ItemText(i, 0));
        EXPECT_EQ(std::wstring(kKindNames[i]) + L" Player (インストールされていません)", ItemText(i, 1));
        EXPECT_EQ(L"カスタム...", ItemText(i, ItemCount(i) - 1));
    }

    // Esc, the close item and the close box all arrive as IDCANCEL or WM_CLOSE.
    Command(IDCANCEL);
    ::SendMessageW(Dlg(), WM_CLOSE, 0, 0);
    Pump();
    ASSERT_TRUE(::IsWindow(dlg.GetHwnd())) << "the first-run dialog must stay";
    std::string bytes;
    EXPECT_FALSE(zeptest::ReadFileBytes(SettingsFile(), bytes));

    Command(IDOK);
    EXPECT_EQ(nullptr, dlg.GetHwnd());
    auto doc = LoadXmlFile(SettingsFile());
    ASSERT_TRUE(doc);
    EXPECT_EQ(L"false", NodeText(doc.Get(), L"velomar_launcher/tolvik/first_exec"));
    for (const wchar_t* pszKind : kKindNames)
    {
        EXPECT_EQ(L"Not Selected", NodeText(doc.Get(), std::wstring(L"velomar_launcher/tolvik/") + pszKind + L"/name"));
        EXPECT_EQ(L"custom program missing",
                  NodeText(doc.Get(), std::wstring(L"velomar_launcher/tolvik/") + pszKind + L"/errormsg"));
    }
    // The update page was saved too, with what it showed: check at start, weekly.
    const UpdateScheduleValues values = ReadUpdateScheduleValues();
    ASSERT_TRUE(values.m_bHasUpdateStart && values.m_bHasUpdateFrequency);
    EXPECT_EQ(1, values.m_byUpdateStart);
    EXPECT_EQ(2u, values.m_dwUpdateFrequency);
}

TEST_F(SettingDlgTest, CustomProgramIsShownShortenedAndStoredAsFolderAndFile)
{
    Install(true);
    Open(false);
    ASSERT_EQ(1, Selected(0));
    const int nCustom = ItemCount(0) - 1;

    // Cancelling the file dialog keeps the item that was selected.
    Pick(0, nCustom);
    EXPECT_EQ(1, Selected(0));
    ASSERT_EQ(1u, m_chooser.m_initialFiles.size());
    EXPECT_EQ(m_strDir + L"\\player.exe", m_chooser.m_initialFiles[0]) << "the dialog starts at the current program";

    m_chooser.m_strAnswer = L"C:\\Tools\\player.exe";
    Pick(0, nCustom);
    EXPECT_EQ(nCustom, Selected(0));
    EXPECT_EQ(L"カスタム... (C:\\Tools\\player.exe)", ItemText(0, nCustom));

    // A path too long for the box loses its middle, and the text then fits the item area.
    m_chooser.m_strAnswer = L"C:\\Program Files\\A Rather Long Vendor Name\\Another Quite Long Folder\\"
                            L"And One More Level\\Deeper Still\\video-player.exe";
    Pick(2, ItemCount(2) - 1);
    const std::wstring shortened = ItemText(2, ItemCount(2) - 1);
    EXPECT_EQ(0u, shortened.find(L"カスタム... (C:\\")) << std::string(shortened.begin(), shortened.end());
    EXPECT_NE(std::wstring::npos, shortened.find(L"...\\")) << "the middle is replaced";
    EXPECT_NE(std::wstring::npos, shortened.find(L"video-player.exe)"));
    {
        HWND hwndCombo = Combo(2);
        COMBOBOXINFO info = {sizeof(info)};
        ASSERT_TRUE(::GetComboBoxInfo(hwndCombo, &info));
        HDC hdc = ::GetDC(hwndCombo);
        HGDIOBJ hOld = ::SelectObject(hdc, reinterpret_cast<HFONT>(::SendMessageW(hwndCombo, WM_GETFONT, 0, 0)));
        SIZE size = {};
        ::GetTextExtentPoint32W(hdc, shortened.c_str(), static_cast<int>(shortened.size()), &size);
        ::SelectObject(hdc, hOld);
        ::ReleaseDC(hwndCombo, hdc);
        EXPECT_LE(size.cx, info.rcItem.right - info.rcItem.left);
    }

    Command(IDOK);
    auto doc = LoadXmlFile(SettingsFile());
    ASSERT_TRUE(doc);
    EXPECT_EQ(L"Custom", NodeText(doc.Get(), L"velomar_launcher/tolvik/music/name"));
    EXPECT_EQ(L"C:\\Tools", NodeText(doc.Get(), L"velomar_launcher/tolvik/music/path"));
    EXPECT_EQ(L"player.exe", NodeText(doc.Get(), L"velomar_launcher/tolvik/music/exe"));
    EXPECT_EQ(L"custom program missing", NodeText(doc.Get(), L"velomar_launcher/tolvik/music/errormsg"));
    EXPECT_EQ(L"photo Player", NodeText(doc.Get(), L"velomar_launcher/tolvik/photo/name"));
    EXPECT_EQ(L"video-player.exe", NodeText(doc.Get(), L"velomar_launcher/tolvik/video/exe"));
    EXPECT_EQ(L"false", NodeText(doc.Get(), L"velomar_launcher/tolvik/first_exec"));
}

TEST_F(SettingDlgTest, UninstalledCandidateIsRefusedWithAMessageAndCancelStoresNothing)
{
    Install(true);
    Open(false);
    ASSERT_EQ(L"Other Player (インストールされていません)", ItemText(3, 2));
    Pick(3, 2);
    ASSERT_EQ(1u, m_shell.m_messages.size());
    EXPECT_EQ(L"Other Player がインストールされていないため選択できません。", m_shell.m_messages[0]);
    EXPECT_EQ(static_cast<UINT>(MB_OK), m_shell.m_messageTypes[0]);
    EXPECT_EQ(1, Selected(3)) << "the previous choice is selected again";

    Pick(3, 0);
    EXPECT_EQ(0, Selected(3));
    EXPECT_EQ(1u, m_shell.m_messages.size());

    Command(IDCANCEL);
    EXPECT_EQ(nullptr, m_pDlg->GetHwnd());
    std::string bytes;
    EXPECT_FALSE(zeptest::ReadFileBytes(SettingsFile(), bytes));
    EXPECT_FALSE(ReadUpdateScheduleValues().m_bHasUpdateStart);
}

TEST_F(SettingDlgTest, TabsSwitchPagesAndTheUpdatePageFollowsItsBox)
{
    Install(true);
    ASSERT_HRESULT_SUCCEEDED(Registry::WriteDword(HKEY_LOCAL_MACHINE, LAUNCHER_UPDATE_KEY, L"UpdateFrequency", 1));
    Open(false);
    HWND hwndOption = m_pDlg->OptionPage().GetHwnd();
    HWND hwndUpdate = m_pDlg->UpdatePage().GetHwnd();
    EXPECT_TRUE(::GetWindowLongPtrW(hwndOption, GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(::GetWindowLongPtrW(hwndUpdate, GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(m_pDlg->Tab(), ::GetParent(hwndOption));
    EXPECT_TRUE(::GetWindowLongPtrW(hwndUpdate, GWL_EXSTYLE) & WS_EX_CONTROLPARENT);

    wchar_t szTab[64] = {};
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = szTab;
    item.cchTextMax = 64;
    ::SendMessageW(m_pDlg->Tab(), TCM_GETITEMW, 1, reinterpret_cast<LPARAM>(&item));
    EXPECT_STREQ(L"更新情報の確認", szTab);

    ::SendMessageW(m_pDlg->Tab(), TCM_SETCURSEL, 1, 0);
    NMHDR header = {m_pDlg->Tab(), IDC_SETTING_TAB, static_cast<UINT>(TCN_SELCHANGE)};
    ::SendMessageW(Dlg(), WM_NOTIFY, IDC_SETTING_TAB, reinterpret_cast<LPARAM>(&header));
    EXPECT_FALSE(::GetWindowLongPtrW(hwndOption, GWL_STYLE) & WS_VISIBLE);
    EXPECT_TRUE(::GetWindowLongPtrW(hwndUpdate, GWL_STYLE) & WS_VISIBLE);

    // Stored daily; the buttons stack weekly, daily, every start from the top.
    EXPECT_EQ(BST_CHECKED, ::SendMessageW(UpdateItem(IDC_FREQUENCY_DAILY), BM_GETCHECK, 0, 0));
    RECT rcWeekly, rcDaily, rcEvery;
    ::GetWindowRect(UpdateItem(IDC_FREQUENCY_WEEKLY), &rcWeekly);
    ::GetWindowRect(UpdateItem(IDC_FREQUENCY_DAILY), &rcDaily);
    ::GetWindowRect(UpdateItem(IDC_FREQUENCY_EVERY_START), &rcEvery);
    EXPECT_LT(rcWeekly.top, rcDaily.top);
    EXPECT_LT(rcDaily.top, rcEvery.top);

    ASSERT_EQ(BST_CHECKED, ::SendMessageW(UpdateItem(IDC_UPDATE_AT_START), BM_GETCHECK, 0, 0));
    ::SendMessageW(UpdateItem(IDC_UPDATE_AT_START), BM_CLICK, 0, 0);
    Pump();
    EXPECT_FALSE(::IsWindowEnabled(UpdateItem(IDC_FREQUENCY_WEEKLY)));
    EXPECT_FALSE(::IsWindowEnabled(UpdateItem(IDC_FREQUENCY_EVERY_START)));
    ::SendMessageW(UpdateItem(IDC_UPDATE_AT_START), BM_CLICK, 0, 0);
    Pump();
    EXPECT_TRUE(::IsWindowEnabled(UpdateItem(IDC_FREQUENCY_WEEKLY)));

    // Check now: a manual start, whatever the schedule says.
    ::SendMessageW(UpdateItem(IDC_UPDATE_NOW), BM_CLICK, 0, 0);
    Pump();
    ASSERT_EQ(1u, m_shell.m_executed.size());
    EXPECT_EQ(0u, m_shell.m_executed[0].parameters.find(L" /M MANUAL  /C PA001 "));
    EXPECT_EQ(SW_HIDE, m_shell.m_executed[0].nShowCmd);

    ::SendMessageW(UpdateItem(IDC_FREQUENCY_WEEKLY), BM_CLICK, 0, 0);
    ::SendMessageW(UpdateItem(IDC_UPDATE_AT_START), BM_CLICK, 0, 0);
    Pump();
    Command(IDOK);
    const UpdateScheduleValues values = ReadUpdateScheduleValues();
    EXPECT_EQ(0, values.m_byUpdateStart);
    EXPECT_EQ(2u, values.m_dwUpdateFrequency);
}

TEST_F(SettingDlgTest, MainWindowOpensItMandatoryOnTheFirstRunAndStartsTheDueCheck)
{
    CGdiplusSession gdiplus;
    ASSERT_TRUE(gdiplus.Succeeded());
    Install(true);
    ASSERT_HRESULT_SUCCEEDED(Registry::WriteString(HKEY_LOCAL_MACHINE, TOLVIK_KEY, ZEP_INSTALLED_PATH_VALUE,
                                                   L"C:\\Velomar\\Tolvik.exe"));
    m_settings.Load();
    ASSERT_TRUE(m_settings.IsFirstRun());

    CSeenDialog seen;
    g_pSeen = &seen;
    const UINT_PTR idTimer = ::SetTimer(nullptr, 0, 100, AnswerSettings);
    {
        CTolvikDlg window(m_settings, L"F:", m_shell);
        ASSERT_NE(nullptr, window.Create(nullptr));
        // The first-run request opens the dialog; its modal loop also serves the check that
        // the window asked for right after it.
        for (int i = 0; i < 50 && m_shell.m_executed.empty(); ++i)
        {
            Pump();
            ::Sleep(20);
        }
        EXPECT_EQ(1, seen.nSeen);
        EXPECT_FALSE(seen.bCancelEnabled) << "first run: mandatory";
        ASSERT_EQ(1u, m_shell.m_executed.size());
        EXPECT_EQ(L"C:\\Velomar\\UpdateChecker\\Quenta.exe", m_shell.m_executed[0].file);
        EXPECT_EQ(0u, m_shell.m_executed[0].parameters.find(L" /M AUTO  /C PA001 "));

        // The Setting button: the same dialog, which may now be cancelled.
        seen.nAnswer = IDCANCEL;
        ::SendMessageW(window.GetHwnd(), WM_COMMAND, MAKEWPARAM(IDC_SETTING, BN_CLICKED), 0);
        EXPECT_EQ(2, seen.nSeen);
        EXPECT_TRUE(seen.bCancelEnabled);
        ::DestroyWindow(window.GetHwnd());
        Pump();
    }
    ::KillTimer(nullptr, idTimer);
    g_pSeen = nullptr;
    auto doc = LoadXmlFile(SettingsFile());
    ASSERT_TRUE(doc);
    EXPECT_EQ(L"false", NodeText(doc.Get(), L"velomar_launcher/tolvik/first_exec"));
}
