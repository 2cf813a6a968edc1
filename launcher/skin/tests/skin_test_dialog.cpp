#include "launcher/skin/tests/skin_test_dialog.h"

#include "common/unique_resource.h"
#include "launcher/skin/bitmap_cache.h"
#include "launcher/skin/skin_draw.h"
#include "launcher/skin/skin_resource_ids.h"
#include "launcher/skin/tests/skin_test_ids.h"

const UINT CSkinTestDialog::kContentIds[5] = {IDC_SKIN_MUSIC, IDC_SKIN_PHOTO, IDC_SKIN_VIDEO,
                                              IDC_SKIN_PODCAST, IDC_SKIN_DOWNLOAD};
const wchar_t* const CSkinTestDialog::kGeneralText =
    L"プレーヤーをつなぐと、このウィンドウが開きます。\r\n"
    L"ボタンを押すと、選んだアプリケーションが起動します。";

namespace
{
struct ButtonRow
{
    UINT nBitmaps[3];
    int x;
    int y;
};
const ButtonRow kRows[5] = {
    {{IDB_MUSIC_NORMAL, IDB_MUSIC_HOVER, IDB_MUSIC_PRESSED}, 21, 147},
    {{IDB_PHOTO_NORMAL, IDB_PHOTO_HOVER, IDB_PHOTO_PRESSED}, 133, 147},
    {{IDB_VIDEO_NORMAL, IDB_VIDEO_HOVER, IDB_VIDEO_PRESSED}, 245, 147},
    {{IDB_PODCAST_NORMAL, IDB_PODCAST_HOVER, IDB_PODCAST_PRESSED}, 357, 147},
    {{IDB_DOWNLOAD_NORMAL, IDB_DOWNLOAD_HOVER, IDB_DOWNLOAD_PRESSED}, 469, 147},
};
const wchar_t* const kCaptions[5] = {L"ミュージック", L"フォト", L"ビデオ", L"ポッドキャスト",
                                     L"ダウンロード"};

void MoveKeepingSize(HWND hwnd, int x, int y)
{
    ::SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
}  // namespace

CSkinTestDialog::CSkinTestDialog(UINT nTemplateId, bool bLayout)
    : CExDialog(nTemplateId), m_bLayout(bLayout)
{
}

BOOL CSkinTestDialog::OnInitDialog()
{
    CExDialog::OnInitDialog();
    HWND hwnd = GetHwnd();
    if (!m_bLayout)
        return TRUE;

    HINSTANCE hInstance = ::GetModuleHandleW(nullptr);
    m_hIconBig = static_cast<HICON>(::LoadImageW(hInstance, MAKEINTRESOURCEW(IDI_SKIN_TITLE_ICON),
                                                 IMAGE_ICON, 32, 32, LR_SHARED));
    m_hIconSmall = static_cast<HICON>(::LoadImageW(
        hInstance, MAKEINTRESOURCEW(IDI_SKIN_TITLE_ICON), IMAGE_ICON, 16, 16, LR_SHARED));
    ::SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIconBig));
    ::SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIconSmall));

    RECT rc = {0, 0, 600, 290};
    ::AdjustWindowRectEx(&rc, static_cast<DWORD>(::GetWindowLongPtrW(hwnd, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongPtrW(hwnd, GWL_EXSTYLE)));
    ::SetWindowPos(hwnd, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    m_hbmBackground = CBitmapCache::getBitmap(IDB_TOLVIK_BACKGROUND);

    m_stcDescription.SubclassDlgItem(IDC_SKIN_DESCRIPTION, hwnd);
    ::SetWindowPos(m_stcDescription.GetHwnd(), nullptr, (600 - 550) / 2, 24, 550, 122,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowTextW(m_stcDescription.GetHwnd(), kGeneralText);

    m_chkAuto.SubclassDlgItem(IDC_SKIN_AUTO, hwnd);
    ::SetWindowTextW(m_chkAuto.GetHwnd(), L"プレーヤー接続時にこのウィンドウを開かない");
    m_chkAuto.LoadBitmaps();
    ::SetWindowPos(m_chkAuto.GetHwnd(), nullptr, 4, 258, 500, 22, SWP_NOZORDER | SWP_NOACTIVATE);
    m_chkAuto.RecalcFont(CExCheckBox::kFontBase);
    m_chkAuto.FitToText();

    for (int i = 0; i < 5; ++i)
    {
        CEx1PartsButton& button = m_btnContent[i];
        button.SubclassDlgItem(kContentIds[i], hwnd);
        ::ShowWindow(button.GetHwnd(), SW_SHOWNA);
        ::SetWindowTextW(button.GetHwnd(), kCaptions[i]);
        button.SetBitmaps(kRows[i].nBitmaps[0], kRows[i].nBitmaps[1], kRows[i].nBitmaps[2]);
        MoveKeepingSize(button.GetHwnd(), kRows[i].x, kRows[i].y);
        button.SetPressedOffset(0, 1);
    }
    m_btnSetting.SubclassDlgItem(IDC_SKIN_SETTING, hwnd);
    m_btnSetting.SetBitmaps(IDB_SETTING_NORMAL, IDB_SETTING_HOVER, IDB_SETTING_PRESSED);
    ::SetWindowTextW(m_btnSetting.GetHwnd(), L"設定");
    m_btnSetting.SetCaptionTop(2);
    m_btnSetting.SetPressedOffset(0, 1);
    m_btnSetting.SetFontSize(100);
    MoveKeepingSize(m_btnSetting.GetHwnd(), 508, 258);
    return TRUE;
}

bool CSkinTestDialog::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult)
{
    switch (uMsg)
    {
    case WM_TOLVIK_HOVER:
    case WM_TOLVIK_CHECKCHANGED:
        m_vecNotifications.push_back({uMsg, wParam, lParam});
        lResult = 0;
        return true;
    case WM_ERASEBKGND:
        if (m_hbmBackground)
        {
            ++m_nEraseCount;
            HDC hdc = reinterpret_cast<HDC>(wParam);
            UniqueCreatedDC hdcMem(::CreateCompatibleDC(hdc));
            HGDIOBJ hOld = ::SelectObject(hdcMem.Get(), m_hbmBackground);
            const SIZE size = skin::BitmapSize(m_hbmBackground);
            ::BitBlt(hdc, 0, 0, size.cx, size.cy, hdcMem.Get(), 0, 0, SRCCOPY);
            ::SelectObject(hdcMem.Get(), hOld);
            lResult = 1;
            return true;
        }
        break;
    default:
        break;
    }
    return CExDialog::OnMessage(uMsg, wParam, lParam, lResult);
}

void CSkinTestDialog::OnCommand(WORD wId, WORD wNotifyCode, HWND hwndControl)
{
    m_vecNotifications.push_back(
        {WM_COMMAND, MAKEWPARAM(wId, wNotifyCode), reinterpret_cast<LPARAM>(hwndControl)});
    if (wId == IDCANCEL)
        CExDialog::OnCommand(wId, wNotifyCode, hwndControl);
}
