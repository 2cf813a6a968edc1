#pragma once
// Internal: writes out what the buffered log files hold, shortly after it was logged, so that a
// log read while the program runs (or hangs) is never more than a moment behind.
#include <windows.h>
#include <atomic>
#include <vector>
#include "oplogsys/critical_section.h"

namespace opLogSys
{
namespace File
{
class CFileIO;

class CFileFlusher
{
public:
    // How long logged bytes may wait in memory.
    static const DWORD kDelayMs = 100;

    static CFileFlusher& Instance() noexcept;

    void Register(CFileIO* pIO) noexcept;
    void Unregister(CFileIO* pIO) noexcept;
    // Called by an output that now holds bytes: makes sure a flusher thread is on its way.
    void Schedule() noexcept;

    ~CFileFlusher();

private:
    CFileFlusher() noexcept;
    static DWORD WINAPI ThreadProc(void* pParam);
    void Run() noexcept;
    bool WriteAllPending() noexcept;

    Common::CCriticalSection m_lock;  // taken before an output's own lock, never after
    std::vector<CFileIO*> m_ios;
    Common::CCriticalSection m_threadLock;
    std::atomic<bool> m_bRunning{false};
    HANDLE m_hStop;
    HANDLE m_hThread = nullptr;
};
}  // namespace File
}  // namespace opLogSys
