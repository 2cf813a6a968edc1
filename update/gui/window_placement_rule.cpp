#include "update/gui/window_placement_rule.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <cerrno>
#include <climits>

#include "update/gui/gui_codes.h"

namespace
{
// One integer with optional blanks around it, up to the next comma or the end.
bool ReadInteger(const wchar_t*& psz, LONG& nValue)
{
    while (*psz == L' ' || *psz == L'\t')
        ++psz;
    const wchar_t* pszStart = psz;
    if (*psz == L'-' || *psz == L'+')
        ++psz;
    if (!iswdigit(*psz))
        return false;
    psz = pszStart;
    wchar_t* pszEnd = nullptr;
    errno = 0;
    const long long llValue = std::wcstoll(psz, &pszEnd, 10);
    if (errno != 0 || llValue < INT_MIN || llValue > INT_MAX)
        return false;
    psz = pszEnd;
    while (*psz == L' ' || *psz == L'\t')
        ++psz;
    nValue = static_cast<LONG>(llValue);
    return true;
}
}  // namespace

HRESULT ZepParseParentRect(const wchar_t* pszRect, RECT* prcParent)
{
    if (!pszRect)
        return S_FALSE;
    if (!prcParent)
        return E_POINTER;
    LONG values[4] = {};
    const wchar_t* psz = pszRect;
    for (int i = 0; i < 4; ++i)
    {
        if (i > 0)
        {
            if (*psz != L',')
                return ZEP_E_GUI_INVALIDARG;
            ++psz;
        }
        if (!ReadInteger(psz, values[i]))
            return ZEP_E_GUI_INVALIDARG;
    }
    if (*psz != L'\0')
        return ZEP_E_GUI_INVALIDARG;
    const long long llRight = static_cast<long long>(values[0]) + values[2];
    const long long llBottom = static_cast<long long>(values[1]) + values[3];
    if (llRight > INT_MAX || llBottom > INT_MAX)
        return ZEP_E_GUI_INVALIDARG;
    const RECT rc = {values[0], values[1], static_cast<LONG>(llRight), static_cast<LONG>(llBottom)};
    if (rc.right <= rc.left || rc.bottom <= rc.top)
        return ZEP_E_GUI_INVALIDARG;
    *prcParent = rc;
    return S_OK;
}

POINT ZepCentreBesideParent(const RECT& rcParent, const RECT& rcDesktop)
{
    POINT pt;
    pt.y = (rcDesktop.bottom - rcDesktop.top) / 2;
    if (rcParent.left > kZepPlacementWidth)
        pt.x = rcParent.left / 2;
    else if (rcDesktop.right - kZepPlacementWidth < rcParent.right)
        pt.x = rcDesktop.right - kZepPlacementWidth / 2;
    else
        pt.x = rcParent.right + (rcDesktop.right - rcParent.right) / 2;
    return pt;
}

POINT ZepClampedTopLeft(SIZE sizeWindow, POINT ptCentre, const RECT& rcDesktop, int nMargin)
{
    POINT pt = {ptCentre.x - sizeWindow.cx / 2, ptCentre.y - sizeWindow.cy / 2};
    // A window larger than the desktop keeps its top-left corner visible.
    pt.x = std::max<LONG>(std::min<LONG>(pt.x, rcDesktop.right - nMargin - sizeWindow.cx), rcDesktop.left + nMargin);
    pt.y = std::max<LONG>(std::min<LONG>(pt.y, rcDesktop.bottom - nMargin - sizeWindow.cy), rcDesktop.top + nMargin);
    return pt;
}
