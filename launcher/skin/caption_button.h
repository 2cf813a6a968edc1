#pragma once
// Minimise or close button of the skinned title bar. Bitmap base id while idle, base + 1
// while hovered, base + 2 while pressed. A click posts WM_SYSCOMMAND SC_MINIMIZE (minimise)
// or WM_CLOSE (close) to the dialog that owns the title bar.
#include <windows.h>

#include "launcher/skin/ex_button.h"

class CCaptionButton : public CExButton
{
public:
    enum EKind
    {
        eMinimize,
        eClose,
    };

    explicit CCaptionButton(EKind eKind) noexcept : m_eKind(eKind) {}
    ~CCaptionButton() override = default;

    // Creates the button as a child of hwndTitleBar (command 32771 or 32774), sized like the
    // minimise bitmap, and notifies hwndDialog when clicked.
    bool Create(HWND hwndTitleBar, HWND hwndDialog, int x, int y);
    // Size of every caption button (that of the minimise bitmap).
    static SIZE ButtonSize();

    EKind GetKind() const noexcept { return m_eKind; }
    UINT GetBaseBitmapId() const noexcept;

protected:
    void DrawButton(HDC hdc, const RECT& rc, int nState) override;
    void OnClicked() override;

private:
    EKind m_eKind;
    HWND m_hwndDialog = nullptr;
};
