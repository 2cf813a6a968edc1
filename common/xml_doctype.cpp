#include "common/xml_doctype.h"

#include <cwchar>

#include "common/string_util.h"

namespace
{
bool IsXmlSpace(wchar_t ch) noexcept
{
    return ch == L' ' || ch == L'\t' || ch == L'\r' || ch == L'\n';
}

bool StartsWithAt(const std::wstring& str, size_t pos, const wchar_t* pszPrefix, bool bIgnoreCase = false)
{
    const size_t cch = wcslen(pszPrefix);
    if (pos > str.size() || str.size() - pos < cch)
        return false;
    return bIgnoreCase ? _wcsnicmp(str.c_str() + pos, pszPrefix, cch) == 0 : str.compare(pos, cch, pszPrefix) == 0;
}

std::wstring Utf16ToText(const std::string& bytes, size_t nStart, bool bBigEndian)
{
    std::wstring text;
    text.reserve((bytes.size() - nStart) / 2);
    for (size_t i = nStart; i + 1 < bytes.size(); i += 2)
    {
        const unsigned char b0 = static_cast<unsigned char>(bytes[i]);
        const unsigned char b1 = static_cast<unsigned char>(bytes[i + 1]);
        text += static_cast<wchar_t>(bBigEndian ? (b0 << 8) | b1 : (b1 << 8) | b0);
    }
    return text;
}
}  // namespace

bool FindXmlDoctype(const std::wstring& text, size_t& posDoctype)
{
    size_t pos = 0;
    for (;;)
    {
        while (pos < text.size() && IsXmlSpace(text[pos]))
            ++pos;
        if (StartsWithAt(text, pos, L"<?"))
        {
            const size_t end = text.find(L"?>", pos + 2);
            if (end == std::wstring::npos)
                return false;
            pos = end + 2;
        }
        else if (StartsWithAt(text, pos, L"<!--"))
        {
            const size_t end = text.find(L"-->", pos + 4);
            if (end == std::wstring::npos)
                return false;
            pos = end + 3;
        }
        else if (StartsWithAt(text, pos, L"<!DOCTYPE", true))
        {
            posDoctype = pos;
            return true;
        }
        else
        {
            return false;
        }
    }
}

std::wstring XmlBytesToText(const std::string& bytes)
{
    auto at = [&](size_t i) { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0x100u; };
    if (at(0) == 0xFF && at(1) == 0xFE)
        return Utf16ToText(bytes, 2, false);
    if (at(0) == 0xFE && at(1) == 0xFF)
        return Utf16ToText(bytes, 2, true);
    if (at(0) == '<' && at(1) == 0)
        return Utf16ToText(bytes, 0, false);
    if (at(0) == 0 && at(1) == '<')
        return Utf16ToText(bytes, 0, true);
    const size_t nStart = at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF ? 3 : 0;
    return Utf8ToWide(bytes.data() + nStart, bytes.size() - nStart);
}
