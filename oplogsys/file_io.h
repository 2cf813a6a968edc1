#pragma once
#include <atomic>
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
// Every line is handed to the system when it ends: what is written while the output is locked
// (a line's header, text and line end; a whole block) is gathered and written with one call at the
// last Unlock or at a block end, so a crash or a killed process loses nothing that was logged and
// lines of concurrent writers never mix. A block longer than 64 KB is written in pieces.
// Autoflush adds a flush of the file buffers to disk at every block end.
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
private:
    bool Open();
    // Room for cb more bytes in the gathered bytes, or nullptr without memory.
    char* Reserve(size_t cb);
    long AppendBytes(const void* pData, size_t cb);
    long AppendAnsi(const wchar_t* pszText);
    long WriteThrough(const void* pData, size_t cb);
    bool WritePending();

    std::wstring m_strPath;
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    Common::CCriticalSection m_lock;
    bool m_bAutoFlush;
    std::wstring m_strLocation;
    // Bytes written while locked stay together in memory until the last Unlock, so a line costs
    // one system call.
    long m_nLockDepth = 0;
    std::atomic<DWORD> m_dwOwner{0};  // the thread holding the lock, 0 when none
    char* m_pPending = nullptr;
    size_t m_cbPending = 0;
    size_t m_cbPendingCapacity = 0;
};
}  // namespace File
}  // namespace opLogSys
