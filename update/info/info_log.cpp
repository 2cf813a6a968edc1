#include "update/info/info_log.h"

#include <cstdarg>

#include "oplogsys/format_buffer.h"
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
    const std::wstring strText = opLogSys::Common::FormatLineV(pszFormat, args);
    va_end(args);
    m_impl->m_log.Error(strText.c_str());
}

void CInfoMethodLog::Trace(const std::wstring& strText)
{
    if (m_impl)
        m_impl->m_log.LevelWrite(opLogSys::kMethodLevel, strText.c_str());
}
