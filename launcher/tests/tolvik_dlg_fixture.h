#pragma once
// A main window built from the program's own resources over a sandboxed installation:
// registry texts and entries per kind, the settings folder in the test's temp folder, and a
// recording shell.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/com_init.h"
#include "common/gdiplus_session.h"
#include "launcher/tolvik_dlg.h"
#include "launcher/settings/launcher_settings.h"
#include "launcher/tests/recording_shell.h"

// Records the two requests that later lead to the settings dialog and the update client.
class CTestTolvikDlg : public CTolvikDlg
{
public:
    using CTolvikDlg::CTolvikDlg;

    std::vector<std::wstring> m_requests;
    // What happens while the settings dialog is open (its modal loop, the user's choices).
    std::function<void()> m_whileSettingsOpen;

protected:
    void OnOpenSettings(bool bMandatory) override
    {
        m_requests.push_back(bMandatory ? L"settings:mandatory" : L"settings:normal");
        if (m_whileSettingsOpen)
            m_whileSettingsOpen();
        m_requests.push_back(L"settings:closed");
    }
    void OnCheckUpdate(bool bAutomatic) override
    {
        m_requests.push_back(bAutomatic ? L"update:auto" : L"update:manual");
    }
};

class CTolvikDlgTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Installer values of a typical installation: texts, one program per kind (the Music one
    // exists in the temp folder), a Download target.
    void WriteInstallation();
    // Program files created in the temp folder for a kind's default entry.
    std::wstring MakeProgram(const std::wstring& name);

    // Loads the settings and creates the window (hidden) with the command-line tail.
    CTestTolvikDlg& OpenWindow(const std::wstring& tail = L"F:");
    void DestroyDialog();
    // Runs every queued message through the window's own loop.
    void Pump();

    HWND Hwnd() const { return m_pDlg ? m_pDlg->GetHwnd() : nullptr; }
    HWND Item(UINT nId) const { return ::GetDlgItem(Hwnd(), nId); }
    // Rectangle of a control in the window's client coordinates.
    RECT ItemRect(UINT nId) const;
    std::wstring ItemText(UINT nId) const;
    void Click(UINT nId);
    void MoveOver(UINT nId);

    CComInitScope m_com;
    CGdiplusSession m_gdiplus;
    CLauncherSettings m_settings;
    CRecordingShell m_shell;
    std::unique_ptr<CTestTolvikDlg> m_pDlg;
};
