#pragma once
#include <windows.h>
#include <string>

// Operating-system facts in the texts that rules on the server are written against.
class SystemInfo
{
public:
    // Signature of kernel32's GetProductInfo.
    typedef BOOL(WINAPI* PFN_GET_PRODUCT_INFO)(DWORD, DWORD, DWORD, DWORD, PDWORD);

    SystemInfo() noexcept;

    // Reads the extended version record and the user's default locale. E_FAIL when the
    // operating system does not deliver the record.
    HRESULT Refresh() noexcept;

    std::wstring GetVersionText() const;
    std::wstring GetServicePackText() const;
    // Never empty: "unknown" when the edition cannot be told.
    std::wstring GetEditionText() const;

    // Replaces the version record (for adapters and tests).
    void SetVersionInfo(const OSVERSIONINFOEXW& info) noexcept;
    // Replaces the product-information lookup; nullptr restores the run-time lookup in kernel32.
    void SetProductInfoFunction(PFN_GET_PRODUCT_INFO pfn) noexcept;

    // Edition text of a product number of GetProductInfo; empty outside the known numbers.
    static std::wstring EditionFromProductType(DWORD dwProductType);

    LCID GetUserLocale() const noexcept { return m_lcidUser; }

private:
    PFN_GET_PRODUCT_INFO ProductInfoFunction() const noexcept;

    OSVERSIONINFOEXW m_osvi;
    LCID m_lcidUser;
    PFN_GET_PRODUCT_INFO m_pfnGetProductInfo;
};

// ISO 639 language name of the user's default locale (e.g. "en"). E_FAIL when unavailable.
HRESULT GetUserLanguageName(std::wstring& strLanguage);
