// Rendering of the skinned controls into a memory DIB: bitmaps, captions (Japanese included),
// colours by state, the line layout of the text area and the transparent background.
#include <gtest/gtest.h>

#include <vector>

#include "common/unique_resource.h"
#include "launcher/skin/bitmap_cache.h"
#include "launcher/skin/ex_title_bar.h"
#include "launcher/skin/skin_font.h"
#include "launcher/skin/skin_resource_ids.h"
#include "launcher/skin/tests/skin_dialog_fixture.h"

namespace
{
const COLORREF kLavender = RGB(135, 134, 182);

bool IsLavenderInk(COLORREF cr)
{
    return IsNear(cr, kLavender, 14);
}

// Rows of ink separated by blank rows: {first row, last row + 1}.
std::vector<std::pair<int, int>> InkBands(const CDibCapture& dib, bool (*pred)(COLORREF))
{
    std::vector<std::pair<int, int>> bands;
    bool bIn = false;
    for (int y = 0; y < dib.Height(); ++y)
    {
        const bool bInk = dib.Count(0, y, dib.Width(), y + 1, pred) > 0;
        if (bInk && !bIn)
            bands.push_back({y, y + 1});
        else if (bInk)
            bands.back().second = y + 1;
        bIn = bInk;
    }
    return bands;
}

COLORREF BackgroundPixel(int x, int y)
{
    UniqueCreatedDC dc(::CreateCompatibleDC(nullptr));
    HGDIOBJ hOld = ::SelectObject(dc.Get(), CBitmapCache::getBitmap(IDB_TOLVIK_BACKGROUND));
    const COLORREF cr = ::GetPixel(dc.Get(), x, y);
    ::SelectObject(dc.Get(), hOld);
    return cr;
}
}  // namespace

class SkinRenderTest : public SkinDialogFixture
{
protected:
    CEx1PartsButton& Music() { return m_pDialog->m_btnContent[0]; }
    // White ink in the caption area (below the icon badge) of a 106 x 100 tile.
    static int CaptionInk(const CDibCapture& dib) { return dib.Count(0, 56, 106, 100, IsWhiteInk); }
};

TEST_F(SkinRenderTest, ContentButtonDrawsItsBitmapAndCaption)
{
    CDibCapture dib(106, 100);
    dib.PrintClient(Music().GetHwnd());
    EXPECT_TRUE(IsNear(RGB(236, 72, 128), dib.Pixel(53, 14), 12)) << std::hex << dib.Pixel(53, 14);
    EXPECT_GT(CaptionInk(dib), 30);
    // The caption is centred horizontally.
    const RECT rcInk = dib.Bounds(0, 56, 106, 100, IsWhiteInk);
    EXPECT_NEAR(106 - rcInk.right, rcInk.left, 3);

    ::SetWindowTextW(Music().GetHwnd(), L"");
    dib.PrintClient(Music().GetHwnd());
    EXPECT_EQ(0, CaptionInk(dib));

    ::SetWindowTextW(Music().GetHwnd(), L"Music");
    ::EnableWindow(Music().GetHwnd(), FALSE);
    dib.PrintClient(Music().GetHwnd());
    EXPECT_EQ(0, CaptionInk(dib)) << "text is drawn only while enabled";
    EXPECT_TRUE(IsNear(RGB(236, 72, 128), dib.Pixel(53, 14), 12));
}

TEST_F(SkinRenderTest, JapaneseCaptionsRenderAsDistinctGlyphs)
{
    // Missing glyphs would all come out as the same boxes.
    CDibCapture first(106, 100), second(106, 100);
    ::SetWindowTextW(Music().GetHwnd(), L"音楽");
    first.PrintClient(Music().GetHwnd());
    ::SetWindowTextW(Music().GetHwnd(), L"写真");
    second.PrintClient(Music().GetHwnd());
    EXPECT_GT(CaptionInk(first), 30);
    EXPECT_GT(CaptionInk(second), 30);
    EXPECT_FALSE(first.SameAs(second));
}

