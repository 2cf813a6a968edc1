// The skinned dialog: caption replaced by the title bar, children moved down, caption buttons
// by style, hit testing, system menu request, frame and activation.
#include <gtest/gtest.h>

#include <memory>

#include "common/dialog_base.h"
#include "launcher/skin/caption_button.h"
#include "launcher/skin/tests/skin_dialog_fixture.h"

namespace
{
RECT ChildRect(HWND hwndParent, HWND hwndChild)
{
    RECT rc;
    ::GetWindowRect(hwndChild, &rc);
    ::MapWindowPoints(nullptr, hwndParent, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

class CPlainDialog : public CDialogBase
{
public:
    explicit CPlainDialog(UINT nTemplateId) : CDialogBase(nTemplateId) {}
};

struct DialogScope
{
    explicit DialogScope(UINT nTemplateId) : dialog(nTemplateId, false) { hwnd = dialog.Create(); }
    ~DialogScope()
    {
        if (::IsWindow(hwnd))
            ::DestroyWindow(hwnd);
        PumpMessages(0);
    }
    CSkinTestDialog dialog;
    HWND hwnd;
};
}  // namespace

TEST(ExDialogTest, CaptionBecomesTitleBarAndChildrenMoveDown)
{
    CPlainDialog plain(IDD_SKIN_NO_MINIMIZE);
    HWND hwndPlain = plain.Create();
    ASSERT_NE(nullptr, hwndPlain);
    const RECT rcPlain = ChildRect(hwndPlain, ::GetDlgItem(hwndPlain, IDC_SKIN_MUSIC));
    ::DestroyWindow(hwndPlain);

    DialogScope scope(IDD_SKIN_NO_MINIMIZE);
    ASSERT_NE(nullptr, scope.hwnd);
    EXPECT_TRUE(scope.dialog.HadCaption());
    EXPECT_EQ(0, ::GetWindowLongPtrW(scope.hwnd, GWL_STYLE) & WS_CAPTION);

    const RECT rcSkinned = ChildRect(scope.hwnd, ::GetDlgItem(scope.hwnd, IDC_SKIN_MUSIC));
    EXPECT_EQ(rcPlain.top + 24, rcSkinned.top);
    EXPECT_EQ(rcPlain.left, rcSkinned.left);

    CExTitleBar* pBar = scope.dialog.GetTitleBar();
    ASSERT_NE(nullptr, pBar);
    RECT rcClient;
    ::GetClientRect(scope.hwnd, &rcClient);
    const RECT rcBar = ChildRect(scope.hwnd, pBar->GetHwnd());
    EXPECT_EQ(0, rcBar.left);
    EXPECT_EQ(0, rcBar.top);
    EXPECT_EQ(rcClient.right, rcBar.right);
    EXPECT_EQ(24, rcBar.bottom);
    EXPECT_EQ(-1, ::GetDlgCtrlID(pBar->GetHwnd()));
    // The caption buttons are the title bar's, not moved as dialog children.
    ASSERT_NE(nullptr, pBar->GetCloseButton());
    EXPECT_EQ(4, ChildRect(pBar->GetHwnd(), pBar->GetCloseButton()->GetHwnd()).top);
}

TEST(ExDialogTest, DialogWithoutCaptionKeepsItsLayout)
{
    CPlainDialog plain(IDD_SKIN_NO_CAPTION);
    HWND hwndPlain = plain.Create();
    const RECT rcPlain = ChildRect(hwndPlain, ::GetDlgItem(hwndPlain, IDC_SKIN_MUSIC));
    ::DestroyWindow(hwndPlain);

    DialogScope scope(IDD_SKIN_NO_CAPTION);
    EXPECT_FALSE(scope.dialog.HadCaption());
    EXPECT_EQ(nullptr, scope.dialog.GetTitleBar());
    EXPECT_EQ(rcPlain.top, ChildRect(scope.hwnd, ::GetDlgItem(scope.hwnd, IDC_SKIN_MUSIC)).top);
}

TEST(ExDialogTest, CaptionButtonsFollowTheDialogStyles)
{
    const SIZE size = CCaptionButton::ButtonSize();
    {
        DialogScope scope(IDD_SKIN_MAIN);
        CExTitleBar* pBar = scope.dialog.GetTitleBar();
        ASSERT_NE(nullptr, pBar);
        ASSERT_NE(nullptr, pBar->GetCloseButton());
        ASSERT_NE(nullptr, pBar->GetMinimizeButton());
        RECT rcBar;
        ::GetClientRect(pBar->GetHwnd(), &rcBar);
        const RECT rcClose = ChildRect(pBar->GetHwnd(), pBar->GetCloseButton()->GetHwnd());
        const RECT rcMin = ChildRect(pBar->GetHwnd(), pBar->GetMinimizeButton()->GetHwnd());
        EXPECT_EQ(rcBar.right - 4, rcClose.right);
        EXPECT_EQ(rcClose.left - 3, rcMin.right);
        EXPECT_EQ(4, rcMin.top);
        EXPECT_EQ(size.cx, rcClose.right - rcClose.left);
        EXPECT_EQ(size.cy, rcMin.bottom - rcMin.top);
        EXPECT_EQ(ID_SKIN_CAPTION_CLOSE, ::GetDlgCtrlID(pBar->GetCloseButton()->GetHwnd()));
        EXPECT_EQ(ID_SKIN_CAPTION_MINIMIZE, ::GetDlgCtrlID(pBar->GetMinimizeButton()->GetHwnd()));
    }
    {
        DialogScope scope(IDD_SKIN_NO_MINIMIZE);
        ASSERT_NE(nullptr, scope.dialog.GetTitleBar());
        EXPECT_NE(nullptr, scope.dialog.GetTitleBar()->GetCloseButton());
        EXPECT_EQ(nullptr, scope.dialog.GetTitleBar()->GetMinimizeButton());
    }
    {
        DialogScope scope(IDD_SKIN_NO_SYSMENU);
        CExTitleBar* pBar = scope.dialog.GetTitleBar();
        ASSERT_NE(nullptr, pBar);
        EXPECT_EQ(nullptr, pBar->GetCloseButton());
        EXPECT_EQ(nullptr, pBar->GetMinimizeButton());
        EXPECT_EQ(nullptr, ::GetWindow(pBar->GetHwnd(), GW_CHILD));
    }
}

TEST(ExDialogTest, TitleBarFollowsTheDialogWidth)
{
    DialogScope scope(IDD_SKIN_MAIN);
    RECT rcWindow;
    ::GetWindowRect(scope.hwnd, &rcWindow);
    ::SetWindowPos(scope.hwnd, nullptr, 0, 0, rcWindow.right - rcWindow.left + 80,
                   rcWindow.bottom - rcWindow.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT rcClient;
    ::GetClientRect(scope.hwnd, &rcClient);
    CExTitleBar* pBar = scope.dialog.GetTitleBar();
    EXPECT_EQ(rcClient.right, ChildRect(scope.hwnd, pBar->GetHwnd()).right);
    EXPECT_EQ(rcClient.right - 4,
              ChildRect(pBar->GetHwnd(), pBar->GetCloseButton()->GetHwnd()).right);
}

TEST(ExDialogTest, HitTestMakesTheTitleBarTheCaption)
{
    DialogScope scope(IDD_SKIN_MAIN);
    const auto hitAt = [&](int x, int y) {
        POINT pt = {x, y};
        ::ClientToScreen(scope.hwnd, &pt);
        return ::SendMessageW(scope.hwnd, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
    };
    EXPECT_EQ(HTSYSMENU, hitAt(5, 5));
    EXPECT_EQ(HTSYSMENU, hitAt(19, 19));
    EXPECT_EQ(HTCAPTION, hitAt(21, 10));
    EXPECT_EQ(HTCAPTION, hitAt(300, 23));
    EXPECT_EQ(HTCLIENT, hitAt(300, 24));
    // The strip itself lets the mouse through to the dialog.
    POINT pt = {300, 10};
    ::ClientToScreen(scope.hwnd, &pt);
    EXPECT_EQ(HTTRANSPARENT, ::SendMessageW(scope.dialog.GetTitleBar()->GetHwnd(), WM_NCHITTEST, 0,
                                            MAKELPARAM(pt.x, pt.y)));
}

TEST(ExDialogTest, RightClickOnTheCaptionRequestsTheSystemMenu)
{
    DialogScope scope(IDD_SKIN_MAIN);
    const LPARAM lPoint = MAKELPARAM(123, 45);
    ::SendMessageW(scope.hwnd, WM_NCRBUTTONDOWN, HTCAPTION, lPoint);
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, scope.hwnd, 0x313, 0x313, PM_REMOVE));
    EXPECT_EQ(lPoint, msg.lParam);
    ::SendMessageW(scope.hwnd, WM_NCRBUTTONDOWN, HTCLIENT, lPoint);
    EXPECT_FALSE(::PeekMessageW(&msg, scope.hwnd, 0x313, 0x313, PM_REMOVE));
}

TEST(ExDialogTest, CaptionButtonsPostMinimiseAndClose)
{
    DialogScope scope(IDD_SKIN_MAIN);
    CExTitleBar* pBar = scope.dialog.GetTitleBar();
    const auto click = [](HWND hwnd) {
        ::SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
        ::SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    };
    click(pBar->GetMinimizeButton()->GetHwnd());
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, scope.hwnd, WM_SYSCOMMAND, WM_SYSCOMMAND, PM_REMOVE));
    EXPECT_EQ(static_cast<WPARAM>(SC_MINIMIZE), msg.wParam);

