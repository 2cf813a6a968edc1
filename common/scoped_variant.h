#pragma once
#include <windows.h>
#include <oleauto.h>

// Owns one VARIANT; cleared on destruction.
class CScopedVariant
{
public:
    CScopedVariant() noexcept { ::VariantInit(&m_var); }
    explicit CScopedVariant(const wchar_t* psz)
    {
        ::VariantInit(&m_var);
        m_var.vt = VT_BSTR;
        m_var.bstrVal = ::SysAllocString(psz);
    }
    explicit CScopedVariant(LONG lValue) noexcept
    {
        ::VariantInit(&m_var);
        m_var.vt = VT_I4;
        m_var.lVal = lValue;
    }
    CScopedVariant(const CScopedVariant&) = delete;
    CScopedVariant& operator=(const CScopedVariant&) = delete;
    ~CScopedVariant() { ::VariantClear(&m_var); }

    const VARIANT& Get() const noexcept { return m_var; }
    VARIANT* Receive() noexcept
    {
        ::VariantClear(&m_var);
        return &m_var;
    }
    void Reset() noexcept { ::VariantClear(&m_var); }
    VARTYPE Type() const noexcept { return m_var.vt; }

private:
    VARIANT m_var;
};
