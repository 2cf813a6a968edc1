#pragma once
#include <windows.h>
#include <objbase.h>

// Initialises COM for the current thread for the scope's lifetime.
class CComInitScope
{
public:
    explicit CComInitScope(DWORD dwCoInit = COINIT_APARTMENTTHREADED) noexcept
        : m_hr(::CoInitializeEx(nullptr, dwCoInit)) {}
    CComInitScope(const CComInitScope&) = delete;
    CComInitScope& operator=(const CComInitScope&) = delete;
    ~CComInitScope()
    {
        if (SUCCEEDED(m_hr))
            ::CoUninitialize();
    }
    HRESULT Result() const noexcept { return m_hr; }
    bool Succeeded() const noexcept { return SUCCEEDED(m_hr); }

private:
    HRESULT m_hr;
};
