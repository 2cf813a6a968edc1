#include "update/gui/zep_auto_update_gui.h"

#include "common/error_macros.h"
#include "common/string_util.h"
#include "update/gui/confirm_dlg.h"
#include "update/gui/gui_codes.h"
#include "update/gui/gui_resources.h"
#include "update/gui/gui_seams.h"
#include "update/gui/marquee_dlg.h"
#include "update/gui/progress_dlg.h"
#include "update/gui/res/gui_res_ids.h"
#include "update/gui/window_placement_rule.h"

namespace
{
struct ERROR_TEXT
{
    HRESULT hr;
    UINT nStringId;
    UINT uIcon;
    // Shown when the resource library has no nStringId: libraries built to the shorter string
    // list say the busy check with the update title.
    UINT nFallbackId;
};

const ERROR_TEXT kErrorTexts[] = {
    {static_cast<HRESULT>(0x80042301), IDS_ZEP_ERR_GENERAL, MB_ICONERROR},
    {ZEP_E_GUI_INVALIDARG, IDS_ZEP_ERR_GENERAL, MB_ICONERROR},
    {E_INVALIDARG, IDS_ZEP_ERR_GENERAL, MB_ICONERROR},
    {E_OUTOFMEMORY, IDS_ZEP_ERR_GENERAL, MB_ICONERROR},
    {ZEP_E_DOWNLOAD_CANCELED, IDS_ZEP_DOWNLOAD_CANCELED, 0},
    {static_cast<HRESULT>(0x80044201), IDS_ZEP_ERR_SERVER, MB_ICONERROR},
    {static_cast<HRESULT>(0x80044202), IDS_ZEP_ERR_SERVER, MB_ICONERROR},
    {static_cast<HRESULT>(0x80044203), IDS_ZEP_ERR_SERVER, MB_ICONERROR},
    {static_cast<HRESULT>(0x80044208), IDS_ZEP_ERR_SERVER, MB_ICONERROR},
    {static_cast<HRESULT>(0x80044206), IDS_ZEP_ERR_SAVE, MB_ICONERROR},
    {static_cast<HRESULT>(0x80044207), IDS_ZEP_ERR_SAVE, MB_ICONERROR},
    {static_cast<HRESULT>(0x80043305), IDS_ZEP_ERR_SAVE, MB_ICONERROR},
    {static_cast<HRESULT>(0x80041210), IDS_ZEP_ERR_DISK_FULL, 0},
    {static_cast<HRESULT>(0x80043208), IDS_ZEP_ERR_FILE_INVALID, MB_ICONERROR},
    {static_cast<HRESULT>(0x8004420A), IDS_ZEP_ERR_FILE_INVALID, MB_ICONERROR},
    {static_cast<HRESULT>(0x80044204), IDS_ZEP_ERR_INFO_INVALID, 0},
    {static_cast<HRESULT>(0x80044301), IDS_ZEP_ERR_INFO_INVALID, 0},
    {static_cast<HRESULT>(0x80044401), IDS_ZEP_ERR_CHECK_BUSY, 0, IDS_ZEP_UPDATE_TITLE},
    {static_cast<HRESULT>(0x80043302), IDS_ZEP_ERR_NETWORK, 0},
    {static_cast<HRESULT>(0x80043202), IDS_ZEP_ERR_NETWORK, 0},
};

const ERROR_TEXT* FindErrorText(HRESULT hr)
{
    for (const ERROR_TEXT& entry : kErrorTexts)
    {
        if (entry.hr == hr)
            return &entry;
    }
    return nullptr;
}

const UINT kCancelPollMs = 100;
const DWORD kMarqueeSettleMs = 200;

// A box of the library: caption 102, always on top.
HRESULT ShowBox(HWND hwndOwner, UINT nTextId, const std::wstring* pstrText, UINT uType, int* pnAnswer)
{
    const CGuiResources* pResources = nullptr;
    RETURN_IF_FAILED(CGuiResources::Shared(&pResources));
    const std::wstring strText = pstrText ? *pstrText : pResources->String(nTextId);
    const int nAnswer = ZepGuiMessageBox(hwndOwner, strText.c_str(), pResources->String(IDS_ZEP_CAPTION).c_str(),
                                         uType | MB_TOPMOST);
    if (pnAnswer)
        *pnAnswer = nAnswer;
    return S_OK;
}
}  // namespace

CZepAutoUpdateGUI::CZepAutoUpdateGUI(IUnknown* pUnkOuter) noexcept
    : CComAggregatable<CZepAutoUpdateGUI>(pUnkOuter),
      m_cpEvents(static_cast<IConnectionPointContainer*>(this), DIID__IZepAutoUpdateGUIEvents)
{
    AddConnectionPoint(&m_cpEvents);
}

HRESULT CZepAutoUpdateGUI::InternalQueryInterface(REFIID riid, void** ppv)
{
    static const QITAB qit[] = {
        QITABENT(CZepAutoUpdateGUI, IZepAutoUpdateGUI),
        QITABENTMULTI(CZepAutoUpdateGUI, IDispatch, IZepAutoUpdateGUI),
        QITABENT(CZepAutoUpdateGUI, IConnectionPointContainer),
        {nullptr, 0},
    };
    return QISearch(this, qit, riid, ppv);
}

