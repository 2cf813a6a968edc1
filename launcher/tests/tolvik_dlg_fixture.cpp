#include "launcher/tests/tolvik_dlg_fixture.h"

#include "common/registry.h"
#include "common/testing/zeptest.h"
#include "launcher/tolvik_constants.h"
#include "launcher/settings/settings_paths.h"

namespace
{
void Put(const std::wstring& key, const wchar_t* pszName, const std::wstring& value)
{
    ASSERT_HRESULT_SUCCEEDED(Registry::WriteString(HKEY_LOCAL_MACHINE, key.c_str(), pszName, value));
}
}  // namespace

void CTolvikDlgTest::SetUp()
{
    ASSERT_TRUE(m_com.Succeeded());
    ASSERT_TRUE(m_gdiplus.Succeeded());
    SetLauncherDataFolderOverride(zeptest::TestTempDir() + L"data");
}

void CTolvikDlgTest::TearDown()
{
    DestroyDialog();
    m_settings.Release();
    SetLauncherDataFolderOverride(std::wstring());
}

std::wstring CTolvikDlgTest::MakeProgram(const std::wstring& name)
{
    const std::wstring path = zeptest::TestTempDir() + name;
    EXPECT_TRUE(zeptest::WriteFileBytes(path, "MZ", 2));
    return path;
}

void CTolvikDlgTest::WriteInstallation()
{
    const std::wstring tolvik = TOLVIK_KEY;
    Put(tolvik, L"Description", L"コンテンツを選んでください。\\r\\nボタンを押すとソフトウェアが起動します。");
    Put(tolvik + L"\\Auto", L"Caption", L"プレーヤー接続時に自動で起動しない");

    std::wstring folder = zeptest::TestTempDir();
    folder.pop_back();
    MakeProgram(L"music.exe");
    MakeProgram(L"photo.exe");
    MakeProgram(L"video.exe");
    struct Kind
    {
        const wchar_t* pszKey;
        const wchar_t* pszCaption;  // nullptr: none stored
        const wchar_t* pszName;
        const wchar_t* pszExe;
        const wchar_t* pszParam;
    } kinds[] = {
        {L"\\Music", L"ミュージック", L"Music Player", L"music.exe", L"/drive %s"},
        {L"\\Photo", L"フォト", L"Photo Viewer", L"photo.exe", L""},
        {L"\\Video", L"ビデオ", L"Video Player", L"video.exe", L"%s"},
        {L"\\Podcast", nullptr, L"Podcast Player", L"podcast.exe", L"%s"},  // not installed
    };
    for (const Kind& kind : kinds)
    {
        const std::wstring key = tolvik + kind.pszKey;
        if (kind.pszCaption)
            Put(key, L"Caption", kind.pszCaption);
        Put(key, L"Description", std::wstring(kind.pszName) + L" の説明");
        Put(key, L"name", kind.pszName);
        Put(key, L"errormsg", std::wstring(kind.pszName) + L" がありません。\\nインストールしてください。");
        Put(key, L"path", folder);
        Put(key, L"exe", kind.pszExe);
        Put(key, L"param", kind.pszParam);
    }
    Put(tolvik + L"\\Download", L"Caption", L"ダウンロード");
    Put(tolvik + L"\\Download", L"Description", L"Download の説明");
    Put(tolvik + L"\\Download", L"Url", L"http://127.0.0.1/velomar");
}

CTestTolvikDlg& CTolvikDlgTest::OpenWindow(const std::wstring& tail)
{
    m_settings.Load();
    m_pDlg.reset(new CTestTolvikDlg(m_settings, tail, m_shell));
    HWND hwnd = m_pDlg->Create(nullptr);
    EXPECT_NE(nullptr, hwnd);
    return *m_pDlg;
}

void CTolvikDlgTest::DestroyDialog()
{
    if (Hwnd() != nullptr)
        ::DestroyWindow(Hwnd());
    Pump();
    m_pDlg.reset();
}

void CTolvikDlgTest::Pump()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    {
        if (m_pDlg && Hwnd() != nullptr)
            m_pDlg->ProcessMessage(msg);
        else
        {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

RECT CTolvikDlgTest::ItemRect(UINT nId) const
{
    RECT rc = {};
    ::GetWindowRect(Item(nId), &rc);
    ::MapWindowPoints(nullptr, Hwnd(), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

std::wstring CTolvikDlgTest::ItemText(UINT nId) const
{
    wchar_t sz[1024] = {};
    ::GetWindowTextW(Item(nId), sz, 1024);
    return sz;
}

void CTolvikDlgTest::Click(UINT nId)
{
    HWND hwnd = Item(nId);
    const LPARAM pt = MAKELPARAM(5, 5);
    ::SendMessageW(hwnd, WM_MOUSEMOVE, 0, pt);
    ::SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, pt);
    ::SendMessageW(hwnd, WM_LBUTTONUP, 0, pt);
    Pump();
}

void CTolvikDlgTest::MoveOver(UINT nId)
{
    ::SendMessageW(Item(nId), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    Pump();
}
