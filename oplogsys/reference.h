#pragma once
#include <windows.h>

namespace opLogSys
{
namespace Common
{
// Implements the count of an interface T that declares a virtual destructor, AddRef and Release.
// The count starts at 1, so the creator owns the first reference.
template <class T>
class CReference : public T
{
public:
    long AddRef() override { return ::InterlockedIncrement(&m_lCount); }
    long Release() override
    {
        const long lCount = ::InterlockedDecrement(&m_lCount);
        if (lCount == 0)
            delete this;
        return lCount;
    }

protected:
    CReference() noexcept : m_lCount(1) {}
    CReference(const CReference&) = delete;
    CReference& operator=(const CReference&) = delete;

private:
    volatile LONG m_lCount;
};
}  // namespace Common
}  // namespace opLogSys
