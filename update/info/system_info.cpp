#include "update/info/system_info.h"

#include <vector>

#include "common/string_util.h"

namespace
{
const wchar_t* const kProductEditions[] = {
    nullptr,
    L"Ultimate Edition",                      // 1 ultimate
    L"Home Basic Edition",                    // 2 home basic
    L"Home Premium Edition",                  // 3 home premium
    L"Enterprise Edition",                    // 4 enterprise
    L"Home Basic Edition",                    // 5 home basic N
    L"Business Edition",                      // 6 business
    L"Server Standard Edition",               // 7 standard server
    L"Server Datacenter Edition",             // 8 datacenter server
    L"Small Business Server",                 // 9 small business server
    L"Server Enterprise Edition",             // 10 enterprise server
    L"Starter Edition",                       // 11 starter
    L"Server Datacenter Edition",             // 12 datacenter server core
    L"Server Standard Edition",               // 13 standard server core
    L"Server Enterprise Edition",             // 14 enterprise server core
    L"Server Enterprise Edition",             // 15 enterprise server for Itanium
    L"Business Edition",                      // 16 business N
    L"Web Server Edition",                    // 17 web server
    L"Cluster Server Edition",                // 18 cluster server
    L"Home Server Edition",                   // 19 home server
    L"Storage Server Express Edition",        // 20 storage express server
    L"Storage Server Standard Edition",       // 21 storage standard server
    L"Storage Server Workgroup Edition",      // 22 storage workgroup server
    L"Storage Server Enterprise Edition",     // 23 storage enterprise server
    L"Server for Small Business Edition",     // 24 server for small business
    L"Small Business Server Premium Edition", // 25 small business server premium
    L"Home Premium Edition",                  // 26 home premium N
    L"Enterprise Edition",                    // 27 enterprise N
    L"Ultimate Edition",                      // 28 ultimate N
};

const wchar_t kUnknownEdition[] = L"unknown";
}  // namespace

SystemInfo::SystemInfo() noexcept : m_osvi(), m_lcidUser(0), m_pfnGetProductInfo(nullptr)
{
    m_osvi.dwOSVersionInfoSize = sizeof(m_osvi);
}

HRESULT SystemInfo::Refresh() noexcept
{
    OSVERSIONINFOEXW osvi = {};
    osvi.dwOSVersionInfoSize = sizeof(osvi);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const BOOL bOk = ::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&osvi));
#pragma GCC diagnostic pop
    m_lcidUser = ::GetUserDefaultLCID();
    if (!bOk)
        return E_FAIL;
    m_osvi = osvi;
    return S_OK;
}

std::wstring SystemInfo::GetVersionText() const
{
    return FormatString(L"%d.%d", static_cast<int>(m_osvi.dwMajorVersion), static_cast<int>(m_osvi.dwMinorVersion));
}

std::wstring SystemInfo::GetServicePackText() const
{
    const size_t cch = ::wcsnlen(m_osvi.szCSDVersion, _countof(m_osvi.szCSDVersion));
    return std::wstring(m_osvi.szCSDVersion, cch);
}

void SystemInfo::SetVersionInfo(const OSVERSIONINFOEXW& info) noexcept
{
    m_osvi = info;
}

void SystemInfo::SetProductInfoFunction(PFN_GET_PRODUCT_INFO pfn) noexcept
{
    m_pfnGetProductInfo = pfn;
}

SystemInfo::PFN_GET_PRODUCT_INFO SystemInfo::ProductInfoFunction() const noexcept
{
    if (m_pfnGetProductInfo)
        return m_pfnGetProductInfo;
    // Looked up by name: systems before version 6.0 do not have it.
    HMODULE hKernel = ::GetModuleHandleW(L"kernel32.dll");
    if (!hKernel)
        return nullptr;
    return reinterpret_cast<PFN_GET_PRODUCT_INFO>(
        reinterpret_cast<void*>(::GetProcAddress(hKernel, "GetProductInfo")));
}

std::wstring SystemInfo::EditionFromProductType(DWORD dwProductType)
{
    if (dwProductType == 0 || dwProductType >= _countof(kProductEditions))
        return std::wstring();
    return kProductEditions[dwProductType];
}

std::wstring SystemInfo::GetEditionText() const
{
    const std::wstring strVersion = GetVersionText();
    std::wstring strEdition;

    if (m_osvi.wProductType == VER_NT_WORKSTATION && m_osvi.dwPlatformId == VER_PLATFORM_WIN32_NT)
    {
        if (strVersion == L"5.0" || strVersion == L"5.2")
            strEdition = L"Professional";
        else if (strVersion == L"5.1")
        {
            if (m_osvi.wSuiteMask & VER_SUITE_PERSONAL)
                strEdition = L"Personal";
            else if (m_osvi.wSuiteMask & VER_SUITE_EMBEDDEDNT)
                strEdition = L"Embedded";
            else
                strEdition = L"Professional";
        }
        else if (strVersion == L"6.0")
        {
            PFN_GET_PRODUCT_INFO pfn = ProductInfoFunction();
            DWORD dwProduct = 0;
            if (pfn && pfn(m_osvi.dwMajorVersion, m_osvi.dwMinorVersion, m_osvi.wServicePackMajor,
                           m_osvi.wServicePackMinor, &dwProduct))
                strEdition = EditionFromProductType(dwProduct);
        }
    }
    else if (m_osvi.wProductType == VER_NT_WORKSTATION && m_osvi.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS)
    {
        // The older family marks its second edition with the service-pack text "A".
        std::wstring strSp;
        for (wchar_t ch : GetServicePackText())
            if (ch != L' ')
                strSp += ch;
        if (strVersion == L"4.10" && strSp == L"A")
            strEdition = L"SecondEdition";
    }
    else if (m_osvi.wProductType == VER_NT_DOMAIN_CONTROLLER || m_osvi.wProductType == VER_NT_SERVER)
    {
        if (strVersion == L"5.2")
            strEdition = L"Windows2003 Server";
        else if (strVersion == L"6.0")
            strEdition = L"Windows Server Longhorn";
    }
    return strEdition.empty() ? std::wstring(kUnknownEdition) : strEdition;
}

HRESULT GetUserLanguageName(std::wstring& strLanguage)
{
    strLanguage.clear();
    const int cch = ::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SISO639LANGNAME, nullptr, 0);
    if (cch <= 0)
        return E_FAIL;
    std::vector<wchar_t> buf(static_cast<size_t>(cch) + 1, L'\0');
    if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SISO639LANGNAME, buf.data(), cch) <= 0)
        return E_FAIL;
    strLanguage = buf.data();
    return S_OK;
}
