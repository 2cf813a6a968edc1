#include "launcher/tolvik_app.h"

#include <commctrl.h>
#include <gdiplus.h>
#include <objbase.h>

#include <memory>

#include "launcher/tolvik_constants.h"
#include "launcher/tolvik_dlg.h"
#include "launcher/tolvik_shell.h"

CTolvikApp::CTolvikApp() = default;
CTolvikApp::~CTolvikApp() = default;

std::wstring CTolvikApp::CommandLineTail(const wchar_t* pszCommandLine)
{
    if (pszCommandLine == nullptr)
        return std::wstring();
    const wchar_t* p = pszCommandLine;
    // The program path: quoted, or up to the first blank.
    if (*p == L'"')
    {
        ++p;
        while (*p != L'\0' && *p != L'"')
            ++p;
        if (*p == L'"')
            ++p;
    }
    else
    {
        while (*p != L'\0' && *p != L' ' && *p != L'\t')
            ++p;
    }
    while (*p == L' ' || *p == L'\t')
        ++p;
    return std::wstring(p);
}

BOOL CTolvikApp::InitInstance()
{
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);

    m_strCmdLine = CommandLineTail(::GetCommandLineW());
    m_strAppName = TOLVIK_APP_NAME;
    m_strProfileRoot = TOLVIK_PROFILE_ROOT;

    if (!m_instance.Acquire(TOLVIK_MUTEX_NAME))
    {
        // Another copy runs: bring its window forward (if it has one yet) and leave.
        HWND hwnd = CSingleInstance::FindMarkedWindow(m_strAppName.c_str());
        if (hwnd != nullptr)
            CSingleInstance::Activate(hwnd);
        return FALSE;
    }

    Gdiplus::GdiplusStartupInput input;
    m_bGdiplusStarted = Gdiplus::GdiplusStartup(&m_gdiplusToken, &input, nullptr) == Gdiplus::Ok;
    const HRESULT hrCom = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    // A failed load leaves the affected kinds absent; their buttons explain themselves.
    m_settings.Load();

    {
        CTolvikShell shell;
        std::unique_ptr<CTolvikDlg> pDlg(new CTolvikDlg(m_settings, m_strCmdLine, shell));
        m_pMainWnd = pDlg.get();
        pDlg->RunModal();
        m_settings.Release();
        m_pMainWnd = nullptr;
    }
    if (SUCCEEDED(hrCom))
        ::CoUninitialize();
    return FALSE;
}

int CTolvikApp::ExitInstance()
{
    if (m_bGdiplusStarted)
    {
        Gdiplus::GdiplusShutdown(m_gdiplusToken);
        m_bGdiplusStarted = false;
    }
    return 0;
}
