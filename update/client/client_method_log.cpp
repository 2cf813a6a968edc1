#include "update/client/client_method_log.h"

#include <cstdarg>

#include "oplogsys/format_buffer.h"
#include "oplogsys/oplogsys.h"

class CClientMethodLog::CImpl
{
public:
    CImpl(const wchar_t* pszMethod, long* plResult)
        : m_log(opLogSys::GetSubjectLogSystem(ZEP_CLIENT_LOG_SUBJECT), ZEP_CLIENT_LOG_SUBJECT, opLogSys::kMethodLevel,
                pszMethod, plResult)
    {
    }
    opLogSys::Fmt::CMethodLog<long> m_log;
};

CClientMethodLog::CClientMethodLog(const wchar_t* pszMethod, long* plResult)
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

CClientMethodLog::~CClientMethodLog() = default;

void CClientMethodLog::ErrorPrintf(const wchar_t* pszFormat, ...)
{
    if (!m_impl)
        return;
    va_list args;
    va_start(args, pszFormat);
    const std::wstring strText = opLogSys::Common::FormatLineV(pszFormat, args);
    va_end(args);
    m_impl->m_log.Error(strText.c_str());
}

void CClientMethodLog::TracePrintf(const wchar_t* pszFormat, ...)
{
    if (!m_impl)
        return;
    va_list args;
    va_start(args, pszFormat);
    const std::wstring strText = opLogSys::Common::FormatLineV(pszFormat, args);
    va_end(args);
    m_impl->m_log.LevelWrite(opLogSys::kMethodLevel, strText.c_str());
}
