#pragma once
// The settings dialog: a tab control with the application selection page and the update page.
// On the first run it is mandatory: it can only be left with OK, which writes the settings.
#include <windows.h>

#include "common/dialog_base.h"
#include "launcher/option_dlg.h"
#include "launcher/update_dlg.h"

class CLauncherSettings;
class ITolvikShell;
class IAppFileChooser;

class CSettingDlg : public CDialogBase
{
public:
    CSettingDlg(bool bMandatory, CLauncherSettings& settings, ITolvikShell& shell, IAppFileChooser& chooser);

    bool IsMandatory() const { return m_bMandatory; }
    COptionDlg& OptionPage() { return m_option; }
    CUpdateDlg& UpdatePage() { return m_update; }
    HWND Tab() const;

protected:
    BOOL OnInitDialog() override;
    void OnCommand(WORD wId, WORD wNotifyCode, HWND hwndControl) override;
    bool OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

private:
    void ShowCurrentPage();
    void OnOK();

    bool m_bMandatory;
    CLauncherSettings& m_settings;
    COptionDlg m_option;
    CUpdateDlg m_update;
};
