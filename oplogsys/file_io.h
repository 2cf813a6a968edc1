#pragma once
#include <string>
#include "oplogsys/critical_section.h"
#include "oplogsys/i_log_io.h"
#include "oplogsys/reference.h"

namespace opLogSys
{
namespace File
{
// The log file of one subject: "<subject>-YYYY-MM-DD [hh-mm-ss].log" in the resolved folder,
// ANSI text. Opened on the first write, kept open until destroyed.
// With autoflush each line reaches the file when written (and each block end flushes the file
// buffers). Without it lines are gathered in memory and written together: when a block ends,
// when 64 KB are waiting, by the flusher thread within a moment, and when the output closes.
class CFileIO : public Common::CReference<ILogIO>
{
public:
    CFileIO(const wchar_t* pszSubject, bool bAutoFlush, const std::wstring& strLocation);
    ~CFileIO() override;

    long Lock() override;
    long Unlock() override;
    // UTF-16LE code units and CR LF.
    long WriteLine(const wchar_t* pszText) override;
    // The text in the ANSI code page (at most 1023 bytes). -1 when the file cannot be opened.
    long Write(const wchar_t* pszText) override;
    long Flush() override;

    // The folder (with a trailing backslash) that a location names.
    static std::wstring ResolveLocation(const std::wstring& strLocation);
    // The file in use (or to be used by the next open).
    std::wstring GetPath();
    // For the flusher: writes what waits unless a writer holds the output; true when something
    // was (or still is) waiting.
    bool WritePendingNow() noexcept;

private:
    bool Open();
    long AppendBytes(const void* pData, size_t cb);
    bool WritePending();

    std::wstring m_strPath;
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    Common::CCriticalSection m_lock;
    bool m_bAutoFlush;
    std::wstring m_strLocation;
    // Bytes written while locked stay together in memory, so lines of concurrent writers never
    // mix and a line costs at most one system call.
    long m_nLockDepth = 0;
    char* m_pPending = nullptr;
    size_t m_cbPending = 0;
    size_t m_cbPendingCapacity = 0;
};
}  // namespace File
}  // namespace opLogSys
