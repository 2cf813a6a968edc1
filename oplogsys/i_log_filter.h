#pragma once
#include "oplogsys/i_reference.h"

namespace opLogSys
{
// Decides which (subject, level) lines are written.
class ILogFilter : public IReference
{
public:
    // S_OK when enabled, E_FAIL otherwise.
    virtual HRESULT IsEnabled(const wchar_t* pszSubject, long nLevel) = 0;
    // S_OK when at least one filter exists, E_FAIL otherwise.
    virtual HRESULT HasFilters() = 0;
};
}  // namespace opLogSys
