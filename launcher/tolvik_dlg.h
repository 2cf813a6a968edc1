#pragma once
// The launcher's main window: one bitmap button per content kind, Download and Setting, a
// description area that follows the pointer and the auto-launch check box.
#include <windows.h>

#include <string>

#include "common/unique_resource.h"
#include "launcher/auto_launch_option.h"
#include "launcher/description_switcher.h"
#include "launcher/window_placement_store.h"
#include "launcher/skin/ex1_parts_button.h"
#include "launcher/skin/ex_check_box.h"
#include "launcher/skin/ex_dialog.h"
#include "launcher/skin/ex_static.h"

class CLauncherSettings;
class ITolvikShell;

class CTolvikDlg : public CExDialog
{
public:
    static const int kClientWidth = 600;
    static const int kClientHeight = 290;

    CTolvikDlg(CLauncherSettings& settings, const std::wstring& strCmdTail, ITolvikShell& shell);
    ~CTolvikDlg() override;

    // Shows the window and runs its message loop until it is closed; every queued message
    // passes PreTranslateMessage first. Returns IDCANCEL (or -1 when it could not be created).
    INT_PTR RunModal();

    // Keyboard filter of the window's loop: true when the message is consumed.
    bool PreTranslateMessage(const MSG& msg);
    // One message of the window's loop: filter, dialog navigation, dispatch.
    void ProcessMessage(MSG& msg);

    // Window size for the fixed client area under the current styles.
    SIZE WindowSize() const;

    CExStatic& Description() { return m_stDescription; }
    CExCheckBox& AutoLaunchBox() { return m_chkAutoLaunch; }
    CEx1PartsButton* Button(UINT nId);

protected:
    BOOL OnInitDialog() override;
    void OnCommand(WORD wId, WORD wNotifyCode, HWND hwndControl) override;
    void OnDestroy() override;
    bool OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

    // The settings dialog (mandatory on the first run) and the update check are reached
    // only through these two.
    virtual void OnOpenSettings(bool bMandatory);
    virtual void OnCheckUpdate(bool bAutomatic);

private:
    struct ButtonRow
    {
        UINT nId;
        const wchar_t* pszKey;
        UINT nNormal, nHover, nPressed;
        int x, y;
    };
    static const ButtonRow kButtonRows[5];

    void InitSystemMenu();
    void InitSizeAndPosition();
    void InitDescription();
    void InitAutoLaunchBox();
    void InitContentButtons();
    void InitSettingButton();

    void LaunchKind(UINT nId);
    void OnHover(UINT nId);
    bool EraseBackground(HDC hdc);
    void PaintIconic();
    void CloseSteps();

    CLauncherSettings& m_settings;
    std::wstring m_strCmdTail;
    ITolvikShell& m_shell;

    CEx1PartsButton m_btnMusic;
    CEx1PartsButton m_btnPhoto;
    CEx1PartsButton m_btnVideo;
    CEx1PartsButton m_btnPodcast;
    CEx1PartsButton m_btnDownload;
    CEx1PartsButton m_btnSetting;
    CExCheckBox m_chkAutoLaunch;
    CExStatic m_stDescription;

    CDescriptionSwitcher m_descriptions;
    CAutoLaunchOption m_autoLaunch;
    CWindowPlacementStore m_placement;
    UniqueHBitmap m_hbmBackground;
    UniqueHIcon m_hIconBig;
    UniqueHIcon m_hIconSmall;
    bool m_bClosed = false;
};
