// The button state machine: press, drag out and back, release inside or outside, hover and
// leave notifications.
#include <gtest/gtest.h>

#include "launcher/skin/tests/skin_dialog_fixture.h"

namespace
{
enum EAt
{
    eIn,
    eOut
};
struct Step
{
    UINT uMsg;
    EAt eAt;
    int nExpectedState;
};
struct Sequence
{
    const char* pszName;
    std::vector<Step> steps;
    size_t nExpectedCommands;
};
}  // namespace

class ExButtonTest : public SkinDialogFixture
{
protected:
    void SetUp() override
    {
        SkinDialogFixture::SetUp();
        m_hwndButton = m_pDialog->m_btnContent[0].GetHwnd();
        ASSERT_NE(nullptr, m_hwndButton);
    }
    void Send(UINT uMsg, EAt eAt)
    {
        const LPARAM lPoint = eAt == eIn ? Point(30, 40) : Point(300, 40);  // 106 wide
        const WPARAM wKeys = uMsg == WM_LBUTTONDOWN || uMsg == WM_MOUSEMOVE ? MK_LBUTTON : 0;
        ::SendMessageW(m_hwndButton, uMsg, wKeys, lPoint);
    }
    int State() const { return m_pDialog->m_btnContent[0].GetState(); }

    HWND m_hwndButton = nullptr;
};

TEST_F(ExButtonTest, PressSequences)
{
    const int N = CExButton::eStateNormal, H = CExButton::eStateHover, P = CExButton::eStatePressed;
    const Sequence sequences[] = {
        {"click", {{WM_MOUSEMOVE, eIn, H}, {WM_LBUTTONDOWN, eIn, P}, {WM_LBUTTONUP, eIn, N}}, 1},
        {"release outside",
         {{WM_LBUTTONDOWN, eIn, P}, {WM_MOUSEMOVE, eOut, H}, {WM_LBUTTONUP, eOut, N}},
         0},
        {"drag out and back in",
         {{WM_LBUTTONDOWN, eIn, P},
          {WM_MOUSEMOVE, eOut, H},
          {WM_MOUSEMOVE, eOut, H},  // stays hover while outside, no flicker back to pressed
          {WM_MOUSEMOVE, eOut, H},
          {WM_MOUSEMOVE, eIn, P},
          {WM_LBUTTONUP, eIn, N}},
         1},
        {"release over the button after a press elsewhere",
         {{WM_MOUSEMOVE, eIn, H}, {WM_LBUTTONUP, eIn, N}},
         0},
        {"double click counts as a press", {{WM_LBUTTONDBLCLK, eIn, P}, {WM_LBUTTONUP, eIn, N}}, 1},
        {"moving in after a release outside only hovers",
         {{WM_LBUTTONDOWN, eIn, P},
          {WM_MOUSEMOVE, eOut, H},
          {WM_LBUTTONUP, eOut, N},
          {WM_MOUSEMOVE, eIn, H},
          {WM_MOUSEMOVE, eOut, N}},
         0},
    };
    for (const Sequence& sequence : sequences)
    {
        SCOPED_TRACE(sequence.pszName);
        m_pDialog->m_vecNotifications.clear();
        for (size_t i = 0; i < sequence.steps.size(); ++i)
        {
            Send(sequence.steps[i].uMsg, sequence.steps[i].eAt);
            EXPECT_EQ(sequence.steps[i].nExpectedState, State()) << "after step " << i;
        }
        EXPECT_EQ(sequence.nExpectedCommands, CountOf(WM_COMMAND, MAKEWPARAM(IDC_SKIN_MUSIC, 0)));
        EXPECT_EQ(nullptr, ::GetCapture());
        ::SendMessageW(m_hwndButton, WM_MOUSELEAVE, 0, 0);
    }
}

TEST_F(ExButtonTest, CommandCarriesTheButtonWindow)
{
    Send(WM_LBUTTONDOWN, eIn);
    Send(WM_LBUTTONUP, eIn);
    ASSERT_EQ(1u, CountOf(WM_COMMAND));
    const SkinNotification& note = m_pDialog->m_vecNotifications.back();
    EXPECT_EQ(MAKEWPARAM(IDC_SKIN_MUSIC, 0), note.wParam);
    EXPECT_EQ(reinterpret_cast<LPARAM>(m_hwndButton), note.lParam);
}

