#pragma once
// What the update windows share: their resource library, where they open, the larger title
// fonts, and ending once however many reasons to end arrive.
#include <windows.h>

#include <string>
#include <vector>

#include "common/dialog_base.h"
#include "common/unique_resource.h"
#include "update/gui/gui_resources.h"
#include "zep_gui_library.h"

struct ZEP_WINDOW_PLACEMENT
{
    bool bCentreSet = false;  // ptCentre from a parent rectangle
    POINT ptCentre = {-1, -1};
    zepDisplayLocation eLocation = eCenterOfScreen;
    HWND hwndOwner = nullptr;  // centred over it for eCenterOfWindow
};

// Moves the window as the placement asks and brings it to the front.
void ZepPlaceWindow(HWND hwnd, const ZEP_WINDOW_PLACEMENT& placement);

class CUpdateDialog : public CDialogBase
{
public:
    // Runs the window modally on this thread; -1 when it could not be created.
    INT_PTR Run();

protected:
    CUpdateDialog(UINT nTemplateId, const CGuiResources& resources, const ZEP_WINDOW_PLACEMENT& placement) noexcept;

    void Place() { ZepPlaceWindow(GetHwnd(), m_placement); }
    // The control's text in a normal-weight copy of the dialog font nPixels high.
    void SetControlFont(int nControlId, int nPixels);
    void SetText(int nControlId, const std::wstring& strText);
    std::wstring String(UINT nId) const { return m_resources.String(nId); }
    void EndOnce(INT_PTR nResult);
    bool Ended() const noexcept { return m_bEnded; }
    void DisableSystemClose();

    const CGuiResources& m_resources;

private:
    ZEP_WINDOW_PLACEMENT m_placement;
    std::vector<UniqueHFont> m_fonts;
    bool m_bEnded = false;
};
