#pragma once
// The update GUI component (class ZepAutoUpdateGUI). Show methods run their window modally on
// the caller's thread; progress, close and state methods may come from any thread meanwhile.
#include <windows.h>

#include <string>

#include "common/com_object.h"
#include "common/connection_point.h"
#include "common/critical_section.h"
#include "common/dispatch_impl.h"
#include "update/gui/gui_resources.h"
#include "update/gui/update_dialog.h"
#include "update/gui/window_slot.h"
#include "zep_gui_library.h"

class CZepAutoUpdateGUI final : public CDispatchImpl<IZepAutoUpdateGUI>,
                                public CConnectionPointContainer,
                                public CComAggregatable<CZepAutoUpdateGUI>
{
public:
    explicit CZepAutoUpdateGUI(IUnknown* pUnkOuter) noexcept;

    HRESULT InternalQueryInterface(REFIID riid, void** ppv);
    ZEP_IMPLEMENT_AGGREGATABLE_IUNKNOWN();

    STDMETHODIMP SetParentRect(BSTR bstrParentRect) override;
    STDMETHODIMP SetDisplayLocationOfWindow(LONG_PTR hWnd, zepDisplayLocation windowLoc) override;
    STDMETHODIMP ShowUpdateConfirmationWindow(ZEP_UPDATED_INFO* pInfo, ULONG* pResult) override;
    STDMETHODIMP ShowDownloadProgressBar(BSTR bstrServiceID) override;
    STDMETHODIMP IsDownloadCanceled(BSTR bstrServiceID, LONG* pCanceled) override;
    STDMETHODIMP CloseDownloadProgressBar(BSTR bstrServiceID) override;
    STDMETHODIMP ShowMarqueeProgressBar(BSTR bstrServiceID, ULONG uDispSpeed) override;
    STDMETHODIMP CloseMarqueeProgressBar(BSTR bstrServiceID) override;
    STDMETHODIMP ShowMessagebyID(zepMessageID nID, ULONG uType, ULONG* pResult) override;
    STDMETHODIMP ShowErrorMessage(HRESULT hr) override;
    STDMETHODIMP SetDownloadProgress(BSTR bstrServiceID, UINT uDwonloadPercentage) override;
    STDMETHODIMP ShowCompleteMessage(BSTR bstrServiceID, BSTR bstrAppName) override;
    STDMETHODIMP IsDownloadCancelIsSelected(BSTR bstrServiceID, LONG* pSelected) override;
    STDMETHODIMP ShowUpdateProgressBar(BSTR bstrServiceID) override;
    STDMETHODIMP SetUpdateProgress(BSTR bstrServiceID, UINT uUpdatePercentage) override;
    STDMETHODIMP CloseUpdateProgressBar(BSTR bstrServiceID) override;

    // The string the error box shows for a result, 0 for none, and its icon.
    static UINT ErrorMessageFor(HRESULT hr, UINT* puIcon);
    // The error box's text for a result, read from resources; empty when the result shows no
    // box. A library without the result's own string gives the string that stands in for it.
    static std::wstring ErrorText(const CGuiResources& resources, HRESULT hr);

private:
    ~CZepAutoUpdateGUI() override = default;

    ZEP_WINDOW_PLACEMENT Placement();
    HRESULT ShowProgress(bool bUpdateMode);
    HRESULT SetProgress(UINT nPercent);
    HRESULT CloseProgress();

    CConnectionPoint m_cpEvents;
    CXCriticalSection m_cs;  // the placement fields
    ZEP_WINDOW_PLACEMENT m_placement;
    RECT m_rcParent = {};
    CWindowSlot m_progressSlot;
    CWindowSlot m_marqueeSlot;
    volatile LONG m_lDownloadCanceled = 0;
    volatile LONG m_lMarqueeCanceled = 0;
    volatile LONG m_lCancelQuestionOpen = 0;
};
