#include "update/gui/gui_activation.h"

#include "common/critical_section.h"
#include "update/gui/gui_resources.h"

namespace
{
CXCriticalSection g_csContext;
HANDLE g_hContext = INVALID_HANDLE_VALUE;
bool g_bTried = false;

// Created once and kept: windows of the library may use it until the process ends. A module
// without a manifest (the tests' programs) simply gets none.
HANDLE LibraryContext()
{
    CXLock lock(g_csContext);
    if (!g_bTried)
    {
        g_bTried = true;
        const HMODULE hModule = CGuiResources::OwnModule();
        if (::FindResourceW(hModule, MAKEINTRESOURCEW(2), MAKEINTRESOURCEW(24)))
        {
            ACTCTXW ctx = {};
            ctx.cbSize = sizeof(ctx);
            ctx.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
            ctx.hModule = hModule;
            ctx.lpResourceName = MAKEINTRESOURCEW(2);
            g_hContext = ::CreateActCtxW(&ctx);
        }
    }
    return g_hContext;
}
}  // namespace

CGuiActivationScope::CGuiActivationScope() noexcept
{
    const HANDLE hContext = LibraryContext();
    if (hContext != INVALID_HANDLE_VALUE)
        m_bActive = ::ActivateActCtx(hContext, &m_ulCookie) != FALSE;
}

CGuiActivationScope::~CGuiActivationScope()
{
    if (m_bActive)
        ::DeactivateActCtx(0, m_ulCookie);
}