TEST_F(SkinRenderTest, PressedCaptionMovesByThePressedOffset)
{
    ::SetWindowTextW(Music().GetHwnd(), L"Music");
    Music().SetPressedOffset(0, 3);
    CDibCapture normal(106, 100), pressed(106, 100);
    normal.PrintClient(Music().GetHwnd());
    ::SendMessageW(Music().GetHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, Point(10, 10));
    ASSERT_EQ(CExButton::eStatePressed, Music().GetState());
    pressed.PrintClient(Music().GetHwnd());
    ::SendMessageW(Music().GetHwnd(), WM_LBUTTONUP, 0, Point(200, 10));

    const RECT rcNormal = normal.Bounds(0, 56, 106, 100, IsWhiteInk);
    const RECT rcPressed = pressed.Bounds(0, 56, 106, 100, IsWhiteInk);
    EXPECT_EQ(rcNormal.top + 3, rcPressed.top);
    EXPECT_EQ(rcNormal.left, rcPressed.left);
    // The pressed bitmap is a different image from the normal one.
    EXPECT_NE(normal.Pixel(1, 50), pressed.Pixel(1, 50));
}

TEST_F(SkinRenderTest, CaptionTopAndFontSizePlaceTheText)
{
    ::SetWindowTextW(Music().GetHwnd(), L"Music");
    CDibCapture small(106, 100), large(106, 100);
    small.PrintClient(Music().GetHwnd());
    Music().SetFontSize(200);
    large.PrintClient(Music().GetHwnd());
    const RECT rcSmall = small.Bounds(0, 56, 106, 100, IsWhiteInk);
    const RECT rcLarge = large.Bounds(0, 56, 106, 100, IsWhiteInk);
    EXPECT_GT(rcLarge.bottom - rcLarge.top, rcSmall.bottom - rcSmall.top);

    // The Setting button's caption sits in its short 24-pixel bar.
    CDibCapture setting(84, 24);
    setting.PrintClient(m_pDialog->m_btnSetting.GetHwnd());
    const RECT rcSetting = setting.Bounds(0, 0, 84, 24, IsWhiteInk);
    EXPECT_GE(rcSetting.top, 3);
    EXPECT_LE(rcSetting.bottom, 22);
    EXPECT_NEAR(84 - rcSetting.right, rcSetting.left, 3);
}

TEST_F(SkinRenderTest, DescriptionColourFollowsTheEnabledState)
{
    HWND hwndStatic = m_pDialog->m_stcDescription.GetHwnd();
    CDibCapture dib(550, 122);
    ASSERT_FALSE(::IsWindowEnabled(hwndStatic));
    dib.PrintClient(hwndStatic);
    EXPECT_GT(dib.Count(0, 0, 550, 122, IsLavenderInk), 50);
    EXPECT_EQ(0, dib.Count(0, 0, 550, 122, IsWhiteInk));

    ::EnableWindow(hwndStatic, TRUE);
    dib.PrintClient(hwndStatic);
    EXPECT_GT(dib.Count(0, 0, 550, 122, IsWhiteInk), 50);

    m_pDialog->m_stcDescription.SetUseGdiplus(false);
    dib.PrintClient(hwndStatic);
    EXPECT_GT(dib.Count(0, 0, 550, 122, IsWhiteInk), 50) << "plain GDI text";
}

