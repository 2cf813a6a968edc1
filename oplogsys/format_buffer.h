#pragma once
// The fixed-size formatting every log operation shares.
#include <windows.h>
#include <cstdarg>
#include <cwchar>
#include <string>

namespace opLogSys
{
namespace Common
{
const size_t kFormatChars = 1024;

// Formats into a buffer of cchBuffer characters, cutting the text at cchBuffer - 1 characters.
// The runtime's wide printf rules, where %s takes a wide string. Formats made only of %d, %i, %u,
// %x, %X (with an optional 0 flag, width and l) and plain %s are put together here, about four
// times faster than the runtime does it; everything else goes to the runtime.
void FormatV(wchar_t* pszBuffer, size_t cchBuffer, const wchar_t* pszFormat, va_list args) noexcept;

inline void Format(wchar_t* pszBuffer, size_t cchBuffer, const wchar_t* pszFormat, ...) noexcept
{
    va_list args;
    va_start(args, pszFormat);
    FormatV(pszBuffer, cchBuffer, pszFormat, args);
    va_end(args);
}

// The text as every log call formats it, cut at kFormatChars - 1 characters: for wrappers that
// keep the text or hand it on as one line.
inline std::wstring FormatLineV(const wchar_t* pszFormat, va_list args)
{
    wchar_t szText[kFormatChars];
    FormatV(szText, kFormatChars, pszFormat, args);
    return szText;
}

// An error line with its place in the source: "%05d:[%s] %s" with line, source and text.
inline void FormatErrorAt(wchar_t* pszBuffer, size_t cchBuffer, int nLine, const wchar_t* pszSource,
                          const wchar_t* pszText) noexcept
{
    Format(pszBuffer, cchBuffer, L"%05d:[%s] %s", nLine, pszSource ? pszSource : L"", pszText ? pszText : L"");
}

// Appends fixed-width numbers without the cost of printf (the line header is built for every line).
inline wchar_t* AppendDec(wchar_t* p, unsigned int nValue, int nWidth) noexcept
{
    wchar_t digits[10];
    int n = 0;
    do
    {
        digits[n++] = static_cast<wchar_t>(L'0' + nValue % 10);
        nValue /= 10;
    } while (nValue != 0 && n < 10);
    for (int i = n; i < nWidth; ++i)
        *p++ = L'0';
    while (n > 0)
        *p++ = digits[--n];
    return p;
}

inline wchar_t* AppendHex(wchar_t* p, unsigned int nValue, int nWidth) noexcept
{
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    wchar_t digits[8];
    int n = 0;
    do
    {
        digits[n++] = kDigits[nValue & 0xF];
        nValue >>= 4;
    } while (nValue != 0 && n < 8);
    for (int i = n; i < nWidth; ++i)
        *p++ = L'0';
    while (n > 0)
        *p++ = digits[--n];
    return p;
}

// A line of at most kFormatChars - 1 characters put together piece by piece (cut, never overrun),
// for lines too frequent to pay for printf.
class CLineBuilder
{
public:
    CLineBuilder() noexcept { m_szText[0] = L'\0'; }
    CLineBuilder& Append(const wchar_t* pszText) noexcept
    {
        for (const wchar_t* p = pszText ? pszText : L""; *p && m_cch < kFormatChars - 1; ++p)
            m_szText[m_cch++] = *p;
        m_szText[m_cch] = L'\0';
        return *this;
    }
    // "%08X"
    CLineBuilder& AppendHex(unsigned long nValue) noexcept
    {
        wchar_t szDigits[9];
        *Common::AppendHex(szDigits, static_cast<unsigned int>(nValue), 8) = L'\0';
        return Append(szDigits);
    }
    // "%d"
    CLineBuilder& AppendDec(long nValue) noexcept
    {
        wchar_t szDigits[12];
        wchar_t* p = szDigits;
        unsigned int nMagnitude = static_cast<unsigned int>(nValue);
        if (nValue < 0)
        {
            *p++ = L'-';
            nMagnitude = 0u - nMagnitude;
        }
        *Common::AppendDec(p, nMagnitude, 1) = L'\0';
        return Append(szDigits);
    }
    const wchar_t* Text() const noexcept { return m_szText; }

private:
    wchar_t m_szText[kFormatChars];
    size_t m_cch = 0;
};

// Text converted to the ANSI code page, at most cbBuffer - 1 bytes, never splitting a double-byte
// character. Returns the byte count (pBuffer is terminated).
size_t ToAnsi(const wchar_t* pszText, char* pBuffer, size_t cbBuffer) noexcept;
}  // namespace Common
}  // namespace opLogSys
