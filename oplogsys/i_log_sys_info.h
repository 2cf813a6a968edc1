#pragma once
#include <windows.h>

namespace opLogSys
{
class IOutputLogSystemFactory;
class ILogFilter;

// A log configuration: the output factory and the filter. Its table starts with the two getters,
// then destructor, AddRef and Release (it has no IReference base).
class ILogSysInfo
{
public:
    // Both return the object with a reference added for the caller.
    virtual IOutputLogSystemFactory* GetFactory() = 0;
    virtual ILogFilter* GetFilter() = 0;
    virtual ~ILogSysInfo() {}
    virtual long AddRef() = 0;
    virtual long Release() = 0;
};
}  // namespace opLogSys
