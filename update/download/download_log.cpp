#include "update/download/download_log.h"

#include <cstdarg>
#include <cwchar>

#include "oplogsys/format_buffer.h"

CDownloadMethodLog::CDownloadMethodLog(const wchar_t* pszMethod, long* plResult) noexcept
    : m_log(kDownloadLogSubject, opLogSys::kMethodLevel, pszMethod, plResult)
{
}

void CDownloadMethodLog::Printf(const wchar_t* pszFormat, ...)
{
    if (!m_log.IsEnabled())
        return;
    va_list args;
    va_start(args, pszFormat);
    m_log.VPrintf(pszFormat, args);
    va_end(args);
}

void CDownloadMethodLog::DebugPrintf(const wchar_t* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    m_log.LevelVPrintf(kDownloadDebugLevel, pszFormat, args);
    va_end(args);
}

void CDownloadMethodLog::ErrorPrintf(const wchar_t* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    const std::wstring strText = opLogSys::Common::FormatLineV(pszFormat, args);
    va_end(args);
    m_log.Error(strText.c_str());
}

std::wstring SystemErrorText(DWORD dwError)
{
    wchar_t* pszText = nullptr;
    const DWORD cch = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                           FORMAT_MESSAGE_IGNORE_INSERTS,
                                       nullptr, dwError, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                       reinterpret_cast<wchar_t*>(&pszText), 0, nullptr);
    std::wstring strText;
    if (cch != 0 && pszText != nullptr)
        strText.assign(pszText, cch);
    if (pszText != nullptr)
        ::LocalFree(pszText);
    for (size_t nPos = strText.find(L'\n'); nPos != std::wstring::npos; nPos = strText.find(L'\n', nPos))
        strText.erase(nPos, 1);
    return strText;
}
