#pragma once
// The update confirmation window: what the update is, how large, and whether to take it.
#include "update/gui/update_dialog.h"

class CConfirmDlg final : public CUpdateDialog
{
public:
    // info must outlive the window.
    CConfirmDlg(const CGuiResources& resources, const ZEP_WINDOW_PLACEMENT& placement,
                const ZEP_UPDATED_INFO& info) noexcept;

    // The texts the window shows for a record (tests read them without a window).
    static std::wstring TitleText(const CGuiResources& resources, const ZEP_UPDATED_INFO& info);
    static std::wstring SizeText(const CGuiResources& resources, ULONG dwSize);

protected:
    BOOL OnInitDialog() override;
    void OnCommand(WORD wId, WORD wNotifyCode, HWND hwndControl) override;
    bool OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

private:
    void DrawIcon(const DRAWITEMSTRUCT& item) const;

    const ZEP_UPDATED_INFO& m_info;
    UniqueHIcon m_icon;
};
