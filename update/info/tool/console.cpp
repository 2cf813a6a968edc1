#include "update/info/tool/console.h"

#include <cstdarg>

#include "common/string_util.h"

namespace
{
void WriteTo(DWORD dwStdHandle, const std::wstring& strText)
{
    HANDLE h = ::GetStdHandle(dwStdHandle);
    if (h == nullptr || h == INVALID_HANDLE_VALUE)
        return;
    DWORD dwMode = 0;
    DWORD dwWritten = 0;
    if (::GetConsoleMode(h, &dwMode))
    {
        ::WriteConsoleW(h, strText.data(), static_cast<DWORD>(strText.size()), &dwWritten, nullptr);
        return;
    }
    // Files and pipes get UTF-8 with CR LF line ends.
    std::wstring strCrLf;
    strCrLf.reserve(strText.size() + 16);
    for (wchar_t ch : strText)
    {
        if (ch == L'\n')
            strCrLf += L'\r';
        strCrLf += ch;
    }
    const std::string strUtf8 = WideToUtf8(strCrLf);
    ::WriteFile(h, strUtf8.data(), static_cast<DWORD>(strUtf8.size()), &dwWritten, nullptr);
}

std::wstring VFormat(const wchar_t* pszFormat, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    const int cch = _vscwprintf(pszFormat, copy);
    va_end(copy);
    if (cch <= 0)
        return std::wstring();
    std::wstring str(static_cast<size_t>(cch) + 1, L'\0');
    _vsnwprintf(&str[0], str.size(), pszFormat, args);
    str.resize(static_cast<size_t>(cch));
    return str;
}
}  // namespace

void ConsoleOut(const std::wstring& strText)
{
    WriteTo(STD_OUTPUT_HANDLE, strText);
}

void ConsoleErr(const std::wstring& strText)
{
    WriteTo(STD_ERROR_HANDLE, strText);
}

void ConsoleOutPrintf(const wchar_t* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    ConsoleOut(VFormat(pszFormat, args));
    va_end(args);
}

void ConsoleErrPrintf(const wchar_t* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    ConsoleErr(VFormat(pszFormat, args));
    va_end(args);
}
