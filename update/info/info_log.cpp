#include "update/info/info_log.h"

#include <cstdarg>

#include "update/info/zep_backend_log.h"

class CInfoMethodLog::CImpl
{
public:
    CImpl(const wchar_t* pszMethod, long* plResult)
        : m_log(ZepBackendLibraryLog(), ZEP_BACKEND_LOG_SUBJECT, opLogSys::kMethodLevel, pszMethod, plResult)
    {
    }
    opLogSys::Fmt::CMethodLog<long> m_log;
};

CInfoMethodLog::CInfoMethodLog(const wchar_t* pszMethod, long* plResult)
{
    // Without memory for the trace the method still runs, untraced.
    try
    {
        m_impl.reset(new CImpl(pszMethod, plResult));
    }
    catch (...)
    {
    }
}

CInfoMethodLog::~CInfoMethodLog() = default;

void CInfoMethodLog::Error(const std::wstring& strText)
{
    if (m_impl)
        m_impl->m_log.Error(strText.c_str());
}

void CInfoMethodLog::ErrorPrintf(const wchar_t* pszFormat, ...)
{
    if (!m_impl)
        return;
    va_list args;
    va_start(args, pszFormat);
    wchar_t szText[1024];
    _vsnwprintf(szText, _countof(szText) - 1, pszFormat, args);
    szText[_countof(szText) - 1] = L'\0';
    va_end(args);
    m_impl->m_log.ErrorPrintf(L"%s", szText);
}

void CInfoMethodLog::Trace(const std::wstring& strText)
{
    if (m_impl)
        m_impl->m_log.LevelWrite(opLogSys::kMethodLevel, strText.c_str());
}
