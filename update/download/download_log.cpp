#include "update/download/download_log.h"

#include <cstdarg>

class CDownloadMethodLog::CImpl
{
};

CDownloadMethodLog::CDownloadMethodLog(const wchar_t*, long*) {}
CDownloadMethodLog::~CDownloadMethodLog() = default;
void CDownloadMethodLog::Printf(const wchar_t*, ...) {}
void CDownloadMethodLog::DebugPrintf(const wchar_t*, ...) {}
void CDownloadMethodLog::ErrorPrintf(const wchar_t*, ...) {}

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
