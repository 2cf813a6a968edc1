#pragma once
// The title strip of a skinned dialog: fill colour, small icon, caption text and the caption
// buttons. Mouse input passes through to the dialog (which reports the strip as its caption).
#include <windows.h>

#include <memory>
#include <vector>

#include "common/unique_resource.h"

#include "launcher/skin/caption_button.h"

class CExTitleBar
{
public:
    static constexpr int kHeight = 24;
    static constexpr COLORREF kFillColor = RGB(15, 15, 133);

    CExTitleBar() noexcept;
    ~CExTitleBar();
    CExTitleBar(const CExTitleBar&) = delete;
    CExTitleBar& operator=(const CExTitleBar&) = delete;

    // Creates the strip across the top of hwndDialog's client area (id -1) with the caption
    // buttons the dialog's styles call for.
    bool Create(HWND hwndDialog);
    void Destroy();
    // Stretches the strip to the given width and lays the caption buttons out again.
    void Resize(int cx);
    // Active look on or off (repaints).
    void SetActive(bool bActive);

    HWND GetHwnd() const noexcept { return m_hwnd; }
    CCaptionButton* GetMinimizeButton() const noexcept { return m_pMinimize.get(); }
    CCaptionButton* GetCloseButton() const noexcept { return m_pClose.get(); }
    // Paints the strip as it looks now into hdc (at 0, 0).
    void Render(HDC hdc);

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);
    void LayoutButtons();
    void EraseBackground(HDC hdc);
    // The caption buttons that exist, each with its rectangle in this strip's client coordinates.
    std::vector<RECT> ButtonRects() const;
    HICON SmallIcon();

    HWND m_hwnd = nullptr;
    HWND m_hwndDialog = nullptr;
    UniqueHIcon m_hIcon;
    bool m_bActive = true;
    std::unique_ptr<CCaptionButton> m_pMinimize;
    std::unique_ptr<CCaptionButton> m_pClose;
};
