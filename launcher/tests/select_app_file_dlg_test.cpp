// The program file dialog is the system's own: answered here from a timer on this thread, which
// its modal loop keeps serving.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/testing/zeptest.h"
#include "launcher/select_app_file_dlg.h"

namespace
{
// The file name box: an edit in the older template, a combo box's edit in the newer one.
const UINT kFileNameIds[] = {0x480, 0x47c};
const UINT kFileTypeId = 0x470;

struct CAnswer
{
    std::wstring strTyped;  // typed into the name box before OK; empty: Cancel
    bool bSeen = false;
    std::wstring strInitial;
    std::wstring strFirstType;
};
CAnswer* g_pAnswer = nullptr;

BOOL CALLBACK FindFileDialog(HWND hwnd, LPARAM lParam)
{
    wchar_t szTitle[128] = {};
    ::GetWindowTextW(hwnd, szTitle, 128);
    if (::IsWindowVisible(hwnd) && wcscmp(szTitle, L"実行するプログラムの指定") == 0)
    {
        *reinterpret_cast<HWND*>(lParam) = hwnd;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK AnswerTimer(HWND, UINT, UINT_PTR idEvent, DWORD)
{
    HWND hwndDialog = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), FindFileDialog, reinterpret_cast<LPARAM>(&hwndDialog));
    if (hwndDialog == nullptr || g_pAnswer == nullptr || g_pAnswer->bSeen)
        return;
    g_pAnswer->bSeen = true;
    ::KillTimer(nullptr, idEvent);
    wchar_t sz[1024] = {};
    for (UINT nId : kFileNameIds)
    {
        if (g_pAnswer->strInitial.empty() && ::GetDlgItemTextW(hwndDialog, nId, sz, 1024) > 0)
            g_pAnswer->strInitial = sz;
    }
    HWND hwndTypes = ::GetDlgItem(hwndDialog, kFileTypeId);
    if (::SendMessageW(hwndTypes, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(sz)) != CB_ERR)
        g_pAnswer->strFirstType = sz;
    if (g_pAnswer->strTyped.empty())
    {
        ::PostMessageW(hwndDialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return;
    }
    for (UINT nId : kFileNameIds)
        ::SetDlgItemTextW(hwndDialog, nId, g_pAnswer->strTyped.c_str());
    ::PostMessageW(hwndDialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

bool RunDialog(CAnswer& answer, const std::wstring& strInitial, std::wstring& strChosen)
{
    g_pAnswer = &answer;
    const UINT_PTR idTimer = ::SetTimer(nullptr, 0, 100, AnswerTimer);
    const bool bChosen = CSelectAppFileDlg().Choose(nullptr, strInitial, strChosen);
    ::KillTimer(nullptr, idTimer);
    g_pAnswer = nullptr;
    return bChosen;
}

std::wstring CurrentDirectory()
{
    wchar_t sz[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, sz);
    return sz;
}
}  // namespace

TEST(SelectAppFileDlgTest, TitleFilterInitialFileAndTheChosenProgram)
{
    const std::wstring dir = zeptest::TestTempDir();
    ASSERT_TRUE(zeptest::WriteFileBytes(dir + L"current.exe", "MZ", 2));
    ASSERT_TRUE(zeptest::WriteFileBytes(dir + L"player.exe", "MZ", 2));

    ASSERT_TRUE(::SetCurrentDirectoryW(zeptest::ExeDir().c_str()));
    const std::wstring strWorkingFolder = CurrentDirectory();

    CAnswer answer;
    answer.strTyped = dir + L"player.exe";
    std::wstring chosen;
    ASSERT_TRUE(RunDialog(answer, dir + L"current.exe", chosen));
    EXPECT_EQ(strWorkingFolder, CurrentDirectory()) << "the programs the launcher starts inherit its working folder";
    EXPECT_TRUE(answer.bSeen);
    EXPECT_NE(std::wstring::npos, answer.strInitial.find(L"current.exe")) << "starts at the current program";
    EXPECT_NE(std::wstring::npos, answer.strFirstType.find(L"プログラム"));
    EXPECT_EQ(dir + L"player.exe", chosen);

    // Typed without its extension, the name gets ".exe".
    CAnswer bare;
    bare.strTyped = dir + L"player";
    ASSERT_TRUE(RunDialog(bare, L"", chosen));
    EXPECT_EQ(dir + L"player.exe", chosen);
}

TEST(SelectAppFileDlgTest, CancelChoosesNothing)
{
    CAnswer answer;
    std::wstring chosen = L"unchanged";
    EXPECT_FALSE(RunDialog(answer, L"", chosen));
    EXPECT_TRUE(answer.bSeen);
    EXPECT_EQ(L"unchanged", chosen);
}
