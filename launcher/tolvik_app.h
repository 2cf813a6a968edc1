#pragma once
// The launcher program: names, one copy per machine, runtimes, settings and the main window.
#include <windows.h>

#include <string>

#include "launcher/single_instance.h"
#include "launcher/settings/launcher_settings.h"

class CTolvikDlg;

class CTolvikApp
{
public:
    CTolvikApp();
    ~CTolvikApp();
    CTolvikApp(const CTolvikApp&) = delete;
    CTolvikApp& operator=(const CTolvikApp&) = delete;

    // Start-up and the main window's whole life; always false (no message loop follows).
    BOOL InitInstance();
    // Runtimes started by InitInstance are stopped here. Returns the exit code.
    int ExitInstance();

    const std::wstring& AppName() const { return m_strAppName; }
    const std::wstring& ProfileRoot() const { return m_strProfileRoot; }
    const std::wstring& CommandTail() const { return m_strCmdLine; }
    CLauncherSettings& Settings() { return m_settings; }
    CTolvikDlg* MainWindow() const { return m_pMainWnd; }

    // Everything after the program path of a command line, leading blanks removed.
    static std::wstring CommandLineTail(const wchar_t* pszCommandLine);

private:
    std::wstring m_strAppName;
    std::wstring m_strProfileRoot;
    std::wstring m_strCmdLine;
    ULONG_PTR m_gdiplusToken = 0;
    bool m_bGdiplusStarted = false;
    CSingleInstance m_instance;
    CLauncherSettings m_settings;
    CTolvikDlg* m_pMainWnd = nullptr;
};
