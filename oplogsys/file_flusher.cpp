#include "oplogsys/file_flusher.h"

#include <algorithm>
#include "oplogsys/file_io.h"

namespace opLogSys
{
namespace File
{
CFileFlusher& CFileFlusher::Instance() noexcept
{
    static CFileFlusher s_flusher;
    return s_flusher;
}

CFileFlusher::CFileFlusher() noexcept : m_hStop(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

CFileFlusher::~CFileFlusher()
{
    // In a program the thread may still run when the statics go; in a library being unloaded it
    // has already ended (it holds a reference on the module), and at process end it was stopped
    // by the system. The wait is bounded so that no case can hang the exit.
    if (m_hStop)
        ::SetEvent(m_hStop);
    if (m_hThread)
    {
        ::WaitForSingleObject(m_hThread, 2000);
        ::CloseHandle(m_hThread);
    }
    if (m_hStop)
        ::CloseHandle(m_hStop);
}

void CFileFlusher::Register(CFileIO* pIO) noexcept
{
    Common::CScopedLock<Common::CCriticalSection> lock(m_lock);
    try
    {
        m_ios.push_back(pIO);
    }
    catch (const std::bad_alloc&)
    {
        // Unlisted outputs still write at the other flush points (full buffer, block end, close).
    }
}

void CFileFlusher::Unregister(CFileIO* pIO) noexcept
{
    // At process end the system may have stopped the flusher thread while it held the lock; an
    // output closing then must not wait for it forever.
    const bool bLocked = m_lock.TryLockFor(500);
    m_ios.erase(std::remove(m_ios.begin(), m_ios.end(), pIO), m_ios.end());
    if (bLocked)
        m_lock.Unlock();
}

void CFileFlusher::Schedule() noexcept
{
    if (m_bRunning.load() || m_bRunning.exchange(true))
        return;
    // The thread keeps the module loaded while it runs, so library code is never unloaded under it.
    HMODULE hModule = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&CFileFlusher::ThreadProc),
                         &hModule);
    HANDLE hThread = ::CreateThread(nullptr, 0, &CFileFlusher::ThreadProc, hModule, 0, nullptr);
    if (hThread == nullptr)
    {
        if (hModule)
            ::FreeLibrary(hModule);
        m_bRunning.store(false);
        return;
    }
    Common::CScopedLock<Common::CCriticalSection> lock(m_threadLock);
    if (m_hThread)
        ::CloseHandle(m_hThread);
    m_hThread = hThread;
}

DWORD WINAPI CFileFlusher::ThreadProc(void* pParam)
{
    Instance().Run();
    HMODULE hModule = static_cast<HMODULE>(pParam);
    if (hModule)
        ::FreeLibraryAndExitThread(hModule, 0);
    return 0;
}

bool CFileFlusher::WriteAllPending() noexcept
{
    Common::CScopedLock<Common::CCriticalSection> lock(m_lock);
    bool bAnyWritten = false;
    for (CFileIO* pIO : m_ios)
        bAnyWritten |= pIO->WritePendingNow();
    return bAnyWritten;
}

void CFileFlusher::Run() noexcept
{
    for (;;)
    {
        if (::WaitForSingleObject(m_hStop, kDelayMs) == WAIT_OBJECT_0)
            return;
        if (WriteAllPending())
            continue;  // still logging: look again after the delay
        // Quiet: end, unless an output got bytes after it saw the thread still running.
        m_bRunning.store(false);
        if (!WriteAllPending())
            return;
        if (m_bRunning.exchange(true))
            return;  // a new thread has been started meanwhile
    }
}
}  // namespace File
}  // namespace opLogSys
