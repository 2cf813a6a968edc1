#pragma once
// The busy window: a running bar while nothing can be measured, and a Cancel.
#include "update/gui/update_dialog.h"
#include "update/gui/window_slot.h"

class CMarqueeDlg final : public CUpdateDialog
{
public:
    CMarqueeDlg(const CGuiResources& resources, const ZEP_WINDOW_PLACEMENT& placement, CWindowSlot& slot,
                UINT uSpeedMs, volatile LONG* plUserCanceled) noexcept;

protected:
    BOOL OnInitDialog() override;
    void OnCommand(WORD wId, WORD wNotifyCode, HWND hwndControl) override;
    bool OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;
    void OnDestroy() override { m_slot.Detach(); }

private:
    CWindowSlot& m_slot;
    UINT m_uSpeedMs;
    volatile LONG* m_plUserCanceled;
};
