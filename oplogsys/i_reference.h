#pragma once
#include <windows.h>

namespace opLogSys
{
// Root of the reference-counted log interfaces. A holder releases what it holds; every operation
// that hands out an interface pointer has already added the caller's reference.
class IReference
{
public:
    virtual ~IReference() {}
    virtual long AddRef() = 0;
    virtual long Release() = 0;
};
}  // namespace opLogSys
