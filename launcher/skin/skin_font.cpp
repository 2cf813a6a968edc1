#include "launcher/skin/skin_font.h"

const wchar_t* CSkinFont::FamilyNameFor(LANGID wLangId) noexcept
{
    switch (PRIMARYLANGID(wLangId))
    {
    case LANG_CHINESE:
        return L"SimHei";
    case LANG_KOREAN:
        return L"BatangChe";
    default:
        return L"MS UI Gothic";
    }
}

const wchar_t* CSkinFont::SystemFamilyName() noexcept
{
    return FamilyNameFor(::GetSystemDefaultLangID());
}

int CSkinFont::ScaleSize(int nBaseTenths, int nDpi) noexcept
{
    // Point sizes grow with the screen's dots per inch; dividing by the ratio to 96 keeps the
    // caption inside the bitmaps, which do not grow. Integer arithmetic gives the exact
    // integer part (a floating ratio such as 1.0416... could round 115 down to 114).
    if (nDpi <= 96)
        return nBaseTenths;
    return nBaseTenths * 96 / nDpi;
}

int CSkinFont::ScreenDpi() noexcept
{
    HDC hdc = ::GetDC(nullptr);
    if (!hdc)
        return 96;
    const int nDpi = ::GetDeviceCaps(hdc, LOGPIXELSY);
    ::ReleaseDC(nullptr, hdc);
    return nDpi > 0 ? nDpi : 96;
}

std::unique_ptr<Gdiplus::Font> CSkinFont::Create(const wchar_t* pszFamily, int nTenths, INT nStyle)
{
    const Gdiplus::REAL emSize = static_cast<Gdiplus::REAL>(nTenths) / 10.0f;
    {
        Gdiplus::FontFamily family(pszFamily);
        if (family.GetLastStatus() == Gdiplus::Ok && family.IsAvailable())
        {
            std::unique_ptr<Gdiplus::Font> pFont(
                new Gdiplus::Font(&family, emSize, nStyle, Gdiplus::UnitPoint));
            if (pFont->GetLastStatus() == Gdiplus::Ok)
                return pFont;
        }
    }
    const Gdiplus::FontFamily* pGeneric = Gdiplus::FontFamily::GenericSansSerif();
    if (pGeneric && pGeneric->GetLastStatus() == Gdiplus::Ok)
    {
        std::unique_ptr<Gdiplus::Font> pFont(
            new Gdiplus::Font(pGeneric, emSize, nStyle, Gdiplus::UnitPoint));
        if (pFont->GetLastStatus() == Gdiplus::Ok)
            return pFont;
    }
    return nullptr;
}

std::unique_ptr<Gdiplus::Font> CSkinFont::CreateScaled(int nBaseTenths, INT nStyle)
{
    return Create(SystemFamilyName(), ScaleSize(nBaseTenths, ScreenDpi()), nStyle);
}

void CSkinFont::PrepareGraphics(Gdiplus::Graphics& graphics) noexcept
{
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
    graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAliasGridFit);
}

std::wstring CSkinFont::NormalizeLineBreaks(std::wstring text)
{
    size_t nPos = 0;
    while ((nPos = text.find(L"\r\n", nPos)) != std::wstring::npos)
        text.erase(nPos, 1);
    return text;
}
