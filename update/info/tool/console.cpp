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
    ConsoleOut(FormatStringV(pszFormat, args));
    va_end(args);
}

void ConsoleErrPrintf(const wchar_t* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    ConsoleErr(FormatStringV(pszFormat, args));
    va_end(args);
}
