#include "common/dialog_base.h"

namespace
{
// Messages whose result a dialog procedure returns directly instead of through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT uMsg)
{
    switch (uMsg)
    {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
        return true;
    default:
        return false;
    }
}
}  // namespace

CDialogBase::CDialogBase(UINT nTemplateId, HINSTANCE hInstance) noexcept
    : m_nTemplateId(nTemplateId), m_hInstance(hInstance ? hInstance : ::GetModuleHandleW(nullptr))
{
}

CDialogBase::~CDialogBase()
{
    // A modeless dialog must not outlive its object: its procedure would route to freed memory.
    if (m_hwnd && !m_bModal && ::IsWindow(m_hwnd))
        ::DestroyWindow(m_hwnd);
}

INT_PTR CDialogBase::DoModal(HWND hwndParent)
{
    m_bModal = true;
    return ::DialogBoxParamW(m_hInstance, MAKEINTRESOURCEW(m_nTemplateId), hwndParent, DialogProc,
                             reinterpret_cast<LPARAM>(this));
}

HWND CDialogBase::Create(HWND hwndParent)
{
    m_bModal = false;
    return ::CreateDialogParamW(m_hInstance, MAKEINTRESOURCEW(m_nTemplateId), hwndParent, DialogProc,
                                reinterpret_cast<LPARAM>(this));
}

void CDialogBase::EndDialog(INT_PTR nResult)
{
    if (!m_hwnd)
        return;
    if (m_bModal)
        ::EndDialog(m_hwnd, nResult);
    else
        ::DestroyWindow(m_hwnd);
}

void CDialogBase::OnCommand(WORD wId, WORD, HWND)
{
    if (wId == IDOK || wId == IDCANCEL)
        EndDialog(wId);
}

bool CDialogBase::OnMessage(UINT, WPARAM, LPARAM, LRESULT&)
{
    return false;
}

INT_PTR CALLBACK CDialogBase::DialogProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    CDialogBase* pThis = nullptr;
    if (uMsg == WM_INITDIALOG)
    {
        pThis = reinterpret_cast<CDialogBase*>(lParam);
        pThis->m_hwnd = hwnd;
        ::SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(pThis));
    }
    else
    {
        pThis = reinterpret_cast<CDialogBase*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    if (!pThis)
        return FALSE;

    INT_PTR nResult = FALSE;
    try
    {
        nResult = pThis->Route(uMsg, wParam, lParam);
    }
    catch (...)
    {
        nResult = FALSE;
    }
    if (uMsg == WM_NCDESTROY)
    {
        ::SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        pThis->m_hwnd = nullptr;
    }
    return nResult;
}

INT_PTR CDialogBase::Route(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    LRESULT lResult = 0;
    if (OnMessage(uMsg, wParam, lParam, lResult))
    {
        if (ReturnsResultDirectly(uMsg))
            return static_cast<INT_PTR>(lResult);
        ::SetWindowLongPtrW(m_hwnd, DWLP_MSGRESULT, lResult);
        return TRUE;
    }
    switch (uMsg)
    {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return TRUE;
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    default:
        return FALSE;
    }
}
