#pragma once
// Owner-drawn button with a normal / hover / pressed state machine. It tells its parent when
// the pointer moves over it (WM_TOLVIK_HOVER with its id) and leaves it (wParam 0), and sends
// WM_COMMAND (code 0) when a press is released over it. Keyboard clicks are not handled.
#include <windows.h>

#include "launcher/skin/skin_window.h"
#include "launcher/skin/skin_messages.h"

class CExButton : public CSkinWindow
{
public:
    enum EState
    {
        eStateNormal = 0,
        eStateHover = 1,
        eStatePressed = 2,
    };

    CExButton() noexcept = default;
    ~CExButton() override = default;

    int GetState() const noexcept { return m_nState; }
    int GetPreviousState() const noexcept { return m_nPrevState; }

    // Paints the button as it looks now into hdc (at 0, 0): the same routine as WM_PAINT.
    void Render(HDC hdc);

protected:
    void OnSubclassed() override;
    LRESULT WindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

    // Draws the whole client rectangle rc into hdc for nState. The base fills a plain face.
    virtual void DrawButton(HDC hdc, const RECT& rc, int nState);
    // A press was released over the button. The base sends WM_COMMAND to the parent.
    virtual void OnClicked();
    // Whether the class procedure may handle the mouse and keyboard (the base: no).
    virtual bool ForwardInputToDefault() const { return false; }

    void Repaint();
    void SendToParent(UINT uMsg, WPARAM wParam, LPARAM lParam);

private:
    void OnLButtonDown(POINT pt);
    void OnLButtonUp(POINT pt);
    void OnMouseMove(POINT pt);
    void OnMouseLeave();
    void OnCaptureLost();
    void TrackLeave();
    bool HitTest(POINT pt) const;
    void PaintWindow();

    int m_nState = eStateNormal;
    int m_nPrevState = eStateNormal;
};
