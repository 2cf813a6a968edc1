#pragma once
#include <windows.h>
#include <oleauto.h>
#include <string>

// Owns one BSTR. Receive() hands the slot to an out-parameter.
class CScopedBstr
{
public:
    CScopedBstr() noexcept = default;
    explicit CScopedBstr(const wchar_t* psz) : m_bstr(psz ? ::SysAllocString(psz) : nullptr) {}
    explicit CScopedBstr(const std::wstring& str)
        : m_bstr(::SysAllocStringLen(str.data(), static_cast<UINT>(str.size()))) {}
    CScopedBstr(CScopedBstr&& other) noexcept : m_bstr(other.Release()) {}
    CScopedBstr& operator=(CScopedBstr&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    CScopedBstr(const CScopedBstr&) = delete;
    CScopedBstr& operator=(const CScopedBstr&) = delete;
    ~CScopedBstr() { ::SysFreeString(m_bstr); }

    BSTR Get() const noexcept { return m_bstr; }
    operator BSTR() const noexcept { return m_bstr; }
    UINT Length() const noexcept { return ::SysStringLen(m_bstr); }
    std::wstring ToString() const { return m_bstr ? std::wstring(m_bstr, Length()) : std::wstring(); }

    void Reset(BSTR bstr = nullptr) noexcept
    {
        if (bstr != m_bstr)
        {
            ::SysFreeString(m_bstr);
            m_bstr = bstr;
        }
    }
    BSTR Release() noexcept
    {
        BSTR bstr = m_bstr;
        m_bstr = nullptr;
        return bstr;
    }
    BSTR* Receive() noexcept
    {
        Reset();
        return &m_bstr;
    }

private:
    BSTR m_bstr = nullptr;
};
