#pragma once
#include <windows.h>

// A critical section object and its scoped lock.
class CXCriticalSection
{
public:
    CXCriticalSection() noexcept { ::InitializeCriticalSection(&m_cs); }
    CXCriticalSection(const CXCriticalSection&) = delete;
    CXCriticalSection& operator=(const CXCriticalSection&) = delete;
    ~CXCriticalSection() { ::DeleteCriticalSection(&m_cs); }

    void Lock() noexcept { ::EnterCriticalSection(&m_cs); }
    void Unlock() noexcept { ::LeaveCriticalSection(&m_cs); }

private:
    CRITICAL_SECTION m_cs;
};

class CXLock
{
public:
    explicit CXLock(CXCriticalSection& cs) noexcept : m_cs(cs) { m_cs.Lock(); }
    CXLock(const CXLock&) = delete;
    CXLock& operator=(const CXLock&) = delete;
    ~CXLock() { m_cs.Unlock(); }

private:
    CXCriticalSection& m_cs;
};