UINT CZepAutoUpdateGUI::ErrorMessageFor(HRESULT hr, UINT* puIcon)
{
    const ERROR_TEXT* pEntry = FindErrorText(hr);
    if (puIcon)
        *puIcon = pEntry ? pEntry->uIcon : 0;
    return pEntry ? pEntry->nStringId : 0;
}

std::wstring CZepAutoUpdateGUI::ErrorText(const CGuiResources& resources, HRESULT hr)
{
    const ERROR_TEXT* pEntry = FindErrorText(hr);
    if (!pEntry)
        return std::wstring();
    std::wstring strText = resources.String(pEntry->nStringId);
    if (strText.empty() && pEntry->nFallbackId != 0)
        strText = resources.String(pEntry->nFallbackId);
    return strText;
}

ZEP_WINDOW_PLACEMENT CZepAutoUpdateGUI::Placement()
{
    CXLock lock(m_cs);
    return m_placement;
}

STDMETHODIMP CZepAutoUpdateGUI::SetParentRect(BSTR bstrParentRect)
try
{
    RECT rcParent = {};
    const HRESULT hr = ZepParseParentRect(bstrParentRect, &rcParent);
    if (hr != S_OK)
        return hr;
    RECT rcDesktop = {};
    ::GetWindowRect(::GetDesktopWindow(), &rcDesktop);
    const POINT ptCentre = ZepCentreBesideParent(rcParent, rcDesktop);
    CXLock lock(m_cs);
    m_rcParent = rcParent;
    m_placement.bCentreSet = true;
    m_placement.ptCentre = ptCentre;
    return S_OK;
}
ZEP_CATCH_RETURN()

STDMETHODIMP CZepAutoUpdateGUI::SetDisplayLocationOfWindow(LONG_PTR hWnd, zepDisplayLocation windowLoc)
{
    CXLock lock(m_cs);
    m_placement.hwndOwner = reinterpret_cast<HWND>(hWnd);
    if (static_cast<ULONG>(windowLoc) > eCenterOfWindow)
        return ZEP_E_GUI_INVALIDARG;
    m_placement.eLocation = windowLoc;
    return S_OK;
}

STDMETHODIMP CZepAutoUpdateGUI::ShowUpdateConfirmationWindow(ZEP_UPDATED_INFO* pInfo, ULONG* pResult)
try
{
    RETURN_HR_IF_NULL(E_POINTER, pInfo);
    RETURN_HR_IF_NULL(E_POINTER, pResult);
    *pResult = 0;
    const CGuiResources* pResources = nullptr;
    RETURN_IF_FAILED(CGuiResources::Shared(&pResources));
    CConfirmDlg dialog(*pResources, Placement(), *pInfo);
    const INT_PTR nResult = dialog.Run();
    RETURN_HR_IF(E_OUTOFMEMORY, nResult == -1);
    *pResult = nResult == 1 ? 1 : 0;
    return S_OK;
}
ZEP_CATCH_RETURN()

HRESULT CZepAutoUpdateGUI::ShowProgress(bool bUpdateMode)
{
    const CGuiResources* pResources = nullptr;
    RETURN_IF_FAILED(CGuiResources::Shared(&pResources));
    if (!m_progressSlot.TryOpen())
        return ZEP_E_WINDOW_ALREADY_OPEN;
    ::InterlockedExchange(&m_lDownloadCanceled, 0);
    ::InterlockedExchange(&m_lCancelQuestionOpen, 0);
    INT_PTR nResult = -1;
    try
    {
        CProgressDlg dialog(*pResources, Placement(), bUpdateMode ? CProgressDlg::eUpdate : CProgressDlg::eDownload,
                            m_progressSlot, &m_lCancelQuestionOpen, &m_lDownloadCanceled);
        nResult = dialog.Run();
    }
    catch (...)
    {
        nResult = -1;
    }
    m_progressSlot.Release();
    if (nResult == -1)
        return E_OUTOFMEMORY;
    return m_lDownloadCanceled ? ZEP_E_DOWNLOAD_CANCELED : S_OK;
}

HRESULT CZepAutoUpdateGUI::SetProgress(UINT nPercent)
{
    if (!m_progressSlot.IsOpen())
        return S_FALSE;
    if (nPercent > 100)
        return ZEP_E_GUI_INVALIDARG;
    return m_progressSlot.PostProgress(nPercent) ? S_OK : S_FALSE;
}

HRESULT CZepAutoUpdateGUI::CloseProgress()
{
    if (!m_progressSlot.IsOpen())
        return S_FALSE;
    // The user's answer comes first: a Yes cancels, and this close then has nothing to do.
    while (m_lCancelQuestionOpen && m_progressSlot.IsOpen())
        ::Sleep(kCancelPollMs);
    if (m_lDownloadCanceled)
        return S_OK;
    m_progressSlot.RequestClose();
    return S_OK;
}

