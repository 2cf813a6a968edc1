#pragma once
// HRESULT plumbing: Win32 errors become HRESULTs once, here, and every early return
// goes through one reporting hook (file, line, expression) that a log can subscribe to.
#include <windows.h>

typedef void (*PFN_ZEP_FAILURE_HOOK)(HRESULT hr, const char* pszFile, int nLine, const char* pszExpr);

// Installs the process-wide failure hook (nullptr removes it); returns the previous one.
PFN_ZEP_FAILURE_HOOK ZepSetFailureHook(PFN_ZEP_FAILURE_HOOK pfnHook);
void ZepReportFailure(HRESULT hr, const char* pszFile, int nLine, const char* pszExpr);

inline HRESULT HResultFromWin32(DWORD dwError)
{
    return dwError == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(dwError);
}
// The thread's last error as an HRESULT; never S_OK, so a failed call is never reported as success.
inline HRESULT HResultFromLastError()
{
    return HResultFromWin32(::GetLastError());
}

#define ZEP_RETURN_HR_IMPL(hr, expr)                                  \
    do                                                                \
    {                                                                 \
        const HRESULT zep_hr_ = (hr);                                 \
        ZepReportFailure(zep_hr_, __FILE__, __LINE__, expr);          \
        return zep_hr_;                                               \
    } while (0)

#define RETURN_IF_FAILED(expr)                                        \
    do                                                                \
    {                                                                 \
        const HRESULT zep_hr_chk_ = (expr);                           \
        if (FAILED(zep_hr_chk_))                                      \
            ZEP_RETURN_HR_IMPL(zep_hr_chk_, #expr);                   \
    } while (0)

#define RETURN_IF_WIN32_BOOL_FALSE(expr)                              \
    do                                                                \
    {                                                                 \
        if (!(expr))                                                  \
            ZEP_RETURN_HR_IMPL(HResultFromLastError(), #expr);        \
    } while (0)

#define RETURN_IF_WIN32_ERROR(expr)                                   \
    do                                                                \
    {                                                                 \
        const LONG zep_err_ = static_cast<LONG>(expr);                \
        if (zep_err_ != ERROR_SUCCESS)                                \
            ZEP_RETURN_HR_IMPL(HResultFromWin32(zep_err_), #expr);    \
    } while (0)

#define RETURN_HR_IF(hr, cond)                                        \
    do                                                                \
    {                                                                 \
        if (cond)                                                     \
            ZEP_RETURN_HR_IMPL(hr, #cond);                            \
    } while (0)

#define RETURN_HR_IF_NULL(hr, ptr) RETURN_HR_IF(hr, (ptr) == nullptr)

#define RETURN_LAST_ERROR_IF(cond)                                    \
    do                                                                \
    {                                                                 \
        if (cond)                                                     \
            ZEP_RETURN_HR_IMPL(HResultFromLastError(), #cond);        \
    } while (0)

// Catches any C++ exception at a COM, window or installer boundary.
#define ZEP_CATCH_RETURN()                                            \
    catch (const std::bad_alloc&) { return E_OUTOFMEMORY; }          \
    catch (...) { return E_UNEXPECTED; }
