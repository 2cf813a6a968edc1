#pragma once
// The Download button: opens the configured page, or starts the configured program with the
// command-line tail, or explains why it cannot.
#include <windows.h>
#include <string>

class ITolvikShell;

class CDownloadAction
{
public:
    // Reads the Download key afresh (installer values may change while the window is open).
    static CDownloadAction FromRegistry();

    void Run(const std::wstring& tail, ITolvikShell& shell, HWND hwndOwner) const;

    std::wstring m_strErrorMsg;
    std::wstring m_strUrl;
    std::wstring m_strPath;  // resolved target program, possibly empty
    std::wstring m_strParam;
};