STDMETHODIMP CZepAutoUpdateGUI::ShowDownloadProgressBar(BSTR) { return ShowProgress(false); }

STDMETHODIMP CZepAutoUpdateGUI::ShowUpdateProgressBar(BSTR) { return ShowProgress(true); }

STDMETHODIMP CZepAutoUpdateGUI::IsDownloadCanceled(BSTR, LONG* pCanceled)
{
    RETURN_HR_IF_NULL(E_POINTER, pCanceled);
    *pCanceled = m_lDownloadCanceled;
    return S_OK;
}

STDMETHODIMP CZepAutoUpdateGUI::IsDownloadCancelIsSelected(BSTR, LONG* pSelected)
{
    RETURN_HR_IF_NULL(E_POINTER, pSelected);
    *pSelected = m_lCancelQuestionOpen;
    return S_OK;
}

STDMETHODIMP CZepAutoUpdateGUI::CloseDownloadProgressBar(BSTR) { return CloseProgress(); }

STDMETHODIMP CZepAutoUpdateGUI::CloseUpdateProgressBar(BSTR) { return CloseProgress(); }

STDMETHODIMP CZepAutoUpdateGUI::SetDownloadProgress(BSTR, UINT uDwonloadPercentage)
{
    return SetProgress(uDwonloadPercentage);
}

STDMETHODIMP CZepAutoUpdateGUI::SetUpdateProgress(BSTR, UINT uUpdatePercentage) { return SetProgress(uUpdatePercentage); }

STDMETHODIMP CZepAutoUpdateGUI::ShowMarqueeProgressBar(BSTR, ULONG uDispSpeed)
try
{
    const CGuiResources* pResources = nullptr;
    RETURN_IF_FAILED(CGuiResources::Shared(&pResources));
    if (!m_marqueeSlot.TryOpen())
        return ZEP_E_WINDOW_ALREADY_OPEN;
    ::InterlockedExchange(&m_lMarqueeCanceled, 0);
    INT_PTR nResult = -1;
    try
    {
        CMarqueeDlg dialog(*pResources, Placement(), m_marqueeSlot, uDispSpeed, &m_lMarqueeCanceled);
        nResult = dialog.Run();
    }
    catch (...)
    {
        nResult = -1;
    }
    m_marqueeSlot.Release();
    if (nResult == -1)
        return E_OUTOFMEMORY;
    ::Sleep(kMarqueeSettleMs);
    return m_lMarqueeCanceled ? ZEP_E_MARQUEE_CANCELED : S_OK;
}
ZEP_CATCH_RETURN()

STDMETHODIMP CZepAutoUpdateGUI::CloseMarqueeProgressBar(BSTR)
{
    return m_marqueeSlot.RequestClose() ? S_OK : S_FALSE;
}

STDMETHODIMP CZepAutoUpdateGUI::ShowMessagebyID(zepMessageID nID, ULONG uType, ULONG* pResult)
try
{
    RETURN_HR_IF_NULL(E_POINTER, pResult);
    *pResult = 1;
    UINT nTextId = 0;
    if (nID == eNoUpdate)
        nTextId = IDS_ZEP_NO_UPDATE;
    else if (nID == eDownloadCanceled)
        nTextId = IDS_ZEP_DOWNLOAD_CANCELED;
    if (nTextId == 0)
        return S_OK;
    int nAnswer = 0;
    RETURN_IF_FAILED(ShowBox(nullptr, nTextId, nullptr, uType, &nAnswer));
    *pResult = static_cast<ULONG>(nAnswer);
    return S_OK;
}
ZEP_CATCH_RETURN()

STDMETHODIMP CZepAutoUpdateGUI::ShowErrorMessage(HRESULT hr)
try
{
    UINT uIcon = 0;
    if (ErrorMessageFor(hr, &uIcon) == 0)
        return S_OK;
    const CGuiResources* pResources = nullptr;
    RETURN_IF_FAILED(CGuiResources::Shared(&pResources));
    const std::wstring strText = ErrorText(*pResources, hr);
    RETURN_IF_FAILED(ShowBox(nullptr, 0, &strText, MB_OK | uIcon, nullptr));
    return S_OK;
}
ZEP_CATCH_RETURN()

STDMETHODIMP CZepAutoUpdateGUI::ShowCompleteMessage(BSTR, BSTR bstrAppName)
try
{
    const CGuiResources* pResources = nullptr;
    RETURN_IF_FAILED(CGuiResources::Shared(&pResources));
    const std::wstring strText =
        FormatString(pResources->String(IDS_ZEP_COMPLETE).c_str(), bstrAppName ? bstrAppName : L"");
    const ZEP_WINDOW_PLACEMENT placement = Placement();
    HWND hwndOwner = nullptr;
    if (placement.eLocation == eCenterOfWindow && placement.hwndOwner && ::IsWindow(placement.hwndOwner))
        hwndOwner = placement.hwndOwner;
    RETURN_IF_FAILED(ShowBox(hwndOwner, 0, &strText, MB_OK | MB_ICONINFORMATION, nullptr));
    return S_OK;
}
ZEP_CATCH_RETURN()
