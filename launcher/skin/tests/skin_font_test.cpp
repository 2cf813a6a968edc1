// The font rule of the skinned controls: family by system language, size by screen DPI.
#include <gtest/gtest.h>

#include <string>

#include "launcher/skin/skin_font.h"

TEST(SkinFontTest, FamilyFollowsThePrimaryLanguage)
{
    struct Case
    {
        LANGID wLangId;
        const wchar_t* pszFamily;
    };
    const Case cases[] = {
        {MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), L"SimHei"},
        {MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_TRADITIONAL), L"SimHei"},
        {MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_HONGKONG), L"SimHei"},
        {MAKELANGID(LANG_KOREAN, SUBLANG_KOREAN), L"BatangChe"},
        {MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), L"MS UI Gothic"},
        {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), L"MS UI Gothic"},
        {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), L"MS UI Gothic"},
        {MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), L"MS UI Gothic"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.wLangId);
        EXPECT_EQ(std::wstring(c.pszFamily), CSkinFont::FamilyNameFor(c.wLangId));
    }
}

TEST(SkinFontTest, SizeKeepsItsPixelSizeAbove96Dpi)
{
    struct Case
    {
        int nBase;
        int nDpi;
        int nExpected;
    };
    const Case cases[] = {
        {120, 96, 120},   // 12 pt at 96 dots per inch
        {120, 120, 96},   // 9.6 pt at 120
        {120, 144, 80},   {100, 120, 80}, {109, 120, 87}, {140, 192, 70},
        {120, 100, 115},  // 115.2: the integer part, not a rounded-down float artefact
        {120, 72, 120},   // never grows on coarser screens
        {0, 120, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << c.nBase << " at " << c.nDpi);
        EXPECT_EQ(c.nExpected, CSkinFont::ScaleSize(c.nBase, c.nDpi));
    }
}

TEST(SkinFontTest, CreatesTheNamedFamilyInPoints)
{
    std::unique_ptr<Gdiplus::Font> pFont = CSkinFont::Create(L"MS UI Gothic", 120);
    ASSERT_NE(nullptr, pFont);
    EXPECT_FLOAT_EQ(12.0f, pFont->GetSize());
    EXPECT_EQ(Gdiplus::UnitPoint, pFont->GetUnit());
}

TEST(SkinFontTest, UnknownFamilyFallsBackToSansSerif)
{
    std::unique_ptr<Gdiplus::Font> pFont = CSkinFont::Create(L"No Such Family 9417", 105);
    ASSERT_NE(nullptr, pFont);
    EXPECT_FLOAT_EQ(10.5f, pFont->GetSize());
    Gdiplus::FontFamily family;
    ASSERT_EQ(Gdiplus::Ok, pFont->GetFamily(&family));
    wchar_t szName[LF_FACESIZE] = {};
    family.GetFamilyName(szName);
    EXPECT_STRNE(L"No Such Family 9417", szName);
}

TEST(SkinFontTest, ScaledFontUsesTheScreenDpi)
{
    std::unique_ptr<Gdiplus::Font> pFont = CSkinFont::CreateScaled(120);
    ASSERT_NE(nullptr, pFont);
    EXPECT_FLOAT_EQ(CSkinFont::ScaleSize(120, CSkinFont::ScreenDpi()) / 10.0f, pFont->GetSize());
}
