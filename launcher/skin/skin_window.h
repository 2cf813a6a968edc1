#pragma once
// Base of the skinned controls: attaches an object to an existing window (a dialog control)
// by subclassing, and routes its messages to a virtual window procedure.
#include <windows.h>

class CSkinWindow
{
public:
    CSkinWindow() noexcept = default;
    virtual ~CSkinWindow();
    CSkinWindow(const CSkinWindow&) = delete;
    CSkinWindow& operator=(const CSkinWindow&) = delete;

    // Attaches to hwnd; false when hwnd is invalid or this object is attached already.
    bool SubclassWindow(HWND hwnd);
    // Attaches to the control nId of a dialog.
    bool SubclassDlgItem(UINT nId, HWND hwndParent);
    // Detaches; the window keeps running with its own class procedure.
    void UnsubclassWindow();

    HWND GetHwnd() const noexcept { return m_hwnd; }
    // The object attached to hwnd, if it is a skinned window.
    static CSkinWindow* FromHandle(HWND hwnd) noexcept;

protected:
    // Called once the window is attached.
    virtual void OnSubclassed() {}
    // Every message of the window; the default passes it to the window's own procedure.
    virtual LRESULT WindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam);
    // The window's own (class) procedure.
    LRESULT DefProc(UINT uMsg, WPARAM wParam, LPARAM lParam);
    // Runs the class procedure with WS_VISIBLE cleared, so a system control does its work
    // (state, text, focus) without painting over the skin.
    LRESULT DefProcHidden(UINT uMsg, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR uIdSubclass, DWORD_PTR dwRefData);

    HWND m_hwnd = nullptr;
};
