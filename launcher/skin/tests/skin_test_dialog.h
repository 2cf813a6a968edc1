#pragma once
// A skinned dialog laid out like the launcher's main window, recording what its controls
// tell it. Used by the tests (hidden, modeless) and by the preview program.
#include <windows.h>

#include <string>
#include <vector>

#include "launcher/skin/ex1_parts_button.h"
#include "launcher/skin/ex_check_box.h"
#include "launcher/skin/ex_dialog.h"
#include "launcher/skin/ex_static.h"

struct SkinNotification
{
    UINT uMsg;
    WPARAM wParam;
    LPARAM lParam;
};

class CSkinTestDialog : public CExDialog
{
public:
    // bLayout: attach and place the controls as the main window does; false leaves the
    // template's controls alone (to observe the base's own work).
    explicit CSkinTestDialog(UINT nTemplateId, bool bLayout = true);

    CEx1PartsButton m_btnContent[5];  // Music, Photo, Video, Podcast, Download
    CEx1PartsButton m_btnSetting;
    CExCheckBox m_chkAuto;
    CExStatic m_stcDescription;
    std::vector<SkinNotification> m_vecNotifications;
    int m_nEraseCount = 0;

    static const UINT kContentIds[5];
    static const wchar_t* const kGeneralText;

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;
    void OnCommand(WORD wId, WORD wNotifyCode, HWND hwndControl) override;

private:
    bool m_bLayout;
    HBITMAP m_hbmBackground = nullptr;
    HICON m_hIconBig = nullptr;
    HICON m_hIconSmall = nullptr;
};
