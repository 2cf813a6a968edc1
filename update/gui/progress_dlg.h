#pragma once
// The progress window: a download with its remaining time and a Cancel that asks first, or the
// player's update, which cannot be canceled.
#include "update/gui/update_dialog.h"
#include "update/gui/window_slot.h"

class CProgressDlg final : public CUpdateDialog
{
public:
    enum EMode
    {
        eDownload,
        eUpdate
    };

    // plQuestionOpen is 1 while the cancel question is shown; plUserCanceled becomes 1 when the
    // user answers it with Yes. Both are read by other threads.
    CProgressDlg(const CGuiResources& resources, const ZEP_WINDOW_PLACEMENT& placement, EMode eMode,
                 CWindowSlot& slot, volatile LONG* plQuestionOpen, volatile LONG* plUserCanceled) noexcept;

    // The remaining-time text after ullElapsedMs at nPercent; empty for 0 %.
    static std::wstring RemainingText(const CGuiResources& resources, ULONGLONG ullElapsedMs, UINT nPercent);

protected:
    BOOL OnInitDialog() override;
    void OnCommand(WORD wId, WORD wNotifyCode, HWND hwndControl) override;
    bool OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;
    void OnDestroy() override { m_slot.Detach(); }

private:
    void ShowProgress(UINT nPercent);
    void AskCancel();

    EMode m_eMode;
    CWindowSlot& m_slot;
    volatile LONG* m_plQuestionOpen;
    volatile LONG* m_plUserCanceled;
    ULONGLONG m_ullStartMs = 0;
    bool m_bCanceled = false;
    bool m_bCloseWaiting = false;  // a close arrived while the question was open
    bool m_bAsking = false;
    bool m_bRateKnown = false;     // a non-zero percentage has been seen
};
