#include "launcher/skin/caption_button.h"

#include "launcher/skin/bitmap_cache.h"
#include "launcher/skin/skin_draw.h"
#include "launcher/skin/skin_resource_ids.h"

namespace
{
// Used when the bitmaps are missing, so the buttons stay usable.
const SIZE kFallbackSize = {18, 16};
}  // namespace

SIZE CCaptionButton::ButtonSize()
{
    const SIZE size = skin::BitmapSize(CBitmapCache::getBitmap(IDB_CAPTION_MINIMIZE));
    return size.cx > 0 ? size : kFallbackSize;
}

UINT CCaptionButton::GetBaseBitmapId() const noexcept
{
    return m_eKind == eMinimize ? IDB_CAPTION_MINIMIZE : IDB_CAPTION_CLOSE;
}

bool CCaptionButton::Create(HWND hwndTitleBar, HWND hwndDialog, int x, int y)
{
    m_hwndDialog = hwndDialog;
    const SIZE size = ButtonSize();
    const UINT nId = m_eKind == eMinimize ? ID_SKIN_CAPTION_MINIMIZE : ID_SKIN_CAPTION_CLOSE;
    HWND hwnd = ::CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, x, y,
                                  size.cx, size.cy, hwndTitleBar,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(nId)),
                                  ::GetModuleHandleW(nullptr), nullptr);
    if (!hwnd)
        return false;
    if (!SubclassWindow(hwnd))
    {
        ::DestroyWindow(hwnd);
        return false;
    }
    return true;
}

void CCaptionButton::DrawButton(HDC hdc, const RECT& rc, int nState)
{
    const UINT nBase = GetBaseBitmapId();
    const UINT nId = nState == eStatePressed ? nBase + 2 : nState == eStateHover ? nBase + 1 : nBase;
    if (!skin::DrawStretched(hdc, CBitmapCache::getBitmap(nId), rc))
        CExButton::DrawButton(hdc, rc, nState);
}

void CCaptionButton::OnClicked()
{
    HWND hwndDialog = m_hwndDialog ? m_hwndDialog : ::GetParent(::GetParent(GetHwnd()));
    if (!hwndDialog)
        return;
    // Posted: the dialog may destroy the title bar (and this button) while handling them.
    if (m_eKind == eMinimize)
        ::PostMessageW(hwndDialog, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    else
        ::PostMessageW(hwndDialog, WM_CLOSE, 0, 0);
}
