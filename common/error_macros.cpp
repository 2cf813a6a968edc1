#include "common/error_macros.h"

namespace
{
PFN_ZEP_FAILURE_HOOK volatile g_pfnFailureHook = nullptr;
}

PFN_ZEP_FAILURE_HOOK ZepSetFailureHook(PFN_ZEP_FAILURE_HOOK pfnHook)
{
    return reinterpret_cast<PFN_ZEP_FAILURE_HOOK>(
        ::InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&g_pfnFailureHook),
                                     reinterpret_cast<PVOID>(pfnHook)));
}

void ZepReportFailure(HRESULT hr, const char* pszFile, int nLine, const char* pszExpr)
{
    PFN_ZEP_FAILURE_HOOK pfn = g_pfnFailureHook;
    if (pfn)
        pfn(hr, pszFile, nLine, pszExpr);
}
