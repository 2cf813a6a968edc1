#pragma once
#include "oplogsys/method_log_base.h"

namespace opLogSys
{
namespace Fmt
{
// A traced method without a result: its exit line is "└ name()".
class CSimpleMethodLog final : public CMethodLogBase
{
public:
    CSimpleMethodLog(COutputLogSystem& logSystem, const wchar_t* pszSubject, long nLevel,
                     const wchar_t* pszMethod) noexcept
        : CMethodLogBase(logSystem, pszSubject, nLevel, pszMethod)
    {
    }
    CSimpleMethodLog(const wchar_t* pszSubject, long nLevel, const wchar_t* pszMethod) noexcept
        : CMethodLogBase(pszSubject, nLevel, pszMethod)
    {
    }
    ~CSimpleMethodLog()
    {
        if (IsEnabled())
            WriteSimpleExit();
    }
};
}  // namespace Fmt
}  // namespace opLogSys
