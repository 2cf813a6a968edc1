#pragma once
// Dialog with the skinned look: the system caption is replaced by a CExTitleBar child across
// the top of the client area (the other controls move down to make room), and the frame is
// painted as three nested rectangles. Derived dialogs call CExDialog::OnInitDialog first and
// pass messages they do not handle to CExDialog::OnMessage.
#include <windows.h>

#include <boost/shared_ptr.hpp>

#include "common/dialog_base.h"
#include "launcher/skin/ex_title_bar.h"

class CExDialog : public CDialogBase
{
public:
    static constexpr int kTitleBarHeight = CExTitleBar::kHeight;
    static constexpr COLORREF kFrameOuter = RGB(51, 51, 149);
    static constexpr COLORREF kFrameMiddle = RGB(92, 92, 228);
    static constexpr COLORREF kFrameInner = RGB(51, 51, 149);

    explicit CExDialog(UINT nTemplateId, HINSTANCE hInstance = nullptr) noexcept;
    ~CExDialog() override;

    // Whether the template had a caption (and the dialog therefore has a title bar).
    bool HadCaption() const noexcept { return m_bHadCaption; }
    bool IsActive() const noexcept { return m_bActive; }
    CExTitleBar* GetTitleBar() const noexcept { return m_pTitleBar.get(); }

    // Paints the frame into a DC of the whole window (0, 0 = the window's top-left corner).
    void PaintFrame(HDC hdcWindow);

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

private:
    LRESULT HitTest(POINT ptScreen);
    void MoveChildrenDown(int cy);

    bool m_bHadCaption = false;
    bool m_bActive = false;
    boost::shared_ptr<CExTitleBar> m_pTitleBar;
};
