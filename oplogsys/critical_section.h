#pragma once
#include "oplogsys/i_lock_object.h"

namespace opLogSys
{
namespace Common
{
// Recursive lock for the threads of one process.
class CCriticalSection : public ILockObject
{
public:
    CCriticalSection() noexcept { ::InitializeCriticalSection(&m_cs); }
    virtual ~CCriticalSection() { ::DeleteCriticalSection(&m_cs); }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    long Lock() override
    {
        ::EnterCriticalSection(&m_cs);
        return 1;
    }
    long Unlock() override
    {
        ::LeaveCriticalSection(&m_cs);
        return 0;
    }
    // For paths that must not block forever (module teardown): true when the lock was taken.
    bool TryLockFor(DWORD dwMilliseconds) noexcept
    {
        const ULONGLONG ullEnd = ::GetTickCount64() + dwMilliseconds;
        while (!::TryEnterCriticalSection(&m_cs))
        {
            if (::GetTickCount64() >= ullEnd)
                return false;
            ::Sleep(1);
        }
        return true;
    }

private:
    CRITICAL_SECTION m_cs;
};

// Scoped Lock/Unlock of any lock object.
template <class TLock>
class CScopedLock
{
public:
    explicit CScopedLock(TLock& lock) noexcept : m_lock(lock) { m_lock.Lock(); }
    ~CScopedLock() { m_lock.Unlock(); }
    CScopedLock(const CScopedLock&) = delete;
    CScopedLock& operator=(const CScopedLock&) = delete;

private:
    TLock& m_lock;
};
}  // namespace Common
}  // namespace opLogSys
