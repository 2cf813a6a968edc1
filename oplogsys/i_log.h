#pragma once
#include "oplogsys/i_reference.h"

namespace opLogSys
{
// One writer of lines: a thread's log for a subject, or the error log.
class ILog : public IReference
{
public:
    virtual long IncIndent() = 0;
    virtual long DecIndent() = 0;
    virtual long Write(const wchar_t* pszText) = 0;
    // Keeps the lines up to the matching EndBlock together in the output.
    virtual long BeginBlock() = 0;
    virtual long EndBlock() = 0;
    virtual DWORD GetId() = 0;
};
}  // namespace opLogSys
