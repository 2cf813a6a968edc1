#pragma once
#include <string>
#include "oplogsys/i_lock_object.h"

namespace opLogSys
{
namespace Common
{
// A named mutex shared across processes, created when first locked and closed when the last
// nested Unlock lets it go. Not for sharing between threads: one owner object per thread.
class CMutex : public ILockObject
{
public:
    explicit CMutex(const wchar_t* pszName);
    virtual ~CMutex();
    CMutex(const CMutex&) = delete;
    CMutex& operator=(const CMutex&) = delete;

    long Lock() override;
    // -1 when the mutex is not held.
    long Unlock() override;

private:
    std::wstring m_strName;
    HANDLE m_hMutex = nullptr;
    long m_nLockCount = 0;
};
}  // namespace Common
}  // namespace opLogSys
