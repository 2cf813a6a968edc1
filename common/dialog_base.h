#pragma once
// A dialog built from a template whose window procedure routes messages to virtual members.
// Modal (DoModal) or modeless (Create); exceptions never leave the dialog procedure.
#include <windows.h>

class CDialogBase
{
public:
    explicit CDialogBase(UINT nTemplateId, HINSTANCE hInstance = nullptr) noexcept;
    virtual ~CDialogBase();
    CDialogBase(const CDialogBase&) = delete;
    CDialogBase& operator=(const CDialogBase&) = delete;

    // Runs the dialog modally; returns the EndDialog result, or -1 when it could not be created.
    INT_PTR DoModal(HWND hwndParent = nullptr);
    // Creates the dialog modeless; the caller pumps messages. nullptr on failure.
    HWND Create(HWND hwndParent = nullptr);
    // Ends a modal dialog, destroys a modeless one.
    void EndDialog(INT_PTR nResult);

    HWND GetHwnd() const noexcept { return m_hwnd; }
    bool IsModal() const noexcept { return m_bModal; }

protected:
    // Return TRUE to let the system set the focus.
    virtual BOOL OnInitDialog() { return TRUE; }
    // IDOK and IDCANCEL end the dialog by default.
    virtual void OnCommand(WORD wId, WORD wNotifyCode, HWND hwndControl);
    // Called while the window still exists.
    virtual void OnDestroy() {}
    // Every message first comes here. Return true when handled; lResult is then the message's
    // result. Returning false lets the dialog's default processing run.
    virtual bool OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult);

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    INT_PTR Route(UINT uMsg, WPARAM wParam, LPARAM lParam);

    UINT m_nTemplateId;
    HINSTANCE m_hInstance;
    HWND m_hwnd = nullptr;
    bool m_bModal = false;
};
