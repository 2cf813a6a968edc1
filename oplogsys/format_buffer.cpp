#include "oplogsys/format_buffer.h"

namespace opLogSys
{
namespace Common
{
namespace
{
const int kMaxWidth = 64;

class COutput
{
public:
    COutput(wchar_t* pBuffer, size_t cchBuffer) noexcept : m_p(pBuffer), m_pEnd(pBuffer + cchBuffer - 1) {}
    void Put(wchar_t ch) noexcept
    {
        if (m_p < m_pEnd)
            *m_p++ = ch;
    }
    void Put(const wchar_t* psz) noexcept { Put(psz, wcslen(psz)); }
    void Put(const wchar_t* pch, size_t cch) noexcept
    {
        const size_t cchRoom = static_cast<size_t>(m_pEnd - m_p);
        if (cch > cchRoom)
            cch = cchRoom;
        wmemcpy(m_p, pch, cch);
        m_p += cch;
    }
    void Terminate() noexcept { *m_p = L'\0'; }

private:
    wchar_t* m_p;
    wchar_t* const m_pEnd;
};

// A number with printf's width rules: zeros go between the sign and the digits, blanks before both.
void PutNumber(COutput& out, unsigned int nMagnitude, bool bNegative, unsigned int nBase, bool bUpper, int nWidth,
               bool bZeroPad) noexcept
{
    const wchar_t* pszDigits = bUpper ? L"0123456789ABCDEF" : L"0123456789abcdef";
    wchar_t szDigits[12];
    int nDigits = 0;
    // Constant divisors: the compiler turns them into multiplications and shifts.
    if (nBase == 16)
    {
        do
        {
            szDigits[nDigits++] = pszDigits[nMagnitude & 0xF];
            nMagnitude >>= 4;
        } while (nMagnitude != 0);
    }
    else
    {
        do
        {
            szDigits[nDigits++] = pszDigits[nMagnitude % 10];
            nMagnitude /= 10;
        } while (nMagnitude != 0);
    }
    const int nLength = nDigits + (bNegative ? 1 : 0);
    if (!bZeroPad)
        for (int i = nLength; i < nWidth; ++i)
            out.Put(L' ');
    if (bNegative)
        out.Put(L'-');
    if (bZeroPad)
        for (int i = nLength; i < nWidth; ++i)
            out.Put(L'0');
    while (nDigits > 0)
        out.Put(szDigits[--nDigits]);
}

// False, having written only into the buffer, when the format needs more than this knows.
bool FormatSimple(wchar_t* pszBuffer, size_t cchBuffer, const wchar_t* pszFormat, va_list args) noexcept
{
    COutput out(pszBuffer, cchBuffer);
    for (const wchar_t* f = pszFormat; *f; ++f)
    {
        if (*f != L'%')
        {
            const wchar_t* pEnd = f;
            while (*pEnd && *pEnd != L'%')
                ++pEnd;
            out.Put(f, static_cast<size_t>(pEnd - f));
            f = pEnd - 1;
            continue;
        }
        ++f;
        if (*f == L'%')
        {
            out.Put(L'%');
            continue;
        }
        bool bZeroPad = false;
        if (*f == L'0')
        {
            bZeroPad = true;
            ++f;
        }
        int nWidth = 0;
        for (; *f >= L'0' && *f <= L'9'; ++f)
        {
            nWidth = nWidth * 10 + (*f - L'0');
            if (nWidth > kMaxWidth)
                return false;
        }
        if (*f == L'l')  // long is 32 bits on Windows
            ++f;
        switch (*f)
        {
        case L'd':
        case L'i':
        {
            const int nValue = va_arg(args, int);
            const unsigned int nMagnitude = nValue < 0 ? 0u - static_cast<unsigned int>(nValue)
                                                       : static_cast<unsigned int>(nValue);
            PutNumber(out, nMagnitude, nValue < 0, 10, false, nWidth, bZeroPad);
            break;
        }
        case L'u':
            PutNumber(out, va_arg(args, unsigned int), false, 10, false, nWidth, bZeroPad);
            break;
        case L'x':
        case L'X':
            PutNumber(out, va_arg(args, unsigned int), false, 16, *f == L'X', nWidth, bZeroPad);
            break;
        case L's':
        {
            if (bZeroPad || nWidth != 0)
                return false;
            const wchar_t* pszText = va_arg(args, const wchar_t*);
            out.Put(pszText ? pszText : L"(null)");
            break;
        }
        default:
            return false;
        }
    }
    out.Terminate();
    return true;
}
}  // namespace

void FormatV(wchar_t* pszBuffer, size_t cchBuffer, const wchar_t* pszFormat, va_list args) noexcept
{
    if (pszBuffer == nullptr || cchBuffer == 0)
        return;
    pszBuffer[0] = L'\0';
    if (pszFormat == nullptr || cchBuffer == 1)
        return;
    va_list simpleArgs;
    va_copy(simpleArgs, args);
    const bool bDone = FormatSimple(pszBuffer, cchBuffer, pszFormat, simpleArgs);
    va_end(simpleArgs);
    if (bDone)
        return;
    const int nChars = _vsnwprintf(pszBuffer, cchBuffer - 1, pszFormat, args);
    if (nChars < 0 || static_cast<size_t>(nChars) >= cchBuffer - 1)
        pszBuffer[cchBuffer - 1] = L'\0';
    else
        pszBuffer[nChars] = L'\0';
}
}  // namespace Common
}  // namespace opLogSys
