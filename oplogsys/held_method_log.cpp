#include "oplogsys/held_method_log.h"

#include <cstdarg>
#include "oplogsys/format_buffer.h"
#include "oplogsys/method_log.h"
#include "oplogsys/subject_log.h"

namespace opLogSys
{
namespace Fmt
{
class CHeldMethodLog::CImpl
{
public:
    CImpl(COutputLogSystem& system, const wchar_t* pszSubject, const wchar_t* pszMethod, long* plResult)
        : m_log(system, pszSubject, kMethodLevel, pszMethod, plResult)
    {
    }
    CMethodLog<long> m_log;
};

CHeldMethodLog::CHeldMethodLog(COutputLogSystem& system, const wchar_t* pszSubject, const wchar_t* pszMethod,
                               long* plResult)
{
    try
    {
        m_impl.reset(new CImpl(system, pszSubject, pszMethod, plResult));
    }
    catch (...)
    {
    }
}

CHeldMethodLog::~CHeldMethodLog() = default;

void CHeldMethodLog::Error(const std::wstring& strText)
{
    if (m_impl)
        m_impl->m_log.Error(strText.c_str());
}

void CHeldMethodLog::ErrorPrintf(const wchar_t* pszFormat, ...)
{
    if (!m_impl)
        return;
    va_list args;
    va_start(args, pszFormat);
    const std::wstring strText = Common::FormatLineV(pszFormat, args);
    va_end(args);
    m_impl->m_log.Error(strText.c_str());
}

void CHeldMethodLog::Trace(const std::wstring& strText)
{
    if (m_impl)
        m_impl->m_log.LevelWrite(kMethodLevel, strText.c_str());
}

void CHeldMethodLog::TracePrintf(const wchar_t* pszFormat, ...)
{
    if (!m_impl)
        return;
    va_list args;
    va_start(args, pszFormat);
    const std::wstring strText = Common::FormatLineV(pszFormat, args);
    va_end(args);
    m_impl->m_log.LevelWrite(kMethodLevel, strText.c_str());
}
}  // namespace Fmt
}  // namespace opLogSys
