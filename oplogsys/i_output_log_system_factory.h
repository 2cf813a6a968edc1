#pragma once
#include "oplogsys/i_reference.h"

namespace opLogSys
{
class ILog;
class ILogIO;

// Makes the output of a subject and the log objects over it. Each returned pointer carries one
// reference for the caller; nullptr when the object could not be made.
class IOutputLogSystemFactory : public IReference
{
public:
    virtual ILogIO* CreateIO(const wchar_t* pszSubject) = 0;
    virtual ILog* CreateLog(DWORD dwId, ILogIO* pIO) = 0;
    virtual ILog* CreateErrorLog(ILogIO* pIO) = 0;
};
}  // namespace opLogSys