TEST_F(ExButtonTest, HoverAndLeaveNotifyTheParent)
{
    Send(WM_MOUSEMOVE, eIn);
    ASSERT_EQ(1u, CountOf(WM_TOLVIK_HOVER));
    EXPECT_EQ(static_cast<WPARAM>(IDC_SKIN_MUSIC), m_pDialog->m_vecNotifications[0].wParam);
    EXPECT_EQ(reinterpret_cast<LPARAM>(m_hwndButton), m_pDialog->m_vecNotifications[0].lParam);

    ::SendMessageW(m_hwndButton, WM_MOUSELEAVE, 0, 0);
    ASSERT_EQ(2u, CountOf(WM_TOLVIK_HOVER));
    EXPECT_EQ(0u, m_pDialog->m_vecNotifications[1].wParam);
    EXPECT_EQ(CExButton::eStateNormal, State());

    // Another button reports its own id.
    ::SendMessageW(m_pDialog->m_btnContent[3].GetHwnd(), WM_MOUSEMOVE, 0, Point(5, 5));
    EXPECT_EQ(1u, CountOf(WM_TOLVIK_HOVER, IDC_SKIN_PODCAST));
}

TEST_F(ExButtonTest, LeavingDuringAPressKeepsThePress)
{
    Send(WM_LBUTTONDOWN, eIn);
    ::SendMessageW(m_hwndButton, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(CExButton::eStatePressed, State());
    Send(WM_LBUTTONUP, eIn);
    EXPECT_EQ(1u, CountOf(WM_COMMAND, MAKEWPARAM(IDC_SKIN_MUSIC, 0)));
}

TEST_F(ExButtonTest, LosingTheMouseAbandonsThePress)
{
    Send(WM_LBUTTONDOWN, eIn);
    ASSERT_EQ(m_hwndButton, ::GetCapture());
    ::SetCapture(m_hwnd);  // e.g. a message box or another window takes the mouse
    EXPECT_EQ(CExButton::eStateNormal, State());
    ::ReleaseCapture();
    Send(WM_LBUTTONUP, eIn);
    EXPECT_EQ(0u, CountOf(WM_COMMAND));
}

TEST_F(ExButtonTest, KeyboardDoesNotClick)
{
    ::SetFocus(m_hwndButton);
    for (UINT uMsg : {WM_KEYDOWN, WM_CHAR, WM_KEYUP})
        ::SendMessageW(m_hwndButton, uMsg, uMsg == WM_CHAR ? L' ' : VK_SPACE, 0);
    ::SendMessageW(m_hwndButton, WM_KEYDOWN, VK_RETURN, 0);
    PumpMessages(0);
    EXPECT_EQ(0u, CountOf(WM_COMMAND, MAKEWPARAM(IDC_SKIN_MUSIC, 0)));
}

TEST_F(ExButtonTest, BitmapsSizeTheButtonAndLayoutPlacesIt)
{
    RECT rc;
    ::GetWindowRect(m_hwndButton, &rc);
    ::MapWindowPoints(nullptr, m_hwnd, reinterpret_cast<POINT*>(&rc), 2);
    EXPECT_EQ(21, rc.left);
    EXPECT_EQ(147, rc.top);
    EXPECT_EQ(106, rc.right - rc.left);
    EXPECT_EQ(100, rc.bottom - rc.top);

    CEx1PartsButton& setting = m_pDialog->m_btnSetting;
    EXPECT_EQ(2, setting.GetCaptionTop());
    EXPECT_EQ(100, setting.GetFontBase());
    EXPECT_EQ(CEx1PartsButton::kDefaultCaptionTop, m_pDialog->m_btnContent[0].GetCaptionTop());
    EXPECT_EQ(CEx1PartsButton::kDefaultFontBase, m_pDialog->m_btnContent[0].GetFontBase());
    // A missing normal bitmap leaves the size alone.
    EXPECT_FALSE(setting.SetBitmaps(64998, 64998, 64998));
    ::GetWindowRect(setting.GetHwnd(), &rc);
    EXPECT_EQ(84, rc.right - rc.left);
}
