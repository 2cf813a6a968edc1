#include "launcher/resource_string.h"

std::wstring LoadResourceString(UINT nId)
{
    const wchar_t* pszText = nullptr;
    const int cch = ::LoadStringW(::GetModuleHandleW(nullptr), nId, reinterpret_cast<LPWSTR>(&pszText), 0);
    return cch > 0 ? std::wstring(pszText, static_cast<size_t>(cch)) : std::wstring();
}