TEST_F(SkinRenderTest, JapaneseLineLayoutDropsEmptyLinesAndCentresTheBlock)
{
    HWND hwndStatic = m_pDialog->m_stcDescription.GetHwnd();
    ::EnableWindow(hwndStatic, TRUE);
    ::SetWindowTextW(hwndStatic, L"あいうえお\r\n\r\nかきくけこさしすせそ");
    CDibCapture japanese(550, 122), other(550, 122);
    m_pDialog->m_stcDescription.SetLanguage(MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
    japanese.PrintClient(hwndStatic);
    m_pDialog->m_stcDescription.SetLanguage(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    other.PrintClient(hwndStatic);

    const auto linesJa = InkBands(japanese, IsWhiteInk);
    ASSERT_EQ(2u, linesJa.size());
    // The empty line is dropped and the lines are 1.3 font heights apart.
    float fFontHeight = 0.0f;
    {
        Gdiplus::Graphics graphics(japanese.GetDC());
        std::unique_ptr<Gdiplus::Font> pFont = CSkinFont::CreateScaled(CExStatic::kFontBase);
        ASSERT_NE(nullptr, pFont);
        fFontHeight = pFont->GetHeight(&graphics);
    }
    EXPECT_NEAR(fFontHeight * 1.3f, linesJa[1].first - linesJa[0].first, 2.5f);
    // Elsewhere the text is drawn as a whole, with its own line breaks.
    EXPECT_GE(InkBands(other, IsWhiteInk).size(), 2u);
    EXPECT_FALSE(japanese.SameAs(other));
    // Block centred vertically (centre-image style), each line centred horizontally.
    EXPECT_NEAR(linesJa[0].first, 122 - linesJa[1].second, 8);
    const RECT rcFirst = japanese.Bounds(0, linesJa[0].first, 550, linesJa[0].second, IsWhiteInk);
    const RECT rcSecond = japanese.Bounds(0, linesJa[1].first, 550, linesJa[1].second, IsWhiteInk);
    EXPECT_NEAR(550 - rcFirst.right, rcFirst.left, 3);
    EXPECT_NEAR(550 - rcSecond.right, rcSecond.left, 3);
    EXPECT_GT(rcSecond.right - rcSecond.left, rcFirst.right - rcFirst.left);
}

TEST(SkinTextLayoutTest, LineRuleAndSplitting)
{
    const LANGID ja = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
    const LANGID en = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    EXPECT_TRUE(CExStatic::UsesLineLayout(ja, L"a\r\nb"));
    EXPECT_FALSE(CExStatic::UsesLineLayout(ja, L"a\nb"));
    EXPECT_FALSE(CExStatic::UsesLineLayout(en, L"a\r\nb"));

    const struct
    {
        const wchar_t* pszText;
        std::vector<std::wstring> lines;
    } cases[] = {
        {L"one\r\ntwo", {L"one", L"two"}},
        {L"\r\none\r\n\r\n\r\ntwo\r\n", {L"one", L"two"}},
        {L"single", {L"single"}},
        {L"a\nb\r\nc", {L"a\nb", L"c"}},
        {L"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.lines, CExStatic::SplitLines(c.pszText)) << static_cast<const void*>(c.pszText);
}

TEST_F(SkinRenderTest, TransparentControlsShowTheWindowBackground)
{
    // The description area starts at (25, 24) of the window: its corner shows the background
    // bitmap's pixel from there, not from (0, 0).
    CDibCapture dib(550, 122);
    dib.PrintClient(m_pDialog->m_stcDescription.GetHwnd());
    EXPECT_EQ(BackgroundPixel(25, 24), dib.Pixel(0, 0));
    EXPECT_EQ(BackgroundPixel(25 + 549, 24 + 121), dib.Pixel(549, 121));
}

TEST_F(SkinRenderTest, CheckBoxDrawsTickTextAndNoKeyColour)
{
    HWND hwndBox = m_pDialog->m_chkAuto.GetHwnd();
    RECT rc;
    ::GetClientRect(hwndBox, &rc);
    CDibCapture unticked(rc.right, rc.bottom), ticked(rc.right, rc.bottom);
    unticked.PrintClient(hwndBox);
    m_pDialog->m_chkAuto.SetChecked(true);
    ticked.PrintClient(hwndBox);

    const auto isMagenta = [](COLORREF cr) { return cr == RGB(255, 0, 255); };
    EXPECT_EQ(0, ticked.Count(0, 0, rc.right, rc.bottom, isMagenta));
    EXPECT_EQ(0, unticked.Count(0, 0, rc.right, rc.bottom, isMagenta));
    EXPECT_GT(ticked.Count(0, 0, 18, rc.bottom, IsWhiteInk), 5) << "the tick";
    EXPECT_GT(unticked.Count(23, 0, rc.right, rc.bottom, IsWhiteInk), 50) << "the text";
    // The text area is filled with the band colour; the text fits without clipping.
    EXPECT_EQ(RGB(17, 17, 132), ticked.Pixel(rc.right - 1, 1));
    const RECT rcInk = ticked.Bounds(23, 0, rc.right, rc.bottom, IsWhiteInk);
    EXPECT_LT(rcInk.right, rc.right);
    // Outside the box, the window's background shows through.
    EXPECT_EQ(BackgroundPixel(4, 258), ticked.Pixel(0, 0));
}

TEST_F(SkinRenderTest, TitleBarShowsFillIconAndCaption)
{
    CExTitleBar* pBar = m_pDialog->GetTitleBar();
    ASSERT_NE(nullptr, pBar);
    CDibCapture dib(600, 24);
    dib.PrintClient(pBar->GetHwnd());
    EXPECT_EQ(CExTitleBar::kFillColor, dib.Pixel(300, 2));
    const auto isNotFill = [](COLORREF cr) { return cr != CExTitleBar::kFillColor; };
    EXPECT_GT(dib.Count(4, 4, 20, 20, isNotFill), 20) << "icon";
    const RECT rcText = dib.Bounds(21, 0, 500, 24, isNotFill);
    EXPECT_GE(rcText.left, 22);
    EXPECT_GT(rcText.right - rcText.left, 60) << "\"Velomar Launcher\"";
    EXPECT_GE(rcText.top, 3);
    EXPECT_LE(rcText.bottom, 21);
}