    click(pBar->GetCloseButton()->GetHwnd());
    PumpMessages(50);
    EXPECT_FALSE(::IsWindow(scope.hwnd)) << "WM_CLOSE ends the dialog through IDCANCEL";
}

TEST(ExDialogTest, FrameIsThreeNestedRectangles)
{
    DialogScope scope(IDD_SKIN_MAIN);
    RECT rc;
    ::GetWindowRect(scope.hwnd, &rc);
    const int cx = rc.right - rc.left, cy = rc.bottom - rc.top;
    CDibCapture dib(cx, cy);
    scope.dialog.PaintFrame(dib.GetDC());
    ::GdiFlush();
    EXPECT_EQ(CExDialog::kFrameOuter, dib.Pixel(0, cy / 2));
    EXPECT_EQ(CExDialog::kFrameMiddle, dib.Pixel(1, cy / 2));
    EXPECT_EQ(CExDialog::kFrameInner, dib.Pixel(2, cy / 2));
    EXPECT_EQ(CExDialog::kFrameMiddle, dib.Pixel(cx / 2, cy - 2));
    EXPECT_EQ(RGB(0, 0, 0), dib.Pixel(3, cy / 2));
    // The client area starts inside the frame.
    POINT ptClient = {0, 0};
    ::ClientToScreen(scope.hwnd, &ptClient);
    EXPECT_EQ(3, ptClient.x - rc.left);
    EXPECT_EQ(3, ptClient.y - rc.top);
}

TEST(ExDialogTest, ActivationIsRememberedAndHandled)
{
    DialogScope scope(IDD_SKIN_MAIN);
    EXPECT_EQ(TRUE, ::SendMessageW(scope.hwnd, WM_NCACTIVATE, TRUE, 0));
    EXPECT_TRUE(scope.dialog.IsActive());
    EXPECT_EQ(TRUE, ::SendMessageW(scope.hwnd, WM_NCACTIVATE, FALSE, 0));
    EXPECT_FALSE(scope.dialog.IsActive());
}
