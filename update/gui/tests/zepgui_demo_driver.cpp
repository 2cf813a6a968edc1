// Shows one update window through the registered component, as the update client would, so
// that a screenshot can be taken; then closes it.
//
//   zepgui_demo_driver WINDOW READY_FILE DONE_FILE
// WINDOW: confirm-firmware, confirm-software, confirm-info, download, update, marquee, error.
// When the window is up (with a remaining time for "download"), its screen rectangle
// "left top right bottom" is written to READY_FILE; the window is closed once DONE_FILE exists.
// Exit code 0 when the window was shown and closed as expected.
#include <windows.h>
#include <wrl/client.h>

#include <cstdio>
#include <string>
#include <thread>

#include "common/com_init.h"
#include "common/dialog_finder.h"
#include "common/scoped_bstr.h"
#include "common/string_util.h"
#include "common/unique_resource.h"
#include "zep_gui_library.h"

using Microsoft::WRL::ComPtr;

namespace
{
bool WriteText(const std::wstring& path, const std::string& text)
{
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD cbWritten = 0;
    return file && ::WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &cbWritten, nullptr) &&
           cbWritten == text.size();
}

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

struct CDemo
{
    std::wstring strWindow;
    std::wstring strReady;
    std::wstring strDone;
    IZepAutoUpdateGUI* pGui = nullptr;
    DWORD dwMainThread = 0;
    bool bShown = false;

    // The other thread: feeds the window, reports it, waits for the screenshot, closes it.
    void Drive()
    {
        const HWND hwnd = WaitForThreadDialog(dwMainThread);
        if (!hwnd)
            return;
        if (strWindow == L"download")
        {
            pGui->SetDownloadProgress(nullptr, 12);
            ::Sleep(2500);
            pGui->SetDownloadProgress(nullptr, 37);
        }
        else if (strWindow == L"update")
        {
            pGui->SetUpdateProgress(nullptr, 40);
        }
        ::Sleep(700);  // painted, and the marquee running
        RECT rc = {};
        ::GetWindowRect(hwnd, &rc);
        const std::string strRect = WideToUtf8(FormatString(L"%ld %ld %ld %ld\n", rc.left, rc.top, rc.right, rc.bottom));
        WriteText(strReady, strRect);
        bShown = true;
        for (int i = 0; i < 1200 && !FileExists(strDone); ++i)
            ::Sleep(50);
        if (strWindow == L"download")
            pGui->CloseDownloadProgressBar(nullptr);
        else if (strWindow == L"update")
            pGui->CloseUpdateProgressBar(nullptr);
        else if (strWindow == L"marquee")
            pGui->CloseMarqueeProgressBar(nullptr);
        else
            ::PostMessageW(hwnd, WM_COMMAND, strWindow == L"error" ? IDOK : IDCANCEL, 0);
    }

    HRESULT Show()
    {
        if (strWindow.rfind(L"confirm-", 0) == 0)
        {
            const bool bFirmware = strWindow == L"confirm-firmware";
            const bool bInfo = strWindow == L"confirm-info";
            CScopedBstr service(L"VLFW");
            CScopedBstr app(bFirmware ? L"VM-Q3" : L"Velomar Launcher");
            CScopedBstr detail(
                bFirmware ? L"ファームウェア 2.1 の変更点:\r\n・再生リストの並べ替えができるようになりました。\r\n"
                            L"・電池の残量表示をより正確にしました。\r\n・いくつかの不具合を修正しました。\r\n\r\n"
                            L"更新には約 5 分かかります。更新中はプレーヤーを取り外さないでください。"
                : bInfo ? L"Velomar Launcher の新しい使い方ガイドを公開しました。\r\n"
                          L"［OK］を押すと、お知らせのページを開きます。"
                        : L"Velomar Launcher 2.2 の変更点:\r\n・ポッドキャストの起動ボタンを追加しました。\r\n"
                          L"・起動時の更新確認を速くしました。");
            CScopedBstr url(L"http://updates.example.com/velomar/notice.html");
            ZEP_UPDATED_INFO info = {};
            info.m_bstrServiceID = service.Get();
            info.m_bstrAppName = app.Get();
            info.m_bstrUpdateDetail = detail.Get();
            info.m_bstrURL = url.Get();
            info.m_dwSize = bFirmware ? 4194304 : 12897485;
            info.m_bInfoOnly = bInfo;
            info.m_bFirmware = bFirmware;
            ULONG ulAccepted = 0;
            return pGui->ShowUpdateConfirmationWindow(&info, &ulAccepted);
        }
        if (strWindow == L"download")
            return pGui->ShowDownloadProgressBar(nullptr);
        if (strWindow == L"update")
            return pGui->ShowUpdateProgressBar(nullptr);
        if (strWindow == L"marquee")
            return pGui->ShowMarqueeProgressBar(nullptr, 30);
        if (strWindow == L"error")
            return pGui->ShowErrorMessage(static_cast<HRESULT>(0x80043302));
        return E_INVALIDARG;
    }
};
}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4)
    {
        std::fputs("usage: zepgui_demo_driver WINDOW READY_FILE DONE_FILE\n", stderr);
        return 2;
    }
    CComInitScope com;
    ComPtr<IZepAutoUpdateGUI> gui;
    HRESULT hr = ::CoCreateInstance(CLSID_ZepAutoUpdateGUI, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&gui));
    if (FAILED(hr))
    {
        std::fprintf(stderr, "ZepAutoUpdateGUI not created: 0x%08lX\n", static_cast<unsigned long>(hr));
        return 1;
    }
    CDemo demo;
    demo.strWindow = argv[1];
    demo.strReady = argv[2];
    demo.strDone = argv[3];
    demo.pGui = gui.Get();
    demo.dwMainThread = ::GetCurrentThreadId();
    gui->SetDisplayLocationOfWindow(0, eCenterOfScreen);
    // The client reaches the component from its worker threads directly, as here.
    std::thread driver([&demo] { demo.Drive(); });
    hr = demo.Show();
    driver.join();
    std::printf("%ls: 0x%08lX\n", demo.strWindow.c_str(), static_cast<unsigned long>(hr));
    return demo.bShown && SUCCEEDED(hr) ? 0 : 1;
}
