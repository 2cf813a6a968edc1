#include "launcher/tolvik_registry.h"

#include <vector>

#include "common/registry.h"

namespace TolvikRegistry
{
namespace
{
const size_t kTextBufferBytes = 1024;
}

std::wstring ReadText(HKEY hRoot, const wchar_t* pszSubKey, const wchar_t* pszName)
{
    std::vector<BYTE> data;
    DWORD dwType = REG_NONE;
    if (FAILED(Registry::ReadValue(hRoot, pszSubKey, pszName, data, dwType)))
        return std::wstring();
    if (dwType != REG_SZ || data.size() > kTextBufferBytes || data.size() < sizeof(wchar_t) ||
        data.size() % sizeof(wchar_t) != 0)
        return std::wstring();
    const wchar_t* psz = reinterpret_cast<const wchar_t*>(data.data());
    const size_t cch = data.size() / sizeof(wchar_t);
    if (psz[cch - 1] != L'\0')
        return std::wstring();
    return std::wstring(psz);
}

std::wstring ExpandLineBreaks(const std::wstring& text)
{
    static const wchar_t kEscaped[] = L"\\r\\n";
    const size_t cchEscaped = 4;
    std::wstring out;
    out.reserve(text.size());
    size_t pos = 0;
    for (;;)
    {
        const size_t hit = text.find(kEscaped, pos, cchEscaped);
        if (hit == std::wstring::npos)
            break;
        out.append(text, pos, hit - pos);
        out.append(L"\r\n");
        pos = hit + cchEscaped;
    }
    out.append(text, pos, std::wstring::npos);
    return out;
}
}  // namespace TolvikRegistry
