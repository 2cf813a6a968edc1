#pragma once
// Method tracing and message lines of the downloader, under the log subject "HttpDownloader".
#include <windows.h>
#include <string>

#include "oplogsys/oplogsys.h"

const wchar_t kDownloadLogSubject[] = L"HttpDownloader";
// URL parts and similar details are written at this level only.
const long kDownloadDebugLevel = 3;

class CDownloadMethodLog
{
public:
    // Writes the entry line now and the exit line, with *plResult, when the object goes away.
    // The method name must outlive the object (a literal).
    CDownloadMethodLog(const wchar_t* pszMethod, long* plResult) noexcept;
    CDownloadMethodLog(const CDownloadMethodLog&) = delete;
    CDownloadMethodLog& operator=(const CDownloadMethodLog&) = delete;

    // A line at the method's level.
    void Printf(const wchar_t* pszFormat, ...);
    // A line for diagnosis only.
    void DebugPrintf(const wchar_t* pszFormat, ...);
    // An error line: always written to the error log, and to the trace when it is on.
    void ErrorPrintf(const wchar_t* pszFormat, ...);

private:
    opLogSys::Fmt::CMethodLog<long> m_log;
};

// The system's message text for an error number, without line feeds.
std::wstring SystemErrorText(DWORD dwError);
