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
    // dwWaitMs: how long the first Lock waits for another holder.
    explicit CMutex(const wchar_t* pszName, DWORD dwWaitMs = INFINITE);
    virtual ~CMutex();
    CMutex(const CMutex&) = delete;
    CMutex& operator=(const CMutex&) = delete;

    // 1; 0 when another holder kept it beyond the wait (nested Locks then answer 0 too, and the
    // Unlocks still balance them).
    long Lock() override;
    // -1 when the mutex is not held.
    long Unlock() override;

private:
    std::wstring m_strName;
    DWORD m_dwWaitMs;
    HANDLE m_hMutex = nullptr;
    long m_nLockCount = 0;
    bool m_bTimedOut = false;
};
}  // namespace Common
}  // namespace opLogSys
