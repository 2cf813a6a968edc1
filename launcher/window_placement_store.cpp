#include "launcher/window_placement_store.h"

#include <vector>

#include "common/registry.h"
#include "common/string_util.h"
#include "launcher/tolvik_constants.h"

namespace
{
const LONG kMinVisible = 100;
}

bool CWindowPlacementStore::Load(WINDOWPLACEMENT& wp) const
{
    std::vector<BYTE> data;
    DWORD dwType = REG_NONE;
    const std::wstring name = FormatString(L"%d", m_nTemplateId);
    if (FAILED(Registry::ReadValue(HKEY_CURRENT_USER, TOLVIK_PROFILE_KEY, name.c_str(), data, dwType)))
        return false;
    if (dwType != REG_BINARY || data.size() != sizeof(WINDOWPLACEMENT))
        return false;
    memcpy(&wp, data.data(), sizeof(wp));
    return true;
}

void CWindowPlacementStore::Save(HWND hwnd) const
{
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof(wp);
    if (!::GetWindowPlacement(hwnd, &wp))
        return;
    if (wp.showCmd != SW_SHOWMAXIMIZED)
        wp.showCmd = SW_SHOW;
    const std::wstring name = FormatString(L"%d", m_nTemplateId);
    Registry::WriteValue(HKEY_CURRENT_USER, TOLVIK_PROFILE_KEY, name.c_str(), REG_BINARY, &wp, sizeof(wp));
}

bool CWindowPlacementStore::IsOnScreen(const WINDOWPLACEMENT& wp, SIZE windowSize, SIZE fullScreen)
{
    const LONG nLeft = wp.rcNormalPosition.left;
    const LONG nTop = wp.rcNormalPosition.top;
    if (nLeft + windowSize.cx <= kMinVisible || nTop + windowSize.cy <= kMinVisible)
        return false;
    return nLeft < fullScreen.cx - kMinVisible && nTop < fullScreen.cy - kMinVisible;
}

bool CWindowPlacementStore::Restore(HWND hwnd, SIZE windowSize) const
{
    WINDOWPLACEMENT wp = {};
    if (!Load(wp))
        return false;
    const SIZE fullScreen = {::GetSystemMetrics(SM_CXFULLSCREEN), ::GetSystemMetrics(SM_CYFULLSCREEN)};
    if (!IsOnScreen(wp, windowSize, fullScreen))
        return false;
    wp.length = sizeof(wp);
    // Whatever was stored, the window must not come back hidden or minimised.
    if (wp.showCmd != SW_SHOWMAXIMIZED)
        wp.showCmd = SW_SHOW;
    return ::SetWindowPlacement(hwnd, &wp) != FALSE;
}
