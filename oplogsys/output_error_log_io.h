#pragma once
#include <string>
#include "oplogsys/i_log_io.h"
#include "oplogsys/mutex.h"
#include "oplogsys/reference.h"

namespace opLogSys
{
// The error log file, shared by every process of the user: serialised by a named mutex, open only
// while locked, and kept under its maximum size when the last lock goes.
class COutputErrorLogIO : public Common::CReference<ILogIO>
{
public:
    // A writer that holds the file's mutex longer than this costs the line being written, never
    // the program that logs it.
    static constexpr DWORD kDefaultWaitMs = 3000;

    // nTrim 1: drop the oldest whole lines in place; 0: move the file aside to "<path>.bak".
    COutputErrorLogIO(const wchar_t* pszPath, DWORD dwMaxSize, int nTrim, DWORD dwWaitMs = kDefaultWaitMs);
    ~COutputErrorLogIO() override;

    long Lock() override;
    long Unlock() override;
    long WriteLine(const wchar_t* pszText) override;
    long Write(const wchar_t* pszText) override;
    long Flush() override { return 0; }

    // The mutex that every writer of this file takes.
    static std::wstring MutexName(const std::wstring& strPath);
    // Drops whole lines (CR LF ended) from the start of an open file until at most dwMaxSize bytes
    // remain. Exposed for tests.
    static bool TrimFile(HANDLE hFile, DWORD dwMaxSize);

private:
    void Close();

    std::wstring m_strPath;
    Common::CMutex m_mutex;
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    long m_nDepth = 0;
    DWORD m_dwMaxSize;
    int m_nTrim;
};
}  // namespace opLogSys
