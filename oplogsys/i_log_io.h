#pragma once
#include "oplogsys/i_reference.h"

namespace opLogSys
{
// Where lines end up. Lock/Unlock nest; writes between them stay together.
class ILogIO : public IReference
{
public:
    virtual long Lock() = 0;
    virtual long Unlock() = 0;
    virtual long WriteLine(const wchar_t* pszText) = 0;
    virtual long Write(const wchar_t* pszText) = 0;
    virtual long Flush() = 0;
};
}  // namespace opLogSys
