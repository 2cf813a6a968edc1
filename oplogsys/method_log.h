#pragma once
#include "oplogsys/method_log_base.h"

namespace opLogSys
{
namespace Fmt
{
// A traced method whose exit line shows the value that *pResult holds at scope end, as
// " : return 0x%08X [%d]". T is long (HRESULT), int or bool.
template <class T>
class CMethodLog final : public CMethodLogBase
{
public:
    CMethodLog(COutputLogSystem& logSystem, const wchar_t* pszSubject, long nLevel, const wchar_t* pszMethod,
               T* pResult) noexcept
        : CMethodLogBase(logSystem, pszSubject, nLevel, pszMethod), m_pResult(pResult)
    {
    }
    CMethodLog(const wchar_t* pszSubject, long nLevel, const wchar_t* pszMethod, T* pResult) noexcept
        : CMethodLogBase(pszSubject, nLevel, pszMethod), m_pResult(pResult)
    {
    }
    ~CMethodLog()
    {
        if (IsEnabled())
            WriteExit(m_pResult ? static_cast<long>(*m_pResult) : 0);
    }

private:
    T* m_pResult;
};
}  // namespace Fmt
}  // namespace opLogSys
