#pragma once
// The font rule shared by the skinned controls: family by system language, sizes held in
// tenths of a point and shrunk on screens above 96 dots per inch so text keeps its pixel size.
#include <windows.h>
#include <gdiplus.h>

#include <memory>
#include <string>

class CSkinFont
{
public:
    // "SimHei" for Chinese, "BatangChe" for Korean, "MS UI Gothic" for every other language.
    static const wchar_t* FamilyNameFor(LANGID wLangId) noexcept;
    // The family for the system default language.
    static const wchar_t* SystemFamilyName() noexcept;

    // Tenths of a point to use for nBaseTenths on a screen of nDpi dots per inch.
    static int ScaleSize(int nBaseTenths, int nDpi) noexcept;
    // Vertical dots per inch of the screen.
    static int ScreenDpi() noexcept;

    // A GDI+ font of the named family (the generic sans-serif family when the name or the
    // font cannot be created), nTenths / 10 points. nullptr only when no font at all exists.
    static std::unique_ptr<Gdiplus::Font> Create(const wchar_t* pszFamily, int nTenths,
                                                 INT nStyle = Gdiplus::FontStyleRegular);
    // The rule applied: system family, nBaseTenths scaled for the screen.
    static std::unique_ptr<Gdiplus::Font> CreateScaled(int nBaseTenths,
                                                       INT nStyle = Gdiplus::FontStyleRegular);

    // CR LF pairs as single LF: GDI+ breaks lines at LF, and some implementations draw the CR
    // as a visible glyph.
    static std::wstring NormalizeLineBreaks(std::wstring text);

    // The text settings every skinned control draws with.
    static void PrepareGraphics(Gdiplus::Graphics& graphics) noexcept;
};
