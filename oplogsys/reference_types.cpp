#include "oplogsys/format_buffer.h"
#include "oplogsys/mutex.h"

#include <atomic>
#include <new>
#include <vector>

namespace opLogSys
{
namespace Common
{
namespace
{
// The tree of a method trace (U+2500..U+257F) is on almost every line: each character's bytes in
// the process's ANSI code page are looked up once. An entry holds the byte count (1 or 2, 0 while
// unknown) in bits 16-17 and the bytes below.
const wchar_t kTreeFirst = 0x2500;
const size_t kTreeCount = 0x80;
std::atomic<unsigned int> g_treeBytes[kTreeCount];

bool IsTreeCharacter(wchar_t ch) noexcept
{
    return ch >= kTreeFirst && ch < kTreeFirst + kTreeCount;
}

bool PutTreeCharacter(wchar_t ch, char* pBuffer, size_t cbBuffer, size_t& cb) noexcept
{
    std::atomic<unsigned int>& entry = g_treeBytes[ch - kTreeFirst];
    unsigned int nEntry = entry.load(std::memory_order_relaxed);
    if (nEntry == 0)
    {
        char bytes[2] = {};
        const int cbChar = ::WideCharToMultiByte(CP_ACP, 0, &ch, 1, bytes, 2, nullptr, nullptr);
        if (cbChar < 1 || cbChar > 2)
            return false;
        nEntry = (static_cast<unsigned int>(cbChar) << 16) | (static_cast<unsigned char>(bytes[0]) << 8) |
                 static_cast<unsigned char>(bytes[1]);
        entry.store(nEntry, std::memory_order_relaxed);
    }
    const size_t cbChar = nEntry >> 16;
    if (cb + cbChar >= cbBuffer)
        return false;
    pBuffer[cb++] = static_cast<char>((nEntry >> 8) & 0xFF);
    if (cbChar == 2)
        pBuffer[cb++] = static_cast<char>(nEntry & 0xFF);
    return true;
}

// Log text is mostly ASCII, which every ANSI code page keeps as it is: those runs are copied, and
// only the runs of other characters go through the system's conversion (a surrogate pair stays in
// one run). False when the text does not fit; the caller then cuts it at a whole character.
bool ToAnsiByRuns(const wchar_t* pszText, char* pBuffer, size_t cbBuffer, size_t& cbOut) noexcept
{
    size_t cb = 0;
    const wchar_t* p = pszText;
    while (*p)
    {
        if (*p < 0x80)
        {
            // Find the run first, then copy it in one simple loop the compiler can widen.
            const wchar_t* pRunEnd = p;
            while (*pRunEnd && *pRunEnd < 0x80)
                ++pRunEnd;
            const size_t cchRun = static_cast<size_t>(pRunEnd - p);
            if (cb + cchRun >= cbBuffer)
                return false;
            for (size_t i = 0; i < cchRun; ++i)
                pBuffer[cb + i] = static_cast<char>(p[i]);
            cb += cchRun;
            p = pRunEnd;
            continue;
        }
        const wchar_t* pEnd = p;
        while (*pEnd && *pEnd >= 0x80)
            ++pEnd;
        if (pEnd - p == 1 && IsTreeCharacter(*p))
        {
            if (!PutTreeCharacter(*p, pBuffer, cbBuffer, cb))
                return false;
            ++p;
            continue;
        }
        const int cbRun = ::WideCharToMultiByte(CP_ACP, 0, p, static_cast<int>(pEnd - p), pBuffer + cb,
                                                static_cast<int>(cbBuffer - 1 - cb), nullptr, nullptr);
        if (cbRun <= 0)
            return false;
        cb += static_cast<size_t>(cbRun);
        p = pEnd;
    }
    pBuffer[cb] = '\0';
    cbOut = cb;
    return true;
}
}  // namespace

size_t ToAnsi(const wchar_t* pszText, char* pBuffer, size_t cbBuffer) noexcept
{
    if (pBuffer == nullptr || cbBuffer == 0)
        return 0;
    pBuffer[0] = '\0';
    if (pszText == nullptr || pszText[0] == L'\0')
        return 0;
    size_t cbRuns = 0;
    if (ToAnsiByRuns(pszText, pBuffer, cbBuffer, cbRuns))
        return cbRuns;
    const int cchText = static_cast<int>(wcslen(pszText));
    int cb = ::WideCharToMultiByte(CP_ACP, 0, pszText, cchText, pBuffer, static_cast<int>(cbBuffer - 1), nullptr,
                                   nullptr);
    if (cb > 0)
    {
        pBuffer[cb] = '\0';
        return static_cast<size_t>(cb);
    }
    // Too long for the buffer: convert all of it, then keep the whole characters that fit.
    const int cbAll = ::WideCharToMultiByte(CP_ACP, 0, pszText, cchText, nullptr, 0, nullptr, nullptr);
    if (cbAll <= 0)
        return 0;
    std::vector<char> all;
    try
    {
        all.resize(static_cast<size_t>(cbAll));
    }
    catch (const std::bad_alloc&)
    {
        return 0;
    }
    ::WideCharToMultiByte(CP_ACP, 0, pszText, cchText, all.data(), cbAll, nullptr, nullptr);
    size_t nCut = 0;
    while (nCut < all.size())
    {
        const size_t nStep = (::IsDBCSLeadByte(static_cast<BYTE>(all[nCut])) && nCut + 1 < all.size()) ? 2 : 1;
        if (nCut + nStep > cbBuffer - 1)
            break;
        nCut += nStep;
    }
    memcpy(pBuffer, all.data(), nCut);
    pBuffer[nCut] = '\0';
    return nCut;
}

CMutex::CMutex(const wchar_t* pszName, DWORD dwWaitMs) : m_strName(pszName ? pszName : L""), m_dwWaitMs(dwWaitMs) {}

CMutex::~CMutex()
{
    if (m_hMutex != nullptr)
    {
        ::ReleaseMutex(m_hMutex);
        ::CloseHandle(m_hMutex);
    }
}

long CMutex::Lock()
{
    if (++m_nLockCount == 1)
    {
        m_bTimedOut = false;
        m_hMutex = ::CreateMutexW(nullptr, FALSE, m_strName.c_str());
        // An owner that died while holding it leaves it abandoned: the file is still usable.
        if (m_hMutex != nullptr && ::WaitForSingleObject(m_hMutex, m_dwWaitMs) == WAIT_TIMEOUT)
        {
            ::CloseHandle(m_hMutex);
            m_hMutex = nullptr;
            m_bTimedOut = true;
        }
    }
    return m_bTimedOut ? 0 : 1;
}

long CMutex::Unlock()
{
    if (m_hMutex == nullptr)
    {
        // Keep the count balanced so that the next Lock tries to create the mutex again.
        if (m_nLockCount > 0)
            --m_nLockCount;
        return -1;
    }
    if (--m_nLockCount <= 0)
    {
        m_nLockCount = 0;
        ::ReleaseMutex(m_hMutex);
        ::CloseHandle(m_hMutex);
        m_hMutex = nullptr;
    }
    return m_nLockCount;
}
}  // namespace Common
}  // namespace opLogSys
