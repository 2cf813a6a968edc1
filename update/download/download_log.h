#pragma once
// Method tracing and message lines of the downloader, under the log subject "HttpDownloader".
#include <windows.h>
#include <memory>
#include <string>

class CDownloadMethodLog
{
public:
    // Writes the entry line now and the exit line, with *plResult, when the object goes away.
    CDownloadMethodLog(const wchar_t* pszMethod, long* plResult);
    ~CDownloadMethodLog();
    CDownloadMethodLog(const CDownloadMethodLog&) = delete;
    CDownloadMethodLog& operator=(const CDownloadMethodLog&) = delete;

    // A line at the method's level.
    void Printf(const wchar_t* pszFormat, ...);
    // A line for diagnosis only (a higher level than method tracing).
    void DebugPrintf(const wchar_t* pszFormat, ...);
    // An error line: always written to the error log, and to the trace when it is on.
    void ErrorPrintf(const wchar_t* pszFormat, ...);

private:
    class CImpl;
    std::unique_ptr<CImpl> m_impl;
};

// The system's message text for an error number, without line feeds.
std::wstring SystemErrorText(DWORD dwError);
