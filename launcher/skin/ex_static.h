#pragma once
// Static text drawn over the parent's background: white when enabled, lavender when disabled.
// Changing its text or enabled state repaints it at once, background included.
#include <windows.h>

#include <string>
#include <vector>

#include "launcher/skin/skin_window.h"

class CExStatic : public CSkinWindow
{
public:
    static constexpr int kFontBase = 140;
    static constexpr COLORREF kEnabledColor = RGB(255, 255, 255);
    static constexpr COLORREF kDisabledColor = RGB(135, 134, 182);

    CExStatic() noexcept;
    ~CExStatic() override = default;

    // GDI+ (default) or plain GDI text.
    void SetUseGdiplus(bool bUse) noexcept { m_bGdiplus = bUse; }
    // Language whose line rule applies (the system default language unless set).
    void SetLanguage(LANGID wLangId) noexcept { m_wLangId = wLangId; }
    void SetFontSize(int nBaseTenths);
    int GetFontBase() const noexcept { return m_nFontBase; }

    // Whether the text is laid out line by line (Japanese systems, text with CR LF).
    static bool UsesLineLayout(LANGID wLangId, const std::wstring& text);
    // The lines of a CR LF separated text, empty lines dropped.
    static std::vector<std::wstring> SplitLines(const std::wstring& text);

    // Paints the static as it looks now into hdc (at 0, 0).
    void Render(HDC hdc);

protected:
    LRESULT WindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

private:
    void DrawText(HDC hdc, const RECT& rc);
    std::wstring GetText() const;

    bool m_bGdiplus = true;
    LANGID m_wLangId;
    int m_nFontBase = kFontBase;
};
