#pragma once
// The settings page of the update schedule: check at start or not, how often, and a button
// that starts a check now.
#include <windows.h>

#include "common/dialog_base.h"
#include "launcher/update_page_settings.h"

class ITolvikShell;

class CUpdateDlg : public CDialogBase
{
public:
    explicit CUpdateDlg(ITolvikShell& shell);

    // Writes what the page shows (the settings dialog's OK does this first).
    void Save();
    // What the page shows now.
    CUpdatePageSettings Shown() const;

protected:
    BOOL OnInitDialog() override;
    void OnCommand(WORD wId, WORD wNotifyCode, HWND hwndControl) override;

private:
    void EnableFrequencies();

    ITolvikShell& m_shell;
    CUpdatePageSettings m_loaded;
};
