#pragma once
#include <windows.h>

namespace opLogSys
{
// A lock; never deleted through this interface, so it has no destructor slot.
class ILockObject
{
public:
    virtual long Lock() = 0;  // returns 1
    virtual long Unlock() = 0;

protected:
    ~ILockObject() = default;
};
}  // namespace opLogSys
