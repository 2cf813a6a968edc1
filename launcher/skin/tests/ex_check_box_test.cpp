// The skinned check box: tick toggling and its notifications, BM_GETCHECK / BM_SETCHECK,
// keyboard ignored, width fitted to the text.
#include <gtest/gtest.h>

#include "launcher/skin/bitmap_cache.h"
#include "launcher/skin/skin_draw.h"
#include "launcher/skin/skin_resource_ids.h"
#include "launcher/skin/tests/skin_dialog_fixture.h"

class ExCheckBoxTest : public SkinDialogFixture
{
protected:
    void SetUp() override
    {
        SkinDialogFixture::SetUp();
        m_hwndBox = m_pDialog->m_chkAuto.GetHwnd();
        ASSERT_NE(nullptr, m_hwndBox);
        m_pDialog->m_vecNotifications.clear();
    }
    void Click(int x = 5, int y = 10)
    {
        ::SendMessageW(m_hwndBox, WM_LBUTTONDOWN, MK_LBUTTON, Point(x, y));
        ::SendMessageW(m_hwndBox, WM_LBUTTONUP, 0, Point(x, y));
    }
    LRESULT Check() { return ::SendMessageW(m_hwndBox, BM_GETCHECK, 0, 0); }

    HWND m_hwndBox = nullptr;
};

TEST_F(ExCheckBoxTest, ClickTogglesAndNotifiesCommandThenChange)
{
    EXPECT_EQ(BST_UNCHECKED, Check());
    Click();
    EXPECT_EQ(BST_CHECKED, Check());
    const std::vector<SkinNotification>& notes = m_pDialog->m_vecNotifications;
    std::vector<SkinNotification> clicks;
    for (const SkinNotification& note : notes)
        if (note.uMsg != WM_TOLVIK_HOVER)
            clicks.push_back(note);
    ASSERT_EQ(2u, clicks.size());
    EXPECT_EQ(static_cast<UINT>(WM_COMMAND), clicks[0].uMsg);
    EXPECT_EQ(MAKEWPARAM(IDC_SKIN_AUTO, BN_CLICKED), clicks[0].wParam);
    EXPECT_EQ(static_cast<UINT>(WM_TOLVIK_CHECKCHANGED), clicks[1].uMsg);
    EXPECT_EQ(static_cast<WPARAM>(IDC_SKIN_AUTO), clicks[1].wParam);

    Click();
    EXPECT_EQ(BST_UNCHECKED, Check());
    EXPECT_EQ(2u, CountOf(WM_TOLVIK_CHECKCHANGED, IDC_SKIN_AUTO));
}

TEST_F(ExCheckBoxTest, ReleaseOutsideDoesNotToggle)
{
    ::SendMessageW(m_hwndBox, WM_LBUTTONDOWN, MK_LBUTTON, Point(5, 10));
    ::SendMessageW(m_hwndBox, WM_MOUSEMOVE, MK_LBUTTON, Point(5, 200));
    ::SendMessageW(m_hwndBox, WM_LBUTTONUP, 0, Point(5, 200));
    EXPECT_EQ(BST_UNCHECKED, Check());
    EXPECT_EQ(0u, CountOf(WM_COMMAND));
    EXPECT_EQ(0u, CountOf(WM_TOLVIK_CHECKCHANGED));
}

TEST_F(ExCheckBoxTest, SetCheckTicksOnlyForOne)
{
    const struct
    {
        WPARAM wValue;
        LRESULT lExpected;
    } cases[] = {{BST_CHECKED, BST_CHECKED},
                 {BST_UNCHECKED, BST_UNCHECKED},
                 {BST_CHECKED, BST_CHECKED},
                 {BST_INDETERMINATE, BST_UNCHECKED},
                 {7, BST_UNCHECKED}};
    for (const auto& c : cases)
    {
        ::SendMessageW(m_hwndBox, BM_SETCHECK, c.wValue, 0);
        EXPECT_EQ(c.lExpected, Check()) << c.wValue;
    }
    // Setting the tick from the program is not a user's click.
    EXPECT_EQ(0u, CountOf(WM_TOLVIK_CHECKCHANGED));
}

TEST_F(ExCheckBoxTest, KeyboardIsIgnored)
{
    ::SetFocus(m_hwndBox);
    for (UINT uMsg : {WM_KEYDOWN, WM_CHAR, WM_KEYUP})
        ::SendMessageW(m_hwndBox, uMsg, uMsg == WM_CHAR ? L' ' : VK_SPACE, 0);
    PumpMessages(0);
    EXPECT_EQ(BST_UNCHECKED, Check());
    EXPECT_EQ(0u, CountOf(WM_COMMAND));
}

TEST_F(ExCheckBoxTest, WidthFitsBitmapGapAndText)
{
    CExCheckBox& box = m_pDialog->m_chkAuto;
    EXPECT_EQ(CExCheckBox::kFontBase, box.GetFontBase());
    const int nBitmap = skin::BitmapSize(CBitmapCache::getBitmap(IDB_CHECK_OFF_NORMAL)).cx;
    const int nText = box.MeasureTextWidth();
    EXPECT_GT(nText, 100);  // a long Japanese sentence

    RECT rc;
    ::GetWindowRect(m_hwndBox, &rc);
    EXPECT_EQ(nBitmap + CExCheckBox::kTextGap + nText + 1, rc.right - rc.left);
    EXPECT_EQ(22, rc.bottom - rc.top);  // the height set by the layout stays

    ::SetWindowTextW(m_hwndBox, L"&Short");
    const int nShort = box.MeasureTextWidth();
    EXPECT_LT(nShort, nText);
    box.FitToText();
    ::GetWindowRect(m_hwndBox, &rc);
    EXPECT_EQ(nBitmap + CExCheckBox::kTextGap + nShort + 1, rc.right - rc.left);
    // The leading '&' is not drawn, so it is not measured either.
    ::SetWindowTextW(m_hwndBox, L"Short");
    EXPECT_EQ(nShort, box.MeasureTextWidth());
}
